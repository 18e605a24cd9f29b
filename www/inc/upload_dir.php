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
 * Moves an uploaded file into $dir under its own name, or "name (2).ext" and
 * so on when that is taken. Returns the name used, or null.
 */
function upload_store(string $tmp, string $wanted, string $dir): ?string
{
    [$base, $ext] = upload_split_name(upload_clean_name($wanted));
    for ($n = 1; $n <= 10000; $n++) {
        $name = $n === 1 ? $base . $ext : $base . ' (' . $n . ')' . $ext;
        $target = $dir . DIRECTORY_SEPARATOR . $name;
        // Claiming the name with an exclusive create is what makes two uploads
        // of the same name at once end up as two files.
        $claim = fopen($target, 'x');
        if ($claim === false) {
            if (file_exists($target) || is_link($target)) {
                continue;
            }
            return null;
        }
        fclose($claim);
        if (move_uploaded_file($tmp, $target)) {
            return $name;
        }
        unlink($target);
        return null;
    }
    return null;
}
