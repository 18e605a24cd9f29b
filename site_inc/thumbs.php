<?php
// thumbs.php - small pictures of the pictures in a shared folder: made on
// first request (picture.php) from the one handle that was checked, kept in
// the interpreter's temporary folder (outside the site) under a name made of
// the file's path, size and time, in a cache of bounded size. At most two are
// made at once on the whole machine, each within a budget of memory and time.
const THUMB_SIZE = 256;
const THUMB_CACHE_BYTES = 268435456;
// Files of the cache count at least one disk block, so that the bound also
// holds the count of "no thumbnail" markers, which are empty.
const THUMB_MIN_BLOCK = 4096;
const THUMB_SLOTS = 2;
const THUMB_WAIT_SECONDS = 20;
// A picture that takes longer than this on the processor to make is given up
// and remembered as one without a thumbnail: the interpreter ends a decode
// that overruns it by two seconds more. On Windows its time limit counts the
// clock's time and is looked at only once a call returns, so it could only
// throw away a decode already paid for: there the bounds on what is decoded
// (pixels, scans) bound the time, and the thumbnail is kept.
const THUMB_SECONDS = 5;
// What the interpreter counts itself: the file's bytes, and on Windows GD's
// picture (4 bytes a pixel) and the rows its PNG reader holds besides.
const THUMB_MEMORY = PICTURE_MAX_BYTES + 8 * PICTURE_MAX_PIXELS + 32 * 1048576;
// All that the process may allocate, for where GD and the JPEG library
// allocate past that count (Linux): a progressive JPEG's coefficients too.
const THUMB_DATA = THUMB_MEMORY + 3 * PICTURE_MAX_PIXELS;

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

/** Whether a file of this name and size (null: not known yet) may get a thumbnail (it may still turn out unreadable). */
function thumbs_possible(string $name, ?int $size = null): bool
{
    $dot = strrpos($name, '.');
    $type = $dot === false ? null : (PICTURE_TYPES[strtolower(substr($name, $dot + 1))] ?? null);
    return $type !== null && ($size === null || ($size > 0 && $size <= PICTURE_MAX_BYTES)) && picture_decodes($type)
        && thumbs_dir() !== null;
}

/** Holds this interpreter to what the largest picture allowed needs; for a page that makes thumbnails. */
function thumbs_bound_memory(): void
{
    ini_set('memory_limit', (string) THUMB_MEMORY);
    if (function_exists('posix_setrlimit') && defined('POSIX_RLIMIT_DATA')) {
        posix_setrlimit(POSIX_RLIMIT_DATA, THUMB_DATA, THUMB_DATA);
    }
}

/**
 * The thumbnail of the file open in $fh, found at $path, as [bytes, content
 * type]: from the cache, else made from the bytes read from $fh and kept
 * there. null when the picture gets none; 'busy' when no slot came free in time.
 */
function thumbs_get(string $path, $fh): array|string|null
{
    $dir = thumbs_dir();
    $stat = fstat($fh);
    if ($dir === null || $stat === false || $stat['size'] < 1 || $stat['size'] > PICTURE_MAX_BYTES) {
        return null;
    }
    // JPEG stays JPEG; the others may be transparent, which WebP keeps.
    $jpeg = picture_type((string) fread($fh, 12)) === IMAGETYPE_JPEG || !function_exists('imagewebp');
    $key = sha1($path . "\0" . $stat['size'] . "\0" . $stat['mtime'] . "\0" . THUMB_SIZE);
    $file = $dir . DIRECTORY_SEPARATOR . $key . ($jpeg ? '.jpg' : '.webp');
    $bytes = thumbs_cached($file);
    if ($bytes === null) {
        $slot = thumbs_slot($dir);
        if ($slot === null) {
            return 'busy';
        }
        // Another request may have made it while this one waited.
        $bytes = thumbs_cached($file) ?? thumbs_make($file, $fh, $stat['size'], $jpeg);
        flock($slot, LOCK_UN);
        fclose($slot);
        // Another request is making this very one: its outcome, once kept.
        $bytes ??= thumbs_wait($file);
    }
    if ($bytes === null) {
        return 'busy';
    }
    return $bytes === '' ? null : [$bytes, $jpeg ? 'image/jpeg' : 'image/webp'];
}

/**
 * Makes and keeps the thumbnail of the $size bytes open in $fh ('' for none).
 * The attempt leaves a mark beside it while it runs: one that outlived its
 * interpreter (ended by the time budget or the memory bound, or crashed) means
 * the picture gets none, until the file changes. null when another request's
 * attempt at the same one is under way.
 */
function thumbs_make(string $file, $fh, int $size, bool $jpeg): ?string
{
    $mark = thumbs_mark($file . '.try');
    if ($mark === 'gone') {
        return thumbs_give_up($file);
    }
    if ($mark === 'busy') {
        return null;
    }
    // An attempt that finished just before this one began.
    $thumb = thumbs_cached($file);
    if ($thumb === null) {
        rewind($fh);
        $bytes = (string) stream_get_contents($fh, $size + 1);
        if (!site_is_windows()) {
            set_time_limit(THUMB_SECONDS);
        }
        $thumb = strlen($bytes) === $size ? picture_shrink($bytes, THUMB_SIZE, $jpeg) : '';
        set_time_limit(0);
        unset($bytes);
        thumbs_store($file, $thumb);
    }
    // Emptied first: where an open file's name cannot be taken away (Windows),
    // an empty mark that nobody holds says that no attempt is under way.
    ftruncate($mark, 0);
    fclose($mark);
    @unlink($file . '.try');
    return $thumb;
}

/** Keeps "no thumbnail" for a picture whose attempt ended without finishing. */
function thumbs_give_up(string $file): string
{
    thumbs_store($file, '');
    @unlink($file . '.try');
    return '';
}

/**
 * The mark of an attempt at a thumbnail, named $name: this request's own,
 * made and locked (a handle); otherwise what the mark there says.
 */
function thumbs_mark(string $name)
{
    for ($try = 0; $try < 2; $try++) {
        // Made new, never through a link, and locked before it says anything.
        $own = @fopen($name, 'x');
        if ($own !== false) {
            flock($own, LOCK_EX);
            fwrite($own, '1');
            fflush($own);
            return $own;
        }
        $state = thumbs_mark_state($name);
        if ($state !== 'none') {
            return $state;
        }
        @unlink($name);  // an empty mark that stayed behind
    }
    return 'busy';
}

/**
 * What the mark $name says: 'none' (no attempt), 'busy' (one under way), or
 * 'gone' (one ended without finishing: its interpreter let go of the lock).
 */
function thumbs_mark_state(string $name): string
{
    clearstatcache(true, $name);
    $other = @fopen($name, 'r');
    if ($other === false) {
        return file_exists($name) ? 'busy' : 'none';
    }
    $free = flock($other, LOCK_SH | LOCK_NB);
    $stat = fstat($other);
    fclose($other);
    if (!$free || $stat === false) {
        return 'busy';
    }
    // Empty and held by nobody: made an instant ago and not yet locked, or
    // finished with; one that stays so counts as none.
    if ($stat['size'] === 0) {
        return $stat['mtime'] >= time() - 2 ? 'busy' : 'none';
    }
    return 'gone';
}

/** The thumbnail that another request is making, once it is kept; null when it was not in time. */
function thumbs_wait(string $file): ?string
{
    $deadline = microtime(true) + THUMB_WAIT_SECONDS;
    for (;;) {
        usleep(50000);
        $bytes = thumbs_cached($file);
        $state = $bytes === null ? thumbs_mark_state($file . '.try') : 'none';
        if ($state === 'gone') {
            return thumbs_give_up($file);
        }
        if ($state === 'none' || microtime(true) >= $deadline) {
            return $bytes;
        }
    }
}

/** The cached bytes: null when there are none, '' for "no thumbnail". */
function thumbs_cached(string $file): ?string
{
    // Only a file of the cache itself: a link put in its place is not followed.
    $fh = site_open_plain($file, 'rb');
    if ($fh === null) {
        return null;
    }
    $held = fstat($fh);
    $bytes = stream_get_contents($fh);
    fclose($fh);
    if ($held === false || !is_string($bytes)) {
        return null;
    }
    // The cache is trimmed oldest first: a thumbnail still looked at stays young.
    if ($bytes !== '' && $held['mtime'] < time() - 86400) {
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
    // Now and then, not for every thumbnail: a look at the whole cache costs.
    if (site_write_whole($file, $bytes) && random_int(1, 32) === 1) {
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
        // What an interpreter that was ended while writing left behind, and
        // marks of attempts that no request has looked at since.
        $stale = str_ends_with($name, '.tmp') || str_ends_with($name, '.try');
        if ($stale && ($st = stat($path)) !== false && $st['mtime'] < time() - 3600) {
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
