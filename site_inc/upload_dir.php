<?php
// upload_dir.php - where uploads land (outside the site root, so nothing
// stored there is ever run as a page) and how a file gets its name there
// without replacing another.
// Nothing is received from anyone the gate holds back.
require_once __DIR__ . '/gate.php';

const UPLOAD_DIR_NAME = 'Upload Directory';
// "name.ext", "name (2).ext" ... "name (5).ext" are tried in order, then
// random suffixes: probing (6), (7)... would cost each upload of a popular
// name more than the one before.
const UPLOAD_ORDERED_NAMES = 5;
const UPLOAD_RANDOM_NAMES = 20;
// Below this much room beyond the file itself, a failed write counts as a full disk.
const UPLOAD_FULL_MARGIN = 1048576;
// Characters that draw a slash or a backslash: a name holding one could pass
// for a path.
const UPLOAD_SLASHES = ["\u{2044}", "\u{2215}", "\u{29F8}", "\u{FF0F}", "\u{FF3C}", "\u{2216}", "\u{29F5}",
    "\u{29F9}", "\u{FE68}", "\u{2571}", "\u{2572}"];

/**
 * Ends the request unless the host has uploads on and it comes from this
 * site's upload form: from a page of this site, with the form's token $token
 * (the page includes token.php).
 */
function upload_allowed($token): void
{
    if (!access_uploads_on()) {
        site_error(403, 'The host has turned uploads off.');
    }
    if (!token_same_site(false)) {
        site_error(403, 'This upload was sent from another site’s page: nothing was stored.');
    }
    if (!token_valid('upload', $token)) {
        site_error(403, 'This upload form has expired or did not come from this site. '
            . 'Please reload the page and try again.');
    }
}

/** The upload directory, created when missing, as the program computes it; null when there is none. */
function upload_dir(): ?string
{
    if (site_is_windows()) {
        $www = (string) ($_SERVER['APPL_PHYSICAL_PATH'] ?? '');
        if ($www === '') {
            $www = dirname(__DIR__) . '\\www\\';
        }
        if (preg_match('/[\x80-\xff]/', $www) && function_exists('sapi_windows_cp_conv')) {
            $www = (string) sapi_windows_cp_conv(sapi_windows_cp_get('ansi'), 65001, $www);
        }
        $drive = upload_windows_drive($www);
        if ($drive === null) {
            return null;
        }
        $dir = $drive . '\\' . UPLOAD_DIR_NAME;
    } else {
        $home = getenv('HOME');
        if (!is_string($home) || $home === '' || $home[0] !== '/') {
            return null;
        }
        $dir = rtrim($home, '/') . '/' . UPLOAD_DIR_NAME;
    }
    if (!is_dir($dir) && !mkdir($dir) && !is_dir($dir)) {
        return null;
    }
    return $dir;
}

/** "C:" of "C:\...", "\\server\share" of "\\server\share\...". */
function upload_windows_drive(string $path): ?string
{
    if (preg_match('/^([A-Za-z]:)/', $path, $m)) {
        return $m[1];
    }
    if (preg_match('/^(\\\\\\\\[^\\\\]+\\\\[^\\\\]+)/', $path, $m)) {
        return $m[1];
    }
    return null;
}

/** A name that is safe to create on any system, from what the browser sent. */
function upload_clean_name(string $name): string
{
    $name = upload_utf8(preg_replace('/^.*[\/\\\\]/s', '', $name));  // some browsers send the whole path
    // Format characters are invisible, and a right-to-left mark makes
    // "\u{202E}gnp.exe" look like "exe.png".
    $name = preg_replace('/\p{Cf}+/u', '', $name);
    $name = str_replace(UPLOAD_SLASHES, '_', $name);
    $name = preg_replace('/[<>:"|?*\p{Cc}\p{Zl}\p{Zp}]/u', '_', $name);
    $name = rtrim(trim($name), '. ');
    if (preg_match('/^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\..*)?$/i', $name)) {
        $name = '_' . $name;
    }
    if (strlen($name) > 200) {
        [$base, $ext] = upload_split_name($name);
        $ext = strlen($ext) <= 20 ? $ext : '';
        $name = upload_cut_utf8($base, 200 - strlen($ext)) . $ext;
    }
    return $name === '' ? 'upload' : $name;
}

/** $name, with every byte past ASCII as "_" when it is not UTF-8. */
function upload_utf8(string $name): string
{
    return preg_match('//u', $name) ? $name : preg_replace('/[\x80-\xff]/', '_', $name);
}

/** ["photo", ".jpg"] of "photo.jpg"; a leading dot is part of the name. */
function upload_split_name(string $name): array
{
    $dot = strrpos($name, '.');
    return ($dot === false || $dot === 0) ? [$name, ''] : [substr($name, 0, $dot), substr($name, $dot)];
}

function upload_cut_utf8(string $text, int $bytes): string
{
    $text = substr($text, 0, $bytes);
    while ($text !== '' && !preg_match('//u', $text)) {
        $text = substr($text, 0, -1);
    }
    return $text;
}

/**
 * Stores an uploaded file of $size bytes in $dir under its own cleaned name,
 * or "name (2).ext" and so on when that is taken. Nothing is ever written
 * through a link: the bytes go into a new file that this request alone
 * created in $dir, which then takes a free name. Returns the name used, or
 * null with $why 'full' (the disk is full) or 'failed'.
 */
function upload_store(string $tmp, string $wanted, string $dir, int $size, string &$why = ''): ?string
{
    $part = upload_part($tmp, $dir);
    if ($part !== null) {
        $name = upload_give_name($part, $wanted, $dir);
        if ($name !== null) {
            return $name;
        }
        unlink($part);
    }
    $why = upload_disk_full($dir, $size) ? 'full' : 'failed';
    return null;
}

/**
 * Gives the file at $part, on the file system of $dir, its cleaned name $wanted
 * in $dir, or the next free one, in one step that replaces nothing. Returns
 * the name used, or null with the file left at $part.
 */
function upload_give_name(string $part, string $wanted, string $dir): ?string
{
    [$base, $ext] = upload_split_name(upload_clean_name($wanted));
    for ($n = 1; $n <= UPLOAD_ORDERED_NAMES + UPLOAD_RANDOM_NAMES; $n++) {
        $name = upload_candidate($base, $ext, $n);
        $target = $dir . DIRECTORY_SEPARATOR . $name;
        if (upload_place($part, $target)) {
            return $name;
        }
        // A name that is taken, or whose place is a link, even a broken one, is passed over.
        if (!upload_taken($target)) {
            break;
        }
    }
    return null;
}

/** Why a file was stored under another name: '' (it was not), 'cleaned' or 'taken'. */
function upload_renamed(string $sent, ?string $stored): string
{
    if ($stored === null || $stored === $sent) {
        return '';
    }
    return $stored === upload_clean_name($sent) ? 'cleaned' : 'taken';
}

/** The $n-th name to try: "name.ext", "name (2).ext" ... then "name (<random>).ext". */
function upload_candidate(string $base, string $ext, int $n): string
{
    if ($n === 1) {
        return $base . $ext;
    }
    $suffix = $n <= UPLOAD_ORDERED_NAMES ? (string) $n : bin2hex(random_bytes(4));
    return $base . ' (' . $suffix . ')' . $ext;
}

/** Whether the disk holding $dir lacks room for $size more bytes. */
function upload_disk_full(string $dir, int $size): bool
{
    $free = upload_free_space($dir);
    return $free !== null && $free < $size + UPLOAD_FULL_MARGIN;
}

/** The room left on the disk holding $dir, in bytes; null when the system does not tell. */
function upload_free_space(string $dir): ?int
{
    $free = disk_free_space($dir);
    return $free === false ? null : (int) $free;
}

function upload_taken(string $path): bool
{
    return file_exists($path) || is_link($path);
}

/**
 * A new file in $dir, created exclusively under a random name, holding the
 * uploaded bytes; its path, or null.
 */
function upload_part(string $tmp, string $dir): ?string
{
    $part = tempnam($dir, '.upload-');
    if ($part === false) {
        return null;
    }
    // tempnam falls back to the system's folder for temporary files.
    if (dirname($part) !== realpath($dir)) {
        unlink($part);
        return null;
    }
    $from = stat($tmp);
    $to = stat($part);
    // On one file system a rename moves the bytes at once and never copies:
    // it replaces the new file itself, whatever its name has become.
    $moved = $from !== false && $to !== false && $from['dev'] === $to['dev'] && rename($tmp, $part);
    if (!$moved && !upload_copy($tmp, $part)) {
        unlink($part);
        return null;
    }
    chmod($part, 0666 & ~umask());  // as any new file of the user's, not private to the interpreter
    return $part;
}

/** Copies $tmp into the file at $part, which must still be the one tempnam made. */
function upload_copy(string $tmp, string $part): bool
{
    $in = fopen($tmp, 'rb');
    $out = fopen($part, 'r+b');
    $ok = false;
    if ($in !== false && $out !== false) {
        $size = fstat($in)['size'] ?? -1;
        $ok = site_named_plain($out, $part) !== null && stream_copy_to_stream($in, $out) === $size && fflush($out);
    }
    if ($in !== false) {
        fclose($in);
    }
    if ($out !== false) {
        $ok = fclose($out) && $ok;
    }
    return $ok;
}

/**
 * Gives the file at $part the name $target when nothing is there. A hard link
 * is made only where there is nothing, not even a broken link, and follows
 * none; where the file system has no hard links, the name is claimed by an
 * exclusive create and the file renamed over the claim.
 */
function upload_place(string $part, string $target): bool
{
    if (upload_taken($target)) {
        return false;
    }
    if (link($part, $target)) {
        unlink($part);
        return true;
    }
    if (upload_taken($target)) {
        return false;
    }
    $claim = fopen($target, 'x');
    if ($claim === false) {
        return false;
    }
    fclose($claim);
    if (rename($part, $target)) {
        return true;
    }
    unlink($target);
    return false;
}
