<?php
// bootstrap.php - what every page does first: no PHP message ever reaches a
// visitor, text is UTF-8, and every failure ends in a plain error page.
// The interpreter's configuration shows errors in the page; a warning would
// leak a server path, so they are silenced here and checked by return values.
ini_set('display_errors', '0');
ini_set('log_errors', '0');
error_reporting(E_ALL);
set_error_handler(static function (): bool {
    return true;
});
// On Windows this also switches the file functions to UTF-8 names.
ini_set('default_charset', 'UTF-8');
header_remove('X-Powered-By');

set_exception_handler(static function (Throwable $e): void {
    if ($e instanceof SiteBusy) {
        site_error(503, 'The site is busy, try again in a moment.');
    }
    site_error(500, 'Something went wrong on the server. Please try again.');
});

/** What ends a request that waited its limit for the site's lock: it changed nothing. */
final class SiteBusy extends RuntimeException
{
}

// A fatal error (memory exhausted, say) would otherwise end in a blank page.
register_shutdown_function(static function (): void {
    $error = error_get_last();
    if ($error !== null && in_array($error['type'], [E_ERROR, E_CORE_ERROR, E_COMPILE_ERROR, E_PARSE], true)) {
        site_error(500, 'Something went wrong on the server. Please try again.');
    }
});

function site_is_windows(): bool
{
    return PHP_OS_FAMILY === 'Windows';
}

function site_sep(): string
{
    return site_is_windows() ? '\\' : '/';
}

function h(string $text): string
{
    return htmlspecialchars($text, ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5, 'UTF-8');
}

const SITE_STATUS_TEXT = [
    200 => 'OK',
    206 => 'Partial Content',
    303 => 'See Other',
    400 => 'Bad Request',
    401 => 'Unauthorized',
    403 => 'Forbidden',
    404 => 'Not Found',
    405 => 'Method Not Allowed',
    409 => 'Conflict',
    413 => 'Payload Too Large',
    415 => 'Unsupported Media Type',
    416 => 'Range Not Satisfiable',
    429 => 'Too Many Requests',
    500 => 'Internal Server Error',
    503 => 'Service Unavailable',
    507 => 'Insufficient Storage',
];

function site_status(int $code): void
{
    header('Status: ' . $code . ' ' . (SITE_STATUS_TEXT[$code] ?? 'Error'));
}

// Headers for the site's own HTML: no framing by other sites, scripts only
// from our own files.
function site_page_headers(): void
{
    header('Content-Type: text/html; charset=UTF-8');
    header('X-Content-Type-Options: nosniff');
    header('X-Frame-Options: SAMEORIGIN');
    header('Referrer-Policy: same-origin');
    header("Content-Security-Policy: default-src 'self'; img-src 'self' data: blob:; "
        . "object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'self'");
    header('Cache-Control: no-store');
}

// A request that a page answers with JSON wants its errors as JSON too.
function site_wants_json(): bool
{
    return ($_GET['format'] ?? '') === 'json' || ($_POST['format'] ?? '') === 'json';
}

/** Ends the request with a readable error page (or JSON) and the right status. */
function site_error(int $code, string $message): void
{
    if (!headers_sent()) {
        // The status goes out first: the server reads it from the first lines only.
        header_remove();
        if (site_wants_json()) {
            site_json(['ok' => false, 'error' => $message], $code);
        }
        site_status($code);
        site_page_headers();
        $title = $code . ' ' . (SITE_STATUS_TEXT[$code] ?? 'Error');
        echo "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            . '<meta name="viewport" content="width=device-width, initial-scale=1">'
            . '<meta name="color-scheme" content="light dark">'
            . '<title>' . h($title) . '</title><link rel="icon" href="/assets/icon.svg" type="image/svg+xml">'
            . '<link rel="stylesheet" href="/assets/site.css"></head>'
            . '<body class="error-page"><main class="error-box"><h1>' . h($title) . '</h1>'
            . '<p>' . h($message) . '</p><p><a href="/">Back to the shared folders</a></p>'
            . "</main></body></html>\n";
    }
    exit;
}

/** Ends the request with $answer as JSON, under status $code. */
function site_json(array $answer, int $code = 200): void
{
    $json = json_encode($answer, JSON_INVALID_UTF8_SUBSTITUTE);
    if ($code !== 200) {
        site_status($code);
    }
    header('Content-Type: application/json; charset=UTF-8');
    // Its length lets the client go on before the interpreter has ended.
    header('Content-Length: ' . strlen($json));
    header('Cache-Control: no-store');
    echo $json;
    exit;
}

// Leaves the interpreter's own buffers so big bodies stream straight through.
function site_unbuffer(): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    set_time_limit(0);
}

/**
 * $file opened with $mode when it is a plain file itself (not a link, a
 * folder or a pipe), or is made by the open; else null. A pipe is opened
 * without waiting for its other end, so that it cannot hold the page.
 */
function site_open_plain(string $file, string $mode)
{
    clearstatcache(true, $file);
    $entry = lstat($file);
    if ($entry !== false && ($entry['mode'] & 0170000) !== 0100000) {
        return null;
    }
    // 'n': O_NONBLOCK, where the system has it.
    $fh = fopen($file, site_is_windows() ? $mode : $mode . 'n');
    if ($fh === false) {
        return null;
    }
    if (site_named_plain($fh, $file) === null) {
        fclose($fh);
        return null;
    }
    return $fh;
}

/**
 * fstat of the file open as $fh while $file still names that very file, as a
 * plain file and not through a link; else null. A name swapped meanwhile
 * leads elsewhere.
 */
function site_named_plain($fh, string $file): ?array
{
    $open = fstat($fh);
    clearstatcache(true, $file);
    $named = lstat($file);
    if ($open === false || $named === false || ($named['mode'] & 0170000) !== 0100000
        || $open['dev'] !== $named['dev'] || $open['ino'] !== $named['ino']) {
        return null;
    }
    return $open;
}

// Whole or not at all: a reader never sees half a file. The temporary file
// is made new, so nothing is written through a link put in its place.
function site_write_whole(string $file, string $text): bool
{
    $temp = $file . '.' . bin2hex(random_bytes(6)) . '.tmp';
    $fh = fopen($temp, 'xb');
    if ($fh === false) {
        return false;
    }
    $ok = fwrite($fh, $text) === strlen($text);
    if (fclose($fh) && $ok && rename($temp, $file)) {
        return true;
    }
    unlink($temp);
    return false;
}

/** Whether the request is the host's own: it came from the address it was sent to (127.0.0.1 to 127.0.0.1 too). */
function site_is_host(): bool
{
    $remote = (string) ($_SERVER['REMOTE_ADDR'] ?? '');
    return $remote !== '' && $remote === (string) ($_SERVER['SERVER_ADDR'] ?? '');
}

/** A query or form value as text; anything else (an array, say) counts as absent. */
function site_param(string $name): string
{
    $value = $_GET[$name] ?? ($_POST[$name] ?? '');
    return is_string($value) ? $value : '';
}

// What a home router appends to the names of the machines it gives addresses to.
const SITE_ROUTER_SUFFIXES = ['lan', 'local', 'home', 'home.arpa', 'internal', 'localdomain', 'fritz.box'];

/** The name or IP address that a Host header names, lower case, without port and final dot; null when malformed. */
function site_host_name(string $host): ?string
{
    $host = strtolower(trim($host));
    if (filter_var($host, FILTER_VALIDATE_IP, FILTER_FLAG_IPV6) !== false) {
        return $host;
    }
    if (preg_match('/^\[([0-9a-f:.]+)\](:[0-9]*)?$/', $host, $m)) {
        return filter_var($m[1], FILTER_VALIDATE_IP, FILTER_FLAG_IPV6) !== false ? $m[1] : null;
    }
    return preg_match('/^([^:\[\]]+?)\.?(:[0-9]*)?$/', $host, $m) ? $m[1] : ($host === '' ? '' : null);
}

/**
 * Whether a request's Host names this machine: an IP address, "localhost" or
 * one of $ownNames (lower case), with any port. Any other name may be one
 * that a device of the network answers for, and then points here (DNS
 * rebinding): the host's own browser would take its page for ours. A request
 * without a Host is let through: every browser sends one.
 */
function site_host_allowed(string $host, array $ownNames): bool
{
    $name = site_host_name($host);
    return $name === '' || ($name !== null && (filter_var($name, FILTER_VALIDATE_IP) !== false
        || $name === 'localhost' || in_array($name, $ownNames, true)));
}

/**
 * Whether a Host names this machine by a loopback address, "localhost", one
 * of $ownAddresses or of $ownNames: the only names the host page and every
 * change of the site's settings answer under.
 */
function site_host_is_own(string $host, array $ownNames, array $ownAddresses): bool
{
    $name = site_host_name($host);
    if ($name === null || $name === '') {
        return false;
    }
    $ip = inet_pton($name);
    if ($ip === false) {
        return $name === 'localhost' || in_array($name, $ownNames, true);
    }
    // 127.0.0.0/8, ::1 and 127/8 written as an IPv4-mapped IPv6 address.
    if ($ip[0] === "\x7f" || $ip === inet_pton('::1')
        || (strlen($ip) === 16 && substr($ip, 0, 12) === "\0\0\0\0\0\0\0\0\0\0\xff\xff" && $ip[12] === "\x7f")) {
        return true;
    }
    foreach ($ownAddresses as $address) {
        if (inet_pton((string) $address) === $ip) {
            return true;
        }
    }
    return false;
}

/** The names a machine called $hostName goes by: the full and the short name, the short one with a router's suffix. */
function site_names_of(string $hostName): array
{
    $full = rtrim(strtolower($hostName), '.');
    $short = explode('.', $full)[0];
    if ($short === '') {
        return [];
    }
    $names = [$full, $short];
    foreach (SITE_ROUTER_SUFFIXES as $suffix) {
        $names[] = $short . '.' . $suffix;
    }
    return array_values(array_unique($names));
}

/** This machine's names as a visitor may type them. */
function site_own_names(): array
{
    return site_names_of((string) gethostname());
}

/** This machine's IP addresses: of its network interfaces, and the one the request reached. */
function site_own_addresses(): array
{
    $addresses = [(string) ($_SERVER['SERVER_ADDR'] ?? ''), (string) ($_SERVER['LOCAL_ADDR'] ?? '')];
    foreach (function_exists('net_get_interfaces') ? (net_get_interfaces() ?: []) : [] as $interface) {
        foreach ($interface['unicast'] ?? [] as $unicast) {
            $addresses[] = (string) ($unicast['address'] ?? '');
        }
    }
    return array_values(array_filter($addresses, static fn(string $a): bool => $a !== ''));
}

// A page of another site whose name was pointed at this machine (DNS
// rebinding) would count as this site and could read and upload freely.
if (!site_host_allowed((string) ($_SERVER['HTTP_HOST'] ?? ''), site_own_names())) {
    site_error(403, 'This site answers only to this computer’s address or name, not to “'
        . substr((string) $_SERVER['HTTP_HOST'], 0, 100) . '”. Open it by the address that the server shows.');
}
