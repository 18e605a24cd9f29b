<?php
// host.php - the page of the computer the site runs on: who may come in (the
// mode, the upload switch, the code), the devices waiting and let in, the
// addresses locked out, the visitors of the last hour and the last
// transfers. Every change is a POST from this page (its token, its Origin);
// from any other address, or under a name not this machine's, it answers 403.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/format.php';
require dirname(__DIR__) . '/site_inc/token.php';
require dirname(__DIR__) . '/site_inc/layout.php';
require_once dirname(__DIR__) . '/site_inc/access.php';
require dirname(__DIR__) . '/site_inc/host_access.php';
require dirname(__DIR__) . '/site_inc/host_uploads.php';
require dirname(__DIR__) . '/site_inc/host_network.php';

const HOST_SAID = [
    'saved' => 'The settings were saved.',
    'new-code' => 'A new code was made. Devices let in before must enter it, or be let in again.',
    'allow' => 'The device was let in.',
    'deny' => 'The device was turned away; its address may not ask again for ten minutes.',
    'block' => 'The device was turned away, and its address may not ask again for a day.',
    'forget' => 'The device was forgotten: it must be let in again.',
    'forget-all' => 'All devices were forgotten: each must be let in again.',
];
const HOST_MODES = [
    'open' => ['Open', 'Anyone who can reach this computer sees the shared folders.'],
    'code' => ['Code', 'Visitors need the code: the address below carries it, or they type it in.'],
    'approve' => ['Approve', 'You let each new device in here, by the number it shows.'],
];

host_access_guard();
if (strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? '')) === 'POST') {
    if (!token_same_site(true) || !token_check('host')) {
        site_error(403, 'This change did not come from this page, so nothing was changed. Please reload the page '
            . 'and try again.');
    }
    $action = is_string($_POST['action'] ?? null) ? $_POST['action'] : '';
    $done = access_update(static fn(array &$state): bool => host_apply($state, $action));
    site_status(303);
    header('Location: /host.php' . ($done && isset(HOST_SAID[$action]) ? '?said=' . $action : ''));
    exit;
}

access_update(static function (array &$state): bool {
    access_prune($state, time());
    return false;
}, $state);
$token = token_make('host');
layout_open('This computer’s site', [['Shared folders', '/'], ['Host', null]]);
echo "<link rel=\"stylesheet\" href=\"/assets/access.css\">\n<div class=\"host\">\n"
    . "<h1 class=\"host-title\">Who may come in</h1>\n";
$said = HOST_SAID[site_param('said')] ?? '';
if ($said !== '') {
    echo '<p class="host-said" role="status">' . h($said) . "</p>\n";
}
host_access_notices($state, HOST_MODES);
host_settings($state, $token);
host_code($state, $token);
host_network($state);
host_waiting($state, $token);
host_devices($state, $token);
host_locked($state);
host_visitors($state);
host_transfers($state);
echo "</div>\n<script src=\"/assets/host.js\" defer></script>\n";
layout_close();

/** Carries out one change of the host's; false when there was nothing to change. */
function host_apply(array &$state, string $action): bool
{
    $now = time();
    $key = is_string($_POST['device'] ?? null) ? $_POST['device'] : '';
    $device = $state['devices'][$key] ?? null;
    switch ($action) {
        case 'saved':
            $mode = $_POST['mode'] ?? '';
            if (!is_string($mode) || !in_array($mode, ACCESS_MODES, true)) {
                return false;
            }
            $state['mode'] = $mode;
            $state['uploads'] = ($_POST['uploads'] ?? '') === 'on';
            $state['damaged'] = 0;
            if ($mode === 'code' && $state['code'] === '') {
                $state['code'] = access_new_code();
            }
            return true;
        case 'new-code':
            $state['code'] = access_new_code();
            $state['devices'] = [];
            return true;
        case 'allow':
        case 'deny':
        case 'block':
            return access_answer($state, $key, $action, $now);
        case 'forget':
            unset($state['devices'][$key]);
            return $device !== null;
        case 'forget-all':
            $state['devices'] = array_filter($state['devices'], static fn(array $d): bool => $d['status'] !== 'allowed');
            return true;
    }
    return false;
}

/** A form of one button: the action, the token and maybe a device. */
function host_button(string $token, string $action, string $label, string $device = '', string $extra = ''): string
{
    return '<form method="post" action="/host.php" class="host-button">'
        . '<input type="hidden" name="token" value="' . h($token) . '">'
        . '<input type="hidden" name="action" value="' . h($action) . '">'
        . ($device === '' ? '' : '<input type="hidden" name="device" value="' . h($device) . '">')
        . '<button type="submit"' . $extra . '>' . $label . '</button></form>';
}

function host_settings(array $state, string $token): void
{
    echo "<section class=\"panel\" aria-labelledby=\"settings-title\">\n<h2 id=\"settings-title\">Access</h2>\n"
        . '<form method="post" action="/host.php"><input type="hidden" name="token" value="' . h($token) . '">'
        . "<input type=\"hidden\" name=\"action\" value=\"saved\">\n"
        . "<fieldset class=\"host-modes\"><legend>Who may see the shared folders</legend>\n";
    foreach (HOST_MODES as $mode => [$label, $hint]) {
        echo '<label><input type="radio" name="mode" value="' . $mode . '"'
            . ($state['mode'] === $mode && $state['damaged'] === 0 ? ' checked' : '') . ' required> <strong>'
            . h($label) . '</strong> – ' . h($hint) . "</label>\n";
    }
    echo "</fieldset>\n<fieldset class=\"host-modes\"><legend>Uploads</legend>\n"
        . '<label><input type="checkbox" name="uploads" value="on"' . ($state['uploads'] ? ' checked' : '')
        . "> Visitors may upload files into the upload directory</label>\n</fieldset>\n"
        . "<button type=\"submit\">Save</button>\n</form>\n</section>\n";
}

function host_code(array $state, string $token): void
{
    if ($state['code'] === '') {
        return;
    }
    $host = (string) ($_SERVER['LOCAL_ADDR'] ?? '');
    $address = host_url($host === '' ? '127.0.0.1' : $host, $state['code']);
    echo "<section class=\"panel host-code\" aria-labelledby=\"code-title\">\n<h2 id=\"code-title\">The code</h2>\n"
        . '<p class="host-code-text">' . h($state['code']) . "</p>\n"
        . ($state['mode'] === 'code' ? '' : "<p class=\"note\">The code is asked for only in code mode.</p>\n")
        . '<canvas id="host-qr" width="0" height="0" role="img" aria-label="QR code of the address with the code" '
        . 'data-text="' . h($address) . "\"></canvas>\n"
        . '<p class="host-address"><a href="' . h($address) . '">' . h($address) . "</a></p>\n"
        . host_button($token, 'new-code', 'Make a new code')
        . "\n<p class=\"note\">A new code forgets every device let in: each must be let in again.</p>\n</section>\n";
}

/** One table; $rows hold cells of HTML. */
function host_table(string $id, string $title, array $heads, array $rows, string $empty, string $after = ''): void
{
    echo "<section class=\"panel host-list\" id=\"$id\" aria-labelledby=\"$id-title\">\n"
        . "<h2 id=\"$id-title\">" . h($title) . "</h2>\n";
    if (!$rows) {
        echo '<p class="empty">' . h($empty) . "</p>\n";
    } else {
        echo "<table class=\"host-table\"><thead><tr>";
        foreach ($heads as $head) {
            echo '<th scope="col">' . h($head) . '</th>';
        }
        echo "</tr></thead>\n<tbody>\n";
        foreach ($rows as $cells) {
            echo '<tr><td>' . implode('</td><td>', $cells) . "</td></tr>\n";
        }
        echo "</tbody></table>\n";
    }
    echo $after . "</section>\n";
}

function host_time(int $time): string
{
    return '<time datetime="' . format_iso_date($time) . '">' . h(format_date($time)) . '</time>';
}

function host_devices(array $state, string $token): void
{
    $rows = [];
    foreach ($state['devices'] as $key => $d) {
        if ($d['status'] === 'allowed') {
            $name = h($d['name'] . ' at ' . $d['addr']);
            $rows[] = [h($d['name']), h($d['addr']), host_time($d['since']), host_time($d['expires']),
                host_button($token, 'forget', 'Forget<span class="visually-hidden"> ' . $name . '</span>', $key,
                    ' class="secondary"')];
        }
    }
    host_table('devices', 'Devices let in', ['Device', 'Address', 'Let in', 'Until', ''], $rows,
        'No device has been let in.', $rows ? host_button($token, 'forget-all', 'Forget all devices', '',
            ' class="secondary"') : '');
}

function host_locked(array $state): void
{
    $rows = [];
    foreach ($state['locked'] as $addr => $until) {
        $rows[] = [h((string) $addr), (string) count($state['wrong'][$addr] ?? []), host_time($until)];
    }
    host_table('locked', 'Locked out after wrong codes', ['Address', 'Wrong codes', 'Let in again at'], $rows,
        'No address is locked out.');
}

function host_visitors(array $state): void
{
    $what = ['open' => 'came in (open)', 'in' => 'came in', 'code' => 'was asked for the code',
        'wrong' => 'typed a wrong code', 'locked' => 'locked out', 'waiting' => 'waiting',
        'denied' => 'turned away', 'busy' => 'not let in (too many waiting)', 'ask' => 'not let in',
        'another' => 'not let in (another device of the address waits)', 'often' => 'not let in (too many at once)',
        'full' => 'not let in (no place left)'];
    $rows = [];
    foreach (array_reverse($state['seen'], true) as $addr => $s) {
        $rows[] = [h((string) $addr), h((string) ($s['name'] ?? '')), host_time((int) ($s['time'] ?? 0)),
            h($what[$s['what'] ?? ''] ?? '')];
    }
    host_table('visitors', 'Visitors of the last hour', ['Address', 'Device', 'Last seen', 'Last time it'], $rows,
        'No visitor in the last hour.');
}

function host_transfers(array $state): void
{
    $rows = host_uploads_rows();
    foreach (array_reverse($state['transfers']) as $t) {
        $rows[] = [host_time((int) ($t['time'] ?? 0)), ($t['way'] ?? '') === 'up' ? 'Upload' : 'Download',
            '<span class="host-name">' . h((string) ($t['name'] ?? '')) . '</span>',
            h(format_size((int) ($t['size'] ?? 0))), h((string) ($t['addr'] ?? ''))];
    }
    host_table('transfers', 'Last ' . ACCESS_TRANSFERS . ' transfers', ['Time', 'Way', 'Name', 'Size', 'Address'],
        $rows, 'Nothing was downloaded or uploaded yet.');
}
