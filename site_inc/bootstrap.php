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
    site_error(500, 'Something went wrong on the server. Please try again.');
});
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
        site_status($code);
        if (site_wants_json()) {
            header('Content-Type: application/json; charset=UTF-8');
            header('Cache-Control: no-store');
            echo json_encode(['ok' => false, 'error' => $message], JSON_INVALID_UTF8_SUBSTITUTE);
            exit;
        }
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

// Leaves the interpreter's own buffers so big bodies stream straight through.
function site_unbuffer(): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    set_time_limit(0);
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

/**
 * Whether a request's Host names this machine: an IP address, "localhost",
 * one of $ownNames (lower case), or a name that only a home network gives
 * (one label, or a router's suffix), with any port. A request without one is
 * let through: every browser sends it. DNS rebinding needs a public name.
 */
function site_host_allowed(string $host, array $ownNames): bool
{
    $host = strtolower(trim($host));
    if ($host === '' || filter_var($host, FILTER_VALIDATE_IP, FILTER_FLAG_IPV6) !== false) {
        return true;
    }
    if (preg_match('/^\[([0-9a-f:.]+)\](:[0-9]*)?$/', $host, $m)) {
        return filter_var($m[1], FILTER_VALIDATE_IP, FILTER_FLAG_IPV6) !== false;
    }
    if (!preg_match('/^([^:\[\]]+?)\.?(:[0-9]*)?$/', $host, $m)) {
        return false;
    }
    $name = $m[1];
    return filter_var($name, FILTER_VALIDATE_IP, FILTER_FLAG_IPV4) !== false || $name === 'localhost'
        || in_array($name, $ownNames, true) || preg_match('/^[a-z0-9]([a-z0-9-]*[a-z0-9])?'
        . '(\.[a-z0-9]([a-z0-9-]*[a-z0-9])?)*\.(local|lan|home|home\.arpa|internal|localdomain|fritz\.box)$'
        . '|^[a-z0-9]([a-z0-9-]*[a-z0-9])?$/', $name) === 1;
}

/** This machine's names as a visitor may type them: "box", "box.local" and the full name. */
function site_own_names(): array
{
    $full = strtolower((string) gethostname());
    $short = explode('.', $full)[0];
    return $short === '' ? [] : array_values(array_unique([$full, $short, $short . '.local']));
}

// A page of another site whose name was pointed at this machine (DNS
// rebinding) would count as this site and could read and upload freely.
if (!site_host_allowed((string) ($_SERVER['HTTP_HOST'] ?? ''), site_own_names())) {
    site_error(403, 'This site answers only to this computer’s address or name, not to “'
        . substr((string) $_SERVER['HTTP_HOST'], 0, 100) . '”. Open it by the address that the server shows.');
}
