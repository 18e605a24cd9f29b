<?php
// upload_parts.php - uploads that arrive in pieces. An unfinished file waits
// in the upload directory's hidden place (hidden.php), in a folder of its
// visitor's own, named after the device cookie, so that nobody else can see,
// continue or replace it. A piece is appended where the file ends; once the
// last byte is in, the file takes its name by the upload rules
// (upload_dir.php) in one step. A file is known by its name, size and time of
// change as the browser gives them, so the same file chosen again after a
// reload continues where it stopped.
require_once __DIR__ . '/upload_dir.php';
require_once __DIR__ . '/hidden.php';

// Bounds on what a visitor, and everyone together, may leave unfinished.
const PARTS_PER_VISITOR = 16;
const PARTS_IN_ALL = 256;
// An unfinished upload untouched this long is given up.
const PARTS_IDLE_SECONDS = 86400;
// Past a bound, the least recently touched upload makes room once it has rested this long.
const PARTS_RESTING_SECONDS = 600;
// A finished upload is remembered this long, so that a last piece whose answer
// was lost gets it again instead of starting a second copy.
const PARTS_DONE_SECONDS = 3600;
// The most read from the body before it is written: small enough to be still
// in the processor's cache when it is (a GiB in chunks of 64 KiB was written
// two to four times as fast as in chunks of 1 MiB).
const PARTS_CHUNK = 65536;
const PARTS_NAME_MAX = 1024;

/**
 * The request's fields: ['name', 'size', 'modified', 'offset' (null: the
 * client asks what is held), 'length' (of the body)]; or [status, message]
 * when they make no sense.
 */
function parts_request(array $query, string $length): array
{
    $field = static fn(string $key): string => is_string($query[$key] ?? null) ? $query[$key] : '';
    $name = upload_utf8($field('name'));
    $number = '/^[0-9]{1,18}\z/';
    if ($name === '' || strlen($name) > PARTS_NAME_MAX || strpos($name, "\0") !== false) {
        return [400, 'The file’s name is missing or cannot be used.'];
    }
    if (!preg_match($number, $field('size')) || !preg_match($number, $field('modified'))
        || !preg_match('/^([0-9]{1,18})?\z/', $field('offset')) || !preg_match($number, $length)) {
        return [400, 'This piece does not say its file’s size and time and where it goes.'];
    }
    $request = ['name' => $name, 'size' => (int) $field('size'), 'modified' => (int) $field('modified'),
        'offset' => $field('offset') === '' ? null : (int) $field('offset'), 'length' => (int) $length];
    if ($request['offset'] === null && $request['length'] > 0) {
        return [400, 'This piece does not say where it goes.'];
    }
    if ($request['offset'] !== null && $request['offset'] + $request['length'] > $request['size']) {
        return [413, 'This piece goes past the end of the file, which was said to hold '
            . number_format($request['size']) . ' bytes.'];
    }
    return $request;
}

/**
 * Takes the request's piece for the visitor $id into the upload directory
 * $dir, reading it from $body (a stream, or false). Returns [status, answer]:
 * the answer says the bytes now held ('offset'), and once the file is whole
 * the name it was stored under.
 */
function parts_receive(string $dir, string $id, array $request, $body): array
{
    $place = parts_place($dir, $id);
    if ($place === null) {
        return [500, ['ok' => false, 'error' => 'Uploads are not possible: the upload directory cannot be written.']];
    }
    $file = parts_file($place, $request);
    $lock = $place['lock'];
    [$status, $answer] = parts_locked($lock, static fn(): array => parts_start($place, $file, $request, $dir));
    if ($status !== 0) {
        return [$status, $answer];
    }
    [$held, $why] = parts_append($lock, $body, $file['part'], $request['offset'], $request['length'],
        $request['size']);
    if ($why === 'gone') {
        return parts_known_end($lock, $file, $dir);
    }
    if ($why === 'full') {
        return parts_full($dir, $held);
    }
    if ($held < $request['size']) {
        return [200, parts_held_answer($held, $request['size'])];
    }
    return parts_locked($lock, static fn(): array => parts_finish($file, $dir));
}

/** The answer to a finished file, or to one whose place was taken from under a request. */
function parts_known_end($lock, array $file, string $dir): array
{
    return parts_locked($lock, static function () use ($file, $dir): array {
        $meta = parts_meta($file['meta']);
        if (parts_stored_still($meta, $dir)) {
            return [200, parts_done_answer($meta, $dir)];
        }
        return [409, ['ok' => false, 'error' => 'This upload was given up on the server: it starts again.',
            'offset' => parts_size($file['part']) ?? 0]];
    });
}

function parts_locked($lock, callable $work): array
{
    flock($lock, LOCK_EX);
    try {
        return $work();
    } finally {
        flock($lock, LOCK_UN);
    }
}

/**
 * The hidden place of $dir, made when missing, with its lock open and the
 * visitor's folder named: ['root', 'lock', 'folder']; null when the place is
 * not a plain folder (a link is never followed) or cannot be made.
 */
function parts_place(string $dir, string $id): ?array
{
    $root = $dir . DIRECTORY_SEPARATOR . HIDDEN_PARTS_NAME;
    if (!file_exists($root) && !is_link($root)) {
        mkdir($root, 0700);
    }
    if (!parts_plain_folder($root)) {
        return null;
    }
    $lock = parts_lock($root);
    if ($lock === null) {
        return null;
    }
    // The cookie's hash: the folder's name gives nobody the cookie.
    $folder = $root . DIRECTORY_SEPARATOR . substr(hash('sha256', 'upload parts ' . $id), 0, 32);
    return ['root' => $root, 'lock' => $lock, 'folder' => $folder];
}

/** The lock of the hidden place $root, open; null when it is not a plain file or cannot be opened. */
function parts_lock(string $root)
{
    return site_open_plain($root . DIRECTORY_SEPARATOR . '.lock', 'c');
}

function parts_plain_folder(string $path): bool
{
    clearstatcache(true, $path);
    $st = lstat($path);
    return $st !== false && ($st['mode'] & 0170000) === 0040000;
}

/** The paths of one file's bytes ('part') and what is known of it ('meta'). */
function parts_file(array $place, array $request): array
{
    $key = substr(hash('sha256', $request['name'] . "\n" . $request['size'] . "\n" . $request['modified']), 0, 32);
    $base = $place['folder'] . DIRECTORY_SEPARATOR . $key;
    return ['part' => $base . '.part', 'meta' => $base . '.json'];
}

/**
 * Under the lock: finds or starts the file and checks the piece against what
 * is held. [0, []] when the body is to be appended; else the whole answer.
 */
function parts_start(array $place, array $file, array $request, string $dir): array
{
    $meta = parts_meta($file['meta']);
    if ($meta !== null && isset($meta['done'])) {
        if (parts_stored_still($meta, $dir)) {
            return [200, parts_done_answer($meta, $dir)];
        }
        parts_remove($file['part'], $file['meta']);  // the stored copy was moved or deleted: this is a new upload
        $meta = null;
    }
    $held = $meta === null ? null : parts_size($file['part']);
    if ($held === null) {
        if ($request['offset'] !== null && $request['offset'] > 0) {
            return parts_conflict(0);
        }
        $refused = parts_begin($place, $file, $request, $dir);
        if ($refused !== null) {
            return $refused;
        }
        $held = 0;
    }
    if ($held >= $request['size']) {
        return parts_finish($file, $dir);
    }
    if ($request['offset'] === null) {
        return [200, parts_held_answer($held, $request['size'])];
    }
    if ($request['offset'] !== $held) {
        return parts_conflict($held);
    }
    // The room for the rest is checked before a byte of it is written.
    if (upload_disk_full($dir, $request['size'] - $held)) {
        return parts_full($dir, $held);
    }
    return [0, []];
}

function parts_conflict(int $held): array
{
    return [409, ['ok' => false, 'error' => 'This piece does not continue the file: the server holds '
        . number_format($held) . ' bytes of it.', 'offset' => $held]];
}

function parts_full(string $dir, int $held): array
{
    $free = upload_free_space($dir);
    return [507, ['ok' => false, 'error' => 'The file does not fit: the server’s disk has '
        . ($free === null ? 'too little room' : format_size($free)) . ' left.', 'offset' => $held, 'free' => $free]];
}

function parts_held_answer(int $held, int $size): array
{
    return ['ok' => true, 'offset' => $held, 'size' => $size, 'done' => false];
}

function parts_done_answer(array $meta, string $dir): array
{
    return ['ok' => true, 'offset' => $meta['size'], 'size' => $meta['size'], 'done' => true,
        'stored' => $meta['stored'], 'renamed' => upload_renamed($meta['name'], $meta['stored']),
        'free' => upload_free_space($dir)];
}

/**
 * Starts an empty file for the request, within the bounds and the disk's
 * room; null when it was started, else the answer that refuses it.
 */
function parts_begin(array $place, array $file, array $request, string $dir): ?array
{
    if (upload_disk_full($dir, $request['size'])) {
        return parts_full($dir, 0);
    }
    $now = time();
    $all = array_column(parts_tidy($place['root'], $now), 'touched', 'part');
    $mine = array_filter($all, static fn(string $part): bool => dirname($part) === $place['folder'],
        ARRAY_FILTER_USE_KEY);
    foreach ([PARTS_PER_VISITOR => 'This device has', PARTS_IN_ALL => 'Visitors have'] as $most => $who) {
        $parts = $most === PARTS_PER_VISITOR ? $mine : $all;
        $gone = count($parts) >= $most ? parts_make_room($parts, $now) : '';
        if ($gone === null) {
            return [429, ['ok' => false, 'error' => $who . ' ' . $most . ' unfinished uploads on the server, each '
                . 'sent to in the last ' . (PARTS_RESTING_SECONDS / 60) . ' minutes. Please let one finish first.']];
        }
        unset($all[$gone]);
    }
    if (!is_dir($place['folder']) && !mkdir($place['folder'], 0700)) {
        return [500, ['ok' => false, 'error' => 'The upload could not be started on the server.']];
    }
    $out = parts_plain_folder($place['folder']) ? fopen($file['part'], 'xb') : false;
    if ($out === false) {
        return [500, ['ok' => false, 'error' => 'The upload could not be started on the server.']];
    }
    fclose($out);
    $meta = ['name' => $request['name'], 'size' => $request['size'], 'modified' => $request['modified'],
        'started' => $now, 'addr' => (string) ($_SERVER['REMOTE_ADDR'] ?? ''),
        'device' => access_device_name((string) ($_SERVER['HTTP_USER_AGENT'] ?? ''))];
    if (!parts_write_meta($file['meta'], $meta)) {
        parts_remove($file['part'], $file['meta']);
        return [500, ['ok' => false, 'error' => 'The upload could not be started on the server.']];
    }
    return null;
}

/** Removes the least recently touched of $parts ([part => time touched]) when it has rested; its path, or null. */
function parts_make_room(array $parts, int $now): ?string
{
    asort($parts);
    $oldest = array_key_first($parts);
    if ($oldest === null || $parts[$oldest] > $now - PARTS_RESTING_SECONDS) {
        return null;
    }
    parts_remove($oldest, substr($oldest, 0, -5) . '.json');
    return $oldest;
}

/**
 * Appends what the body $in holds for [$offset, $offset + $length) to the file at
 * $part, chunk by chunk as it arrives, each chunk under the lock and only
 * where the file ends: another request for the same file (a retry while this
 * one's client is gone, say) may have appended meanwhile, and what it wrote
 * is passed over here. Returns [bytes the file holds, why it stopped short:
 * '' (it did not, or the body ended), 'gone' (the file was finished or given
 * up meanwhile) or 'full' (the disk)].
 */
function parts_append($lock, $in, string $part, int $offset, int $length, int $size): array
{
    $out = fopen($part, 'r+b');
    if ($in === false || $out === false) {
        return [$offset, 'gone'];
    }
    stream_set_read_buffer($in, 0);  // each read takes what has arrived
    $pos = $offset;  // where the next byte read belongs
    $held = $offset;
    $end = min($offset + $length, $size);
    $why = '';
    while ($pos < $end && $why === '') {
        $chunk = parts_read_chunk($in, min(PARTS_CHUNK, $end - $pos));
        if ($chunk === '') {
            break;  // the client left: what arrived is kept
        }
        flock($lock, LOCK_EX);
        [$held, $why] = parts_write_chunk($out, $part, $pos, $chunk);
        flock($lock, LOCK_UN);
        $pos += strlen($chunk);
    }
    fclose($out);
    return [$held, $why];
}

/** Up to $most bytes of $in: fewer only where its end came first. */
function parts_read_chunk($in, int $most): string
{
    $chunk = '';
    while (strlen($chunk) < $most) {
        $read = fread($in, $most - strlen($chunk));
        if ($read === false || $read === '') {
            break;
        }
        $chunk .= $read;
    }
    return $chunk;
}

/** Under the lock: writes the part of $chunk (which belongs at $pos) that the file lacks. [held, why]. */
function parts_write_chunk($out, string $part, int $pos, string $chunk): array
{
    $held = site_named_plain($out, $part)['size'] ?? null;
    if ($held === null || $held < $pos) {
        return [$held ?? $pos, 'gone'];
    }
    $skip = $held - $pos;
    if ($skip >= strlen($chunk)) {
        return [$held, ''];
    }
    $rest = $skip === 0 ? $chunk : substr($chunk, $skip);
    fseek($out, $held);
    $written = fwrite($out, $rest);
    $held += $written === false ? 0 : $written;
    return [$held, $written === strlen($rest) ? '' : 'full'];
}

/**
 * Under the lock: gives the whole file its name in the upload directory and
 * remembers it as finished. [status, answer].
 */
function parts_finish(array $file, string $dir): array
{
    $meta = parts_meta($file['meta']);
    if ($meta !== null && isset($meta['done'])) {
        return [200, parts_done_answer($meta, $dir)];
    }
    $held = parts_size($file['part']);
    if ($meta === null || $held !== $meta['size']) {
        return [409, ['ok' => false, 'error' => 'This upload was given up on the server: it starts again.',
            'offset' => $held ?? 0]];
    }
    chmod($file['part'], 0666 & ~umask());  // as any new file of the user's, not private to the interpreter
    $stored = upload_give_name($file['part'], $meta['name'], $dir);
    if ($stored === null) {
        return [500, ['ok' => false, 'error' => '“' . $meta['name'] . '” arrived whole but could not be given '
            . 'its name on the server. It is tried again.', 'offset' => $held]];
    }
    $meta['stored'] = $stored;
    $meta['done'] = time();
    parts_write_meta($file['meta'], $meta);
    access_note_transfers([['up', $stored, $meta['size']]]);
    return [200, parts_done_answer($meta, $dir)];
}

/** Whether a finished upload's file is still where it was stored, whole. */
function parts_stored_still(?array $meta, string $dir): bool
{
    if ($meta === null || !isset($meta['done'], $meta['stored'])) {
        return false;
    }
    $path = $dir . DIRECTORY_SEPARATOR . $meta['stored'];
    clearstatcache(true, $path);
    return is_file($path) && filesize($path) === $meta['size'];
}

/** What is known of one file; null when nothing (or nothing that makes sense) is. */
function parts_meta(string $path): ?array
{
    $text = is_file($path) ? file_get_contents($path) : false;
    $meta = is_string($text) ? json_decode($text, true) : null;
    if (!is_array($meta) || !is_string($meta['name'] ?? null) || !is_int($meta['size'] ?? null)
        || (isset($meta['done']) && (!is_int($meta['done']) || !is_string($meta['stored'] ?? null)))) {
        return null;
    }
    return $meta;
}

function parts_write_meta(string $path, array $meta): bool
{
    return site_write_whole($path,
        json_encode($meta, JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE));
}

/** lstat of $part when it is a plain file itself; else null. */
function parts_stat(string $part): ?array
{
    clearstatcache(true, $part);
    $st = lstat($part);
    return $st !== false && ($st['mode'] & 0170000) === 0100000 ? $st : null;
}

function parts_size(string $part): ?int
{
    return parts_stat($part)['size'] ?? null;
}

function parts_remove(string ...$paths): void
{
    foreach ($paths as $path) {
        if (file_exists($path) || is_link($path)) {
            unlink($path);
        }
    }
}

/**
 * Under the lock: drops unfinished uploads untouched for a day, finished ones
 * past their memory, leftovers, and visitors' folders left empty. Returns the
 * unfinished uploads that stay: ['part', 'meta' (described), 'held', 'touched'].
 */
function parts_tidy(string $root, int $now): array
{
    $live = [];
    foreach (scandir($root) ?: [] as $name) {
        $folder = $root . DIRECTORY_SEPARATOR . $name;
        if (preg_match('/^[0-9a-f]{32}\z/', $name) && parts_plain_folder($folder)) {
            array_push($live, ...parts_tidy_folder($folder, $now));
            rmdir($folder);  // only when nothing is left in it
        }
    }
    return $live;
}

/** parts_tidy of one visitor's folder, each file looked at once. */
function parts_tidy_folder(string $folder, int $now): array
{
    $keys = [];
    foreach (scandir($folder) ?: [] as $name) {
        $path = $folder . DIRECTORY_SEPARATOR . $name;
        if (preg_match('/^([0-9a-f]{32})\.(?:part|json)\z/', $name, $m)) {
            $keys[$m[1]] = true;
        } elseif (str_ends_with($name, '.tmp') && (int) filemtime($path) < $now - 60) {
            unlink($path);  // a description left half-written by a request that died
        }
    }
    $live = [];
    foreach (array_keys($keys) as $key) {
        $base = $folder . DIRECTORY_SEPARATOR . $key;
        $meta = parts_meta($base . '.json');
        $part = parts_stat($base . '.part');
        if (isset($meta['done']) && $meta['done'] >= $now - PARTS_DONE_SECONDS) {
            // A finished upload's bytes have their name; a system that kept the
            // part file open while it was named left the old name behind.
            parts_remove($base . '.part');
        } elseif ($meta !== null && !isset($meta['done']) && $part !== null
            && $part['mtime'] >= $now - PARTS_IDLE_SECONDS) {
            $live[] = ['part' => $base . '.part', 'meta' => $meta, 'held' => $part['size'],
                'touched' => $part['mtime']];
        } else {
            // Its time is up, or its bytes or its description are gone or bad.
            parts_remove($base . '.part', $base . '.json');
        }
    }
    return $live;
}

/** The unfinished uploads in $dir, the most recently touched first, after a tidy; for the host's eyes. */
function parts_in_progress(string $dir): array
{
    $root = $dir . DIRECTORY_SEPARATOR . HIDDEN_PARTS_NAME;
    $lock = parts_plain_folder($root) ? parts_lock($root) : null;
    if ($lock === null) {
        return [];
    }
    $files = parts_locked($lock, static fn(): array => parts_tidy($root, time()));
    fclose($lock);
    usort($files, static fn(array $a, array $b): int => $b['touched'] <=> $a['touched']);
    return $files;
}
