<?php
// gate.php - the one door in front of everything that names, lists, serves,
// zips, searches or receives shared files: shares.php and upload_dir.php
// require it, so a page that can reach a shared file has passed it. It lets
// the host through, everyone in open mode, and devices the host let in (by
// the code or by approval); anyone else gets a page that names nothing
// shared, and the request ends there.
require_once __DIR__ . '/visitor.php';
require_once __DIR__ . '/access.php';

/** Ends the request unless this visitor may come in. */
function gate_pass(): void
{
    if (site_is_host()) {
        return;
    }
    $verdict = null;
    access_update(static function (array &$state) use (&$verdict): bool {
        [$verdict, $store] = gate_decide($state);
        return $store;
    }, $state);
    if ($verdict === 'in') {
        return;
    }
    if ($verdict === 'admitted') {
        site_status(303);
        header('Location: ' . gate_here(false));
        exit;
    }
    gate_refuse($verdict ?? 'unusable', $state);
}

/** [what the gate makes of this request: 'in', 'admitted' or why not; whether the state changed]. */
function gate_decide(array &$state): array
{
    $now = time();
    $addr = (string) ($_SERVER['REMOTE_ADDR'] ?? '');
    access_prune($state, $now);
    $id = visitor_known_id();
    $key = $id === null ? '' : access_device_key($id);
    $device = $state['devices'][$key] ?? null;
    $mode = access_mode($state);
    if ($mode === 'open' || ($device['status'] ?? '') === 'allowed') {
        $used = ($device['status'] ?? '') === 'allowed' && access_note_use($state, $key, $now);
        return ['in', access_note_seen($state, $addr, $mode === 'open' ? 'open' : 'in', $now) || $used];
    }
    $verdict = $mode === 'code' ? gate_by_code($state, $addr, $now) : gate_by_approval($state, $key, $addr, $now);
    access_note_seen($state, $addr, $verdict, $now);
    return [$verdict, true];
}

function gate_by_code(array &$state, string $addr, int $now): string
{
    $typed = $_GET['code'] ?? null;
    $locked = isset($state['locked'][$addr]);
    if (!is_string($typed) || $typed === '') {
        return $locked ? 'locked' : 'code';
    }
    if ($locked) {
        return 'locked';
    }
    if (hash_equals($state['code'], access_code_typed($typed))) {
        unset($state['wrong'][$addr]);
        $refused = gate_room_for_one($state, $addr, $now);
        if ($refused !== null) {
            return $refused;
        }
        // A new cookie at the door: one known before it proves nothing.
        $state['devices'][access_device_key(visitor_new_id())] = gate_device($state, 'allowed', $addr, $now);
        return 'admitted';
    }
    $state['wrong'][$addr][] = $now;
    if (count($state['wrong'][$addr]) >= ACCESS_WRONG_LIMIT) {
        $state['locked'][$addr] = $now + ACCESS_LOCK_SECONDS;
        return 'locked';
    }
    return 'wrong';
}

/**
 * Why a device with the right code cannot be let in now ('often' from one
 * address, 'full' with every place in use), or null, having made room: the
 * device used least recently goes, unless it is still in use.
 */
function gate_room_for_one(array &$state, string $addr, int $now): ?string
{
    $allowed = array_filter($state['devices'], static fn(array $d): bool => $d['status'] === 'allowed');
    $fromHere = array_filter($allowed, static fn(array $d): bool => $d['addr'] === $addr && $d['since'] > $now - 60);
    if (count($fromHere) >= ACCESS_ADMITS_PER_MINUTE) {
        return 'often';
    }
    if (count($allowed) < ACCESS_MAX_DEVICES) {
        return null;
    }
    uasort($allowed, static fn(array $a, array $b): int => access_last_active($a) <=> access_last_active($b));
    $least = array_key_first($allowed);
    if (access_last_active($allowed[$least]) > $now - ACCESS_IN_USE_SECONDS) {
        return 'full';
    }
    unset($state['devices'][$least]);
    return null;
}

/**
 * Approve mode: a known device gets its answer; a new one a place on the
 * waiting list, one per address, none for an address the host turned away.
 */
function gate_by_approval(array &$state, string $key, string $addr, int $now): string
{
    $device = $state['devices'][$key] ?? null;
    if ($device !== null) {
        if ($device['status'] === 'waiting') {
            access_note_asking($state, $key, $now);
        }
        return $device['status'];
    }
    // Only a page asked for asks the host; a POST is no knock at the door.
    if (strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? '')) !== 'GET') {
        return 'ask';
    }
    if (access_address_barred($state, $addr, $now)) {
        return 'denied';
    }
    $waiting = array_filter($state['devices'], static fn(array $d): bool => $d['status'] === 'waiting');
    // A device of this address that stopped asking gives its place up.
    $fromHere = 0;
    foreach ($waiting as $other => $d) {
        if ($d['addr'] === $addr && access_still_asking($d, $now)) {
            $fromHere++;
        } elseif ($d['addr'] === $addr) {
            unset($state['devices'][$other], $waiting[$other]);
        }
    }
    if ($fromHere >= ACCESS_MAX_WAITING_PER_ADDRESS) {
        return 'another';
    }
    if (count($waiting) >= ACCESS_MAX_WAITING) {
        $quiet = array_filter($waiting, static fn(array $d): bool => !access_still_asking($d, $now));
        if (!$quiet) {
            return 'busy';
        }
        uasort($quiet, static fn(array $a, array $b): int => $a['since'] <=> $b['since']);
        unset($state['devices'][array_key_first($quiet)]);
    }
    $state['devices'][access_device_key(visitor_new_id())] = gate_device($state, 'waiting', $addr, $now);
    return 'waiting';
}

/** A new device entry; a waiting one gets a number of its own for the host to tell devices apart by. */
function gate_device(array $state, string $status, string $addr, int $now): array
{
    $numbers = array_column($state['devices'], 'number');
    do {
        $number = (string) random_int(1000, 9999);
    } while (in_array($number, $numbers, true));
    return ['status' => $status, 'number' => $number, 'addr' => $addr, 'since' => $now, 'seen' => $now,
        'name' => access_device_name((string) ($_SERVER['HTTP_USER_AGENT'] ?? '')),
        'expires' => $now + ($status === 'allowed' ? ACCESS_DEVICE_LIFETIME : ACCESS_WAIT_SECONDS),
        'code' => access_code_key($state['code'])];
}

/** This request's address, without its code when $withCode is false: "/file.php?d=0&p=a". */
function gate_here(bool $withCode = true): string
{
    $path = '/' . ltrim((string) parse_url((string) ($_SERVER['REQUEST_URI'] ?? '/'), PHP_URL_PATH), '/');
    $query = array_filter(explode('&', (string) ($_SERVER['QUERY_STRING'] ?? '')),
        static fn(string $pair): bool => $pair !== '' && ($withCode || !preg_match('/^code(=|$)/', $pair)));
    return $path . ($query ? '?' . implode('&', $query) : '');
}

/** The page (or JSON) of a visitor held at the gate; names nothing shared. */
function gate_refuse(string $verdict, ?array $state): void
{
    $until = $state['locked'][(string) ($_SERVER['REMOTE_ADDR'] ?? '')] ?? time();
    $minutes = max(1, (int) ceil(($until - time()) / 60));
    $text = [
        'code' => [401, 'Enter the code', 'This computer shares its folders only with people who have its code. '
            . 'Ask the person at the computer for it.'],
        'wrong' => [401, 'Enter the code', 'That code is not right. Please check it and try again.'],
        'locked' => [401, 'Too many wrong codes', 'Too many wrong codes came from this address. It is let in '
            . 'again in ' . $minutes . ($minutes === 1 ? ' minute.' : ' minutes.')],
        'waiting' => [403, 'Waiting for the host to let you in', 'Tell the person at the computer the number '
            . 'below: they see it beside your device and let you in. This page goes on by itself.'],
        'denied' => [403, 'Not let in', 'The host did not let this device in.'],
        'busy' => [403, 'Not let in yet', 'The host lets devices in one by one, and too many are waiting. '
            . 'Please try again later.'],
        'another' => [403, 'Not let in yet', 'Another device at this address is already waiting for the host. '
            . 'Please try again once the host has answered it.'],
        'often' => [429, 'Not let in yet', 'Too many devices came in from this address just now. '
            . 'Please try again in a minute.'],
        'full' => [403, 'Not let in yet', 'As many devices as the site keeps are let in and in use. '
            . 'Ask the person at the computer to forget some, then try again.'],
        'unusable' => [503, 'Not let in yet', 'This site cannot let visitors in right now. Please try again later.'],
        'ask' => [403, 'Not let in yet', 'Open this site’s start page to ask the host to let this device in.'],
    ][$verdict];
    [$status, $title, $message] = $text;
    if (site_wants_json() || strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? '')) !== 'GET') {
        site_error($status, $title . ': ' . $message);
    }
    require_once __DIR__ . '/layout.php';
    site_status($status);
    layout_open($title, [['Shared folders', '/'], [$title, null]]);
    echo "<link rel=\"stylesheet\" href=\"/assets/access.css\">\n<section class=\"panel gate\" aria-labelledby=\"gate-title\">\n"
        . '<h1 id="gate-title">' . h($title) . "</h1>\n"
        . '<p' . ($verdict === 'wrong' ? ' class="gate-error" role="alert"' : '') . '>' . h($message) . "</p>\n";
    if ($verdict === 'code' || $verdict === 'wrong') {
        gate_code_form();
    } elseif ($verdict === 'waiting') {
        $device = $state['devices'][access_device_key((string) visitor_known_id())] ?? [];
        echo '<p class="gate-number">Your number: <strong>' . h($device['number'] ?? '') . "</strong></p>\n"
            . '<p><a class="button" href="' . h(gate_here()) . "\">Check again</a></p>\n"
            . "<script src=\"/assets/gate.js\" defer></script>\n";
    }
    echo "</section>\n";
    layout_close();
    exit;
}

// A GET form: the code arrives as a link's ?code= does, and the page asked
// for stays the one the visitor goes on to.
function gate_code_form(): void
{
    echo '<form class="gate-form" method="get" action="' . h(parse_url(gate_here(), PHP_URL_PATH)) . "\">\n";
    foreach ($_GET as $name => $value) {
        if ($name !== 'code' && is_string($value)) {
            echo '<input type="hidden" name="' . h((string) $name) . '" value="' . h($value) . "\">\n";
        }
    }
    echo '<label for="gate-code">Code</label><div class="gate-row">'
        . '<input id="gate-code" name="code" autocomplete="off" autocapitalize="characters" spellcheck="false" '
        . 'maxlength="64" required autofocus>'
        . "<button type=\"submit\">Go in</button></div>\n</form>\n";
}

gate_pass();
