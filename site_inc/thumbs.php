<?php
// thumbs.php - small pictures of the pictures in a shared folder: made on
// first request (picture.php), kept in the interpreter's temporary folder
// (outside the site) under a name made of the file's path, size and time, in
// a cache of bounded size. At most two are made at once on the whole machine.
const THUMB_SIZE = 256;
const THUMB_CACHE_BYTES = 268435456;
// Files of the cache count at least one disk block, so that the bound also
// holds the count of "no thumbnail" markers, which are empty.
const THUMB_MIN_BLOCK = 4096;
const THUMB_SLOTS = 2;
const THUMB_WAIT_SECONDS = 20;

/** The cache folder, made when missing; null when the interpreter has no temporary folder or no GD. */
function thumbs_dir(): ?string
{
    static $dir = false;
    if ($dir === false) {
        $dir = null;
        $temp = rtrim((string) ini_get('upload_tmp_dir'), '/\\');
        if (function_exists('imagecreatetruecolor') && $temp !== '' && is_dir($temp)) {
            $candidate = $temp . DIRECTORY_SEPARATOR . 'thumbs';
            if (is_dir($candidate) || mkdir($candidate) || is_dir($candidate)) {
                $dir = $candidate;
            }
        }
    }
    return $dir;
}

/** Whether a file of this name and size may get a thumbnail (it may still turn out unreadable). */
function thumbs_possible(string $name, int $size): bool
{
    $dot = strrpos($name, '.');
    $type = $dot === false ? null : (PICTURE_TYPES[strtolower(substr($name, $dot + 1))] ?? null);
    return $type !== null && $size > 0 && $size <= PICTURE_MAX_BYTES && picture_decodes($type)
        && thumbs_dir() !== null;
}

/**
 * The thumbnail of $path as [bytes, content type]: from the cache, else made
 * and kept there. null when the picture gets none; 'busy' when no slot came
 * free in time.
 */
function thumbs_get(string $path): array|string|null
{
    $dir = thumbs_dir();
    $stat = stat($path);
    if ($dir === null || $stat === false) {
        return null;
    }
    // JPEG stays JPEG; the others may be transparent, which WebP keeps.
    $jpeg = picture_type($path) === IMAGETYPE_JPEG || !function_exists('imagewebp');
    $key = sha1($path . "\0" . $stat['size'] . "\0" . $stat['mtime'] . "\0" . THUMB_SIZE);
    $file = $dir . DIRECTORY_SEPARATOR . $key . ($jpeg ? '.jpg' : '.webp');
    $bytes = thumbs_cached($file);
    if ($bytes === null) {
        $slot = thumbs_slot($dir);
        if ($slot === null) {
            return 'busy';
        }
        // A picture that takes longer than this to make is not worth the wait;
        // the interpreter ends a call that overruns it by two seconds more.
        set_time_limit(20);
        // Another request may have made it while this one waited.
        $bytes = thumbs_cached($file);
        if ($bytes === null) {
            $bytes = picture_shrink($path, $stat['size'], THUMB_SIZE, $jpeg);
            thumbs_store($file, $bytes);
        }
        flock($slot, LOCK_UN);
        fclose($slot);
    }
    return $bytes === '' ? null : [$bytes, $jpeg ? 'image/jpeg' : 'image/webp'];
}

/** The cached bytes: null when there are none, '' for "no thumbnail". */
function thumbs_cached(string $file): ?string
{
    clearstatcache(true, $file);
    $mtime = is_file($file) ? filemtime($file) : false;
    $bytes = $mtime === false ? false : file_get_contents($file);
    if (!is_string($bytes)) {
        return null;
    }
    // The cache is trimmed oldest first: a thumbnail still looked at stays young.
    if ($bytes !== '' && $mtime < time() - 86400) {
        touch($file);
    }
    return $bytes;
}

/** One of the machine-wide slots, locked; null when none came free in time. */
function thumbs_slot(string $dir)
{
    $handles = [];
    for ($i = 0; $i < THUMB_SLOTS; $i++) {
        $handle = fopen($dir . DIRECTORY_SEPARATOR . 'slot' . $i . '.lock', 'c');
        if ($handle !== false) {
            $handles[] = $handle;
        }
    }
    $deadline = microtime(true) + THUMB_WAIT_SECONDS;
    $slot = null;
    while ($slot === null && $handles && microtime(true) < $deadline) {
        foreach ($handles as $handle) {
            if (flock($handle, LOCK_EX | LOCK_NB)) {
                $slot = $handle;
                break;
            }
        }
        if ($slot === null) {
            usleep(50000);
        }
    }
    foreach ($handles as $handle) {
        if ($handle !== $slot) {
            fclose($handle);
        }
    }
    return $slot;
}

/** Keeps the thumbnail ('' for none) under its name, written whole before the name appears. */
function thumbs_store(string $file, string $bytes): void
{
    $temp = tempnam(dirname($file), 'new');
    if ($temp === false) {
        return;
    }
    if (file_put_contents($temp, $bytes) !== strlen($bytes) || !rename($temp, $file)) {
        unlink($temp);
        return;
    }
    // Now and then, not for every thumbnail: a look at the whole cache costs.
    if (random_int(1, 32) === 1) {
        thumbs_trim(dirname($file), THUMB_CACHE_BYTES);
    }
}

/** Removes the least recently made or used thumbnails until the cache holds at most 80 % of $max bytes. */
function thumbs_trim(string $dir, int $max): void
{
    $files = [];
    $total = 0;
    foreach (scandir($dir) ?: [] as $name) {
        $path = $dir . DIRECTORY_SEPARATOR . $name;
        // What an interpreter that was ended while writing left behind.
        if (strncmp($name, 'new', 3) === 0 && ($st = stat($path)) !== false && $st['mtime'] < time() - 3600) {
            unlink($path);
        }
        if (!preg_match('/^[0-9a-f]{40}\.(jpg|webp)$/', $name) || ($st = stat($path)) === false) {
            continue;
        }
        $size = max(THUMB_MIN_BLOCK, $st['size']);
        $files[] = [$st['mtime'], $size, $path];
        $total += $size;
    }
    if ($total <= $max) {
        return;
    }
    sort($files);
    foreach ($files as [, $size, $path]) {
        if ($total <= $max * 0.8) {
            break;
        }
        if (unlink($path)) {
            $total -= $size;
        }
    }
}
