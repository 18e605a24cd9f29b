<?php
// upload_dir.php - where uploads land (outside the site root, so nothing
// stored there is ever run as a page) and how a file gets its name there
// without replacing another.
if (!defined('OSTREL_SITE')) {
    header_remove('X-Powered-By');  // so that the status is the first line out
    header('Status: 404 Not Found');
    exit;
}

const UPLOAD_DIR_NAME = 'Upload Directory';

/** The upload directory, created when missing, as the program computes it; null when there is none. */
function upload_dir(): ?string
{
    if (site_is_windows()) {
        $www = (string) ($_SERVER['APPL_PHYSICAL_PATH'] ?? '');
        if ($www === '') {
            $www = dirname(__DIR__) . '\\';
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
    $name = preg_replace('/^.*[\/\\\\]/s', '', $name);  // some browsers send the whole path
    $name = preg_replace('/[\x00-\x1f\x7f<>:"|?*]/', '_', $name);
    $name = rtrim(trim($name), '. ');
    if (!preg_match('//u', $name)) {
        $name = preg_replace('/[\x80-\xff]/', '_', $name);
    }
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
 * Stores an uploaded file in $dir under its own cleaned name, or "name (2).ext"
 * and so on when that is taken. Nothing is ever written through a link: the
 * bytes go into a new file that this request alone created in $dir, which then
 * takes the first free name. Returns the name used, or null.
 */
function upload_store(string $tmp, string $wanted, string $dir): ?string
{
    $part = upload_part($tmp, $dir);
    if ($part === null) {
        return null;
    }
    [$base, $ext] = upload_split_name(upload_clean_name($wanted));
    for ($n = 1; $n <= 10000; $n++) {
        $name = $n === 1 ? $base . $ext : $base . ' (' . $n . ')' . $ext;
        $target = $dir . DIRECTORY_SEPARATOR . $name;
        if (upload_place($part, $target)) {
            return $name;
        }
        // A name that is taken, or whose place is a link, even a broken one, is passed over.
        if (!upload_taken($target)) {
            break;
        }
    }
    unlink($part);
    return null;
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
        $held = fstat($out);
        $there = lstat($part);
        $ok = $held !== false && $there !== false && ($there['mode'] & 0170000) === 0100000
            && $held['dev'] === $there['dev'] && $held['ino'] === $there['ino'];
        $size = fstat($in)['size'] ?? -1;
        $ok = $ok && stream_copy_to_stream($in, $out) === $size && fflush($out);
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
