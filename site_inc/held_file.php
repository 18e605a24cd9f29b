<?php
// held_file.php - opening a shared file so that what is read is what was
// resolved: a name swapped for a link between the check and the open would
// otherwise be read through, to anything the program may read.
/**
 * $real (a regular file that shares_resolve found inside $root) opened for
 * reading, when the file opened is a regular file inside $root; else null.
 */
function held_open(string $root, string $real)
{
    $fh = fopen($real, 'rb');
    if ($fh === false) {
        return null;
    }
    $held = fstat($fh);
    if ($held !== false && ($held['mode'] & 0170000) === 0100000 && held_is_inside($held, $root, $real)) {
        return $fh;
    }
    fclose($fh);
    return null;
}

// Where the system names the file behind each descriptor (/proc/self/fd), that
// name is where the opened file really lies, whatever the path went through.
function held_is_inside(array $held, string $root, string $real): bool
{
    $names = is_dir('/proc/self/fd') ? held_descriptor_names($held) : null;
    if ($names !== null) {
        foreach ($names as $name) {
            if (!shares_inside($root, $name)) {
                return false;
            }
        }
        return $names !== [];
    }
    // Elsewhere the path must still lead, without a link on the way, to the
    // very file opened; without inode numbers, only the first half holds.
    clearstatcache(true);
    $now = realpath($real) === $real ? stat($real) : false;
    return $now !== false && $now['dev'] === $held['dev'] && $now['ino'] === $held['ino'];
}

/** The names of this process's descriptors that hold the file of $held; null when they cannot be read. */
function held_descriptor_names(array $held): ?array
{
    $fds = scandir('/proc/self/fd');
    if ($fds === false) {
        return null;
    }
    clearstatcache(true);
    $names = [];
    foreach ($fds as $fd) {
        $link = '/proc/self/fd/' . $fd;
        $st = preg_match('/^[0-9]+\z/', $fd) ? stat($link) : false;
        if ($st === false || $st['dev'] !== $held['dev'] || $st['ino'] !== $held['ino']) {
            continue;
        }
        $name = readlink($link);
        // A name that cannot be read counts as outside.
        $names[] = is_string($name) ? preg_replace('/ \(deleted\)$/', '', $name) : '';
    }
    return $names;
}
