<?php
// host_network.php - the host page's "This computer's addresses" and "Can't
// connect?": every address with its QR code (the one the program gives out
// first, virtual and VPN adapters marked), whether the firewall lets visitors
// in, the networks' categories, and plain steps. The program writes what it
// knows into state/network.txt at each Start (config/host_network.h); what it
// could not read is shown as unknown, never guessed.

const HOST_NETWORK_FILE = 'network.txt';
const HOST_NETWORK_MAX_ADDRESSES = 64;
const HOST_NETWORK_KINDS = [
    'ethernet' => 'Ethernet', 'wifi' => 'Wi-Fi', 'physical' => 'Network adapter', 'virtual' => 'Virtual adapter',
    'vpn' => 'VPN', 'loopback' => 'This computer only',
];
const HOST_NETWORK_FIREWALL = ['none', 'unknown', 'off', 'allowed', 'blocked', 'inactive', 'missing'];
const HOST_NETWORK_CATEGORIES = ['public' => 'Public', 'private' => 'Private', 'domain' => 'Domain'];

/**
 * The program's file: 'addresses' ([ip, kind, adapter], the one given out
 * first), 'firewall', 'networks' (none, unknown or known) and 'network'
 * ([category, name]). A missing file or line reads as unknown.
 */
function host_network_read(string $file): array
{
    $info = ['addresses' => [], 'firewall' => 'unknown', 'networks' => 'unknown', 'network' => []];
    $text = is_file($file) ? file_get_contents($file, false, null, 0, 256 * 1024) : false;
    if (!is_string($text)) {
        return $info;
    }
    foreach (preg_split('/\r\n|\n|\r/', $text) as $line) {
        $f = explode("\t", $line);
        if ($f[0] === 'address' && count($f) === 4 && isset(HOST_NETWORK_KINDS[$f[2]])
            && filter_var($f[1], FILTER_VALIDATE_IP, FILTER_FLAG_IPV4) !== false
            && count($info['addresses']) < HOST_NETWORK_MAX_ADDRESSES) {
            $info['addresses'][] = ['ip' => $f[1], 'kind' => $f[2], 'adapter' => $f[3]];
        } elseif ($f[0] === 'firewall' && count($f) === 2 && in_array($f[1], HOST_NETWORK_FIREWALL, true)) {
            $info['firewall'] = $f[1];
        } elseif ($f[0] === 'networks' && count($f) === 2 && in_array($f[1], ['none', 'unknown', 'known'], true)) {
            $info['networks'] = $f[1];
        } elseif ($f[0] === 'network' && count($f) === 3 && isset(HOST_NETWORK_CATEGORIES[$f[1]])) {
            $info['network'][] = ['category' => $f[1], 'name' => $f[2]];
        }
    }
    return $info;
}

/** Both sections, for the host page; $state is the site's access state (code mode puts the code in each address). */
function host_network(array $state): void
{
    $info = host_network_read(dirname(__DIR__) . DIRECTORY_SEPARATOR . 'state' . DIRECTORY_SEPARATOR
        . HOST_NETWORK_FILE);
    $given = (string) ($_SERVER['LOCAL_ADDR'] ?? '');
    if (!$info['addresses'] && filter_var($given, FILTER_VALIDATE_IP, FILTER_FLAG_IPV4) !== false) {
        $info['addresses'][] = ['ip' => $given, 'kind' => '', 'adapter' => ''];
    }
    $port = host_port();
    $code = access_mode($state) === 'code' ? $state['code'] : '';
    echo "<link rel=\"stylesheet\" href=\"/assets/host_network.css\">\n";
    host_network_addresses($info['addresses'], $code);
    host_network_help($info, $port);
}

/** The port the page was asked for on, as its Host says. */
function host_port(): string
{
    return preg_match('/:([0-9]+)$/', (string) ($_SERVER['HTTP_HOST'] ?? ''), $m) ? $m[1] : '60001';
}

/** The site's address at $ip, with the code that lets a visitor in ('' for none). */
function host_url(string $ip, string $code): string
{
    return 'http://' . $ip . ':' . host_port() . ($code === '' ? '' : '/?code=' . $code);
}

/**
 * What to tell about an address's adapter: its name and kind, and for the
 * others than the one given out, whether phones are likely to reach it (the
 * program gives out a virtual adapter's only when it holds the network's
 * gateway, a bridge's say).
 */
function host_network_adapter(array $a, bool $given): string
{
    $parts = [];
    if ($a['adapter'] !== '') {
        $parts[] = '<span class="host-adapter">' . h($a['adapter']) . '</span>';
    }
    if ($a['kind'] === 'virtual' || $a['kind'] === 'vpn') {
        $parts[] = '<span class="host-mark host-mark-' . $a['kind'] . '">' . h(HOST_NETWORK_KINDS[$a['kind']])
            . '</span>' . ($given ? '' : ' <span class="note">Phones usually cannot reach this one.</span>');
    } elseif ($a['kind'] !== '') {
        $parts[] = '<span class="host-kind">' . h(HOST_NETWORK_KINDS[$a['kind']]) . '</span>';
    }
    return implode(' ', $parts);
}

function host_network_addresses(array $addresses, string $code): void
{
    echo "<section class=\"panel host-addresses\" id=\"addresses\" aria-labelledby=\"addresses-title\">\n"
        . "<h2 id=\"addresses-title\">This computer’s addresses</h2>\n";
    if (!$addresses) {
        echo "<p class=\"empty\">The program found no address of this computer. Press Stop and Start once it is "
            . "connected to a network.</p>\n</section>\n";
        return;
    }
    echo '<p class="note">Phones and computers on the same network open one of these. The first is the one the '
        . "program gives out; if it does not open, try the next.</p>\n<ol class=\"host-address-list\">\n";
    foreach ($addresses as $i => $a) {
        $url = host_url($a['ip'], $code);
        echo '<li class="host-address-item' . ($i === 0 ? ' host-address-given' : '') . '" data-ip="'
            . h($a['ip']) . '">'
            . '<canvas class="host-address-qr" width="0" height="0" role="img" aria-label="QR code of '
            . h($url) . '" data-text="' . h($url) . '"></canvas>'
            . '<div class="host-address-text"><a href="' . h($url) . '">' . h($url) . '</a>'
            . ($i === 0 ? ' <span class="host-mark host-mark-given">Given out</span>' : '')
            . '<br>' . host_network_adapter($a, $i === 0) . "</div></li>\n";
    }
    echo "</ol>\n</section>\n";
}

/** The firewall's line: [text, whether it keeps visitors out]. */
function host_network_firewall(string $state): array
{
    switch ($state) {
        case 'none':
            return ['This program does not change any firewall here. If one runs (ufw, firewalld, …), it must let '
                . 'in TCP connections to the port of these addresses.', false];
        case 'off':
            return ['Windows Firewall is off for the network this computer is on: it does not stop visitors.', false];
        case 'allowed':
            return ['Windows Firewall: this program’s entry is there and enabled for the network this computer is '
                . 'on.', false];
        case 'blocked':
            return ['Windows Firewall blocks this program on the network this computer is on: a rule of its own '
                . 'blocks it (Windows makes one when its question about this program is dismissed), or the '
                . 'firewall blocks every incoming connection.', true];
        case 'inactive':
            return ['Windows Firewall: this program’s entry is there, but it is turned off or made for another kind '
                . 'of network than the one this computer is on, so visitors are turned away.', true];
        case 'missing':
            return ['Windows Firewall has no entry for this program, so it turns visitors away.', true];
    }
    return [(site_is_windows() ? 'Windows Firewall' : 'The firewall') . ': unknown (the program could not read it).',
        false];
}

function host_network_help(array $info, string $port): void
{
    [$firewall, $firewallBad] = host_network_firewall($info['firewall']);
    $public = false;
    $networks = [];
    foreach ($info['network'] as $n) {
        $public = $public || $n['category'] === 'public';
        $networks[] = '<li>' . ($n['name'] === '' ? 'A network' : '“' . h($n['name']) . '”') . ': <strong>'
            . h(HOST_NETWORK_CATEGORIES[$n['category']]) . ' network</strong>'
            . ($n['category'] === 'public' ? ' – Windows keeps visitors out on public networks unless a program is '
                . 'allowed there too.' : '') . '</li>';
    }
    $windows = site_is_windows();
    echo "<section class=\"panel host-help\" id=\"cant-connect\" aria-labelledby=\"cant-connect-title\">\n"
        . '<details' . ($firewallBad || $public ? ' open' : '') . '><summary><h2 id="cant-connect-title">'
        . "Can’t connect?</h2></summary>\n<ul class=\"host-facts\">\n"
        . '<li>The server takes connections on port ' . h($port) . ' of every address of this computer, so each '
        . "address above works as far as the server is concerned.</li>\n"
        . '<li class="host-firewall-' . h($info['firewall']) . '"' . ($firewallBad ? ' role="alert"' : '') . '>'
        . h($firewall) . "</li>\n";
    if ($info['networks'] === 'known') {
        echo $networks ? '<li>The networks this computer is on, as Windows classes them:<ul>' . implode('', $networks)
            . "</ul></li>\n" : "<li>Windows reports no connected network.</li>\n";
    } elseif ($windows && $info['networks'] === 'unknown') {
        echo "<li>Network category (private or public): unknown (the system did not tell).</li>\n";
    }
    echo "</ul>\n<h3>Try this</h3>\n<ol class=\"host-steps\">\n"
        . '<li>Connect the phone to the same network as this computer: the same Wi-Fi, not mobile data, and not a '
        . "guest network (guest networks keep devices apart).</li>\n"
        . '<li>Type the address exactly, with <code>http://</code> and <code>:' . h($port) . '</code>, or scan its '
        . "QR code.</li>\n"
        . "<li>If the first address does not open, try the next ones.</li>\n";
    if ($windows) {
        echo '<li>Let the program through the firewall: Windows Security › Firewall &amp; network protection › '
            . 'Allow an app through firewall › Change settings, then tick <strong>Private</strong> beside this '
            . "program (or add it with Allow another app).</li>\n"
            . '<li>If this is your home or office network, make it private: Settings › Network &amp; internet › '
            . "your network › Network profile type › <strong>Private</strong>.</li>\n";
    } else {
        echo '<li>If a firewall runs on this computer, let in TCP port ' . h($port) . ' (for example '
            . '<code>sudo ufw allow ' . h($port) . "/tcp</code>).</li>\n";
    }
    echo "<li>A VPN on this computer or on the phone may keep them apart: pause it and try again.</li>\n"
        . "</ol>\n</details>\n</section>\n";
}
