<?php
// host_access.php - the host page's parts of who may come in: who may open
// the page at all, what the host is told about the mode in force and the
// state, and the devices asking to come in with the host's answers.

/**
 * Ends the request unless it is the host's own, under a name of this
 * machine: a page of another site whose name was pointed here would
 * otherwise read the code and change the settings through the host's browser.
 */
function host_access_guard(): void
{
    if (!site_is_host() || !site_host_is_own((string) ($_SERVER['HTTP_HOST'] ?? ''), site_own_names(),
        site_own_addresses())) {
        site_error(403, 'This page can be opened only on the computer the site runs on, by its own address '
            . '(such as http://127.0.0.1:60001/host.php).');
    }
}

/** The mode the site applies now, and why it is not the one chosen when the state is broken or damaged. */
function host_access_notices(array $state, array $modes): void
{
    [$label, $hint] = $modes[access_mode($state)];
    echo '<p class="host-mode-now" id="mode-now">In force now: <strong>' . h($label) . '</strong> – ' . h($hint)
        . "</p>\n";
    if ($state['broken'] !== '') {
        echo '<p class="host-warning" role="alert">The site cannot use its state folder “' . h(access_dir())
            . '”: ' . h($state['broken']) . '. Until it can, nobody but this computer comes in, and the settings '
            . "below cannot be saved. Remove what is in the way, or the whole folder to start afresh.</p>\n";
    } elseif ($state['damaged'] > 0) {
        echo '<p class="host-warning" role="alert">The site’s state file was found damaged on '
            . h(format_date($state['damaged'])) . ' (a copy is kept beside it as “.damaged”). Until you save the '
            . "settings below, the site is in approve mode: nobody comes in without your approval.</p>\n";
    }
}

function host_waiting(array $state, string $token): void
{
    $rows = [];
    foreach ($state['devices'] as $key => $d) {
        if ($d['status'] === 'allowed') {
            continue;
        }
        $name = h($d['name'] . ' at ' . $d['addr'] . ', number ' . $d['number']);
        $hidden = static fn(string $label): string => $label . '<span class="visually-hidden"> ' . $name . '</span>';
        $answers = host_button($token, 'allow', $hidden('Allow'), $key);
        if ($d['status'] === 'waiting') {
            $answers .= host_button($token, 'deny', $hidden('Deny'), $key, ' class="secondary"')
                . host_button($token, 'block', $hidden('Deny and block this address'), $key, ' class="secondary"');
        }
        $rows[] = ['<strong class="host-number">' . h($d['number']) . '</strong>', h($d['name']), h($d['addr']),
            host_time($d['since']), host_waiting_state($d), $answers];
    }
    host_table('waiting', 'Devices asking to come in', ['Number', 'Device', 'Address', 'Since', 'State', 'Answer'],
        $rows, 'No device is waiting.');
}

function host_waiting_state(array $device): string
{
    if ($device['status'] === 'waiting') {
        return 'Waiting';
    }
    if (!empty($device['blocked'])) {
        return 'Turned away; its address is blocked until ' . host_time($device['expires']);
    }
    $until = $device['since'] + ACCESS_DENY_BARS_SECONDS;
    return $until > time() ? 'Turned away; its address may ask again at ' . host_time($until) : 'Turned away';
}
