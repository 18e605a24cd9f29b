<?php
// zip_stream.php - a directory as one zip archive, written to the visitor as
// it is built. Entries are stored, not compressed, so every size is known
// before the first byte and the whole length can be announced; each file's
// checksum is read just before its data. Zip64 records take over where a
// size or an offset passes 4 GiB.
const ZIP_MAX_ENTRIES = 100000;
const ZIP_U32_MAX = 0xFFFFFFFF;

/**
 * Every folder and file below $dir (which lies in $root), depth first in name
 * order. An entry is a packed string: "D" or "F", size, mtime, device and
 * inode, then the path relative to $dir with "/" separators. Links to folders
 * are not followed, so a loop cannot hold the walk. Null when there are more
 * than $limit entries.
 */
function zip_collect(string $root, string $dir, int $limit = ZIP_MAX_ENTRIES): ?array
{
    $entries = [];
    $stack = [''];
    while ($stack) {
        $rel = array_pop($stack);
        $native = $rel === '' ? $dir : $dir . site_sep() . str_replace('/', site_sep(), $rel);
        $children = shares_list($root, $native);
        shares_sort($children);
        $subdirs = [];
        foreach ($children as $child) {
            $childRel = $rel === '' ? $child['name'] : $rel . '/' . $child['name'];
            if ($child['is_dir'] && is_link($native . site_sep() . $child['name'])) {
                continue;
            }
            if (count($entries) >= $limit) {
                return null;
            }
            $entries[] = ($child['is_dir'] ? 'D' : 'F')
                . pack('JJJJ', $child['size'], $child['mtime'], $child['dev'], $child['ino']) . $childRel;
            if ($child['is_dir']) {
                $subdirs[] = $childRel;
            }
        }
        // Reversed so that the stack hands them out in name order.
        foreach (array_reverse($subdirs) as $sub) {
            $stack[] = $sub;
        }
    }
    return $entries;
}

/** [isDir, size, mtime, relative path, device, inode] of a packed entry. */
function zip_unpack(string $entry): array
{
    $n = unpack('Jsize/Jmtime/Jdev/Jino', substr($entry, 1, 32));
    return [$entry[0] === 'D', $n['size'], $n['mtime'], substr($entry, 33), $n['dev'], $n['ino']];
}

function zip_dos_time(int $mtime): array
{
    $t = getdate(max($mtime, 315532800));  // DOS dates start in 1980
    $date = (($t['year'] - 1980) << 9) | ($t['mon'] << 5) | $t['mday'];
    $time = ($t['hours'] << 11) | ($t['minutes'] << 5) | intdiv($t['seconds'], 2);
    return [$time, $date];
}

// Non-ASCII names are marked as UTF-8 when they are, so any unzip reads them right.
function zip_name_flags(string $name): int
{
    return (preg_match('/[\x80-\xff]/', $name) && preg_match('//u', $name)) ? 0x0800 : 0;
}

// The extended timestamp: the exact modification time in UTC.
function zip_time_extra(int $mtime): string
{
    return pack('vvCV', 0x5455, 5, 1, max(0, min($mtime, 0x7FFFFFFF)));
}

function zip_local_header(string $name, int $size, int $mtime, int $crc): string
{
    [$time, $date] = zip_dos_time($mtime);
    $big = $size >= ZIP_U32_MAX;
    $extra = zip_time_extra($mtime);
    if ($big) {
        $extra .= pack('vvPP', 0x0001, 16, $size, $size);
    }
    $size32 = $big ? ZIP_U32_MAX : $size;
    return pack('VvvvvvVVVvv', 0x04034b50, $big ? 45 : 10, zip_name_flags($name), 0, $time, $date,
        $crc, $size32, $size32, strlen($name), strlen($extra)) . $name . $extra;
}

function zip_central_header(string $name, int $size, int $mtime, int $crc, int $offset, bool $isDir): string
{
    [$time, $date] = zip_dos_time($mtime);
    $zip64 = '';
    if ($size >= ZIP_U32_MAX) {
        $zip64 .= pack('PP', $size, $size);
    }
    if ($offset >= ZIP_U32_MAX) {
        $zip64 .= pack('P', $offset);
    }
    $extra = zip_time_extra($mtime) . ($zip64 === '' ? '' : pack('vv', 0x0001, strlen($zip64)) . $zip64);
    $version = $zip64 === '' ? 20 : 45;
    $size32 = min($size, ZIP_U32_MAX);
    return pack('VvvvvvvVVVvvvvvVV', 0x02014b50, $version, $version, zip_name_flags($name), 0, $time, $date,
        $crc, $size32, $size32, strlen($name), strlen($extra), 0, 0, 0, $isDir ? 0x10 : 0x20,
        min($offset, ZIP_U32_MAX)) . $name . $extra;
}

function zip_end_records(int $count, int $cdOffset, int $cdSize): string
{
    $records = '';
    if ($count >= 0xFFFF || $cdOffset >= ZIP_U32_MAX || $cdSize >= ZIP_U32_MAX) {
        $zip64End = $cdOffset + $cdSize;
        $records .= pack('VPvvVVPPPP', 0x06064b50, 44, 45, 45, 0, 0, $count, $count, $cdSize, $cdOffset);
        $records .= pack('VVPV', 0x07064b50, 0, $zip64End, 1);
    }
    return $records . pack('VvvvvVVv', 0x06054b50, 0, 0, min($count, 0xFFFF), min($count, 0xFFFF),
        min($cdSize, ZIP_U32_MAX), min($cdOffset, ZIP_U32_MAX), 0);
}

/** The archive's exact length, from the same header functions that write it. */
function zip_length(array $entries, string $prefix): int
{
    $offset = 0;
    $cdSize = 0;
    foreach ($entries as $entry) {
        [$isDir, $size, $mtime, $rel] = zip_unpack($entry);
        $name = $prefix . $rel . ($isDir ? '/' : '');
        $cdSize += strlen(zip_central_header($name, $size, $mtime, 0, $offset, $isDir));
        $offset += strlen(zip_local_header($name, $size, $mtime, 0)) + $size;
    }
    return $offset + $cdSize + strlen(zip_end_records(count($entries), $offset, $cdSize));
}

/**
 * The file at $path opened for reading, when it is still the one that was
 * listed: a name swapped for a link to something else meanwhile must not be
 * read through. Where the system has no inode numbers, the opened path must
 * still lie inside $root.
 */
function zip_open_listed(string $root, string $path, int $dev, int $ino)
{
    $fh = fopen($path, 'rb');
    $st = $fh === false ? false : fstat($fh);
    $same = $st !== false && $st['dev'] === $dev && $st['ino'] === $ino
        && ($ino !== 0 || (($real = realpath($path)) !== false && shares_inside($root, $real)));
    if (!$same && $fh !== false) {
        fclose($fh);
    }
    return $same ? $fh : null;
}

/** CRC-32 of the next $size bytes of $fh (or none), zeros standing in for what is missing. */
function zip_crc($fh, int $size): int
{
    $ctx = hash_init('crc32b');
    $done = 0;
    while ($fh !== null && $done < $size) {
        $chunk = fread($fh, min(SEND_CHUNK, $size - $done));
        if (!is_string($chunk) || $chunk === '') {
            break;
        }
        hash_update($ctx, $chunk);
        $done += strlen($chunk);
    }
    for (; $done < $size; $done += SEND_CHUNK) {
        hash_update($ctx, str_repeat("\0", min(SEND_CHUNK, $size - $done)));
    }
    return unpack('N', hash_final($ctx, true))[1];
}

/**
 * Writes the archive of $entries (from zip_collect over $dir in $root), each
 * name under $prefix. A file that is gone or no longer the one listed is
 * written as zeros, so the announced length holds. The central directory
 * waits in a temporary stream that stays in memory up to a few megabytes.
 */
function zip_send(array $entries, string $root, string $dir, string $prefix): void
{
    $central = fopen('php://temp/maxmemory:4194304', 'w+b');
    $offset = 0;
    foreach ($entries as $entry) {
        [$isDir, $size, $mtime, $rel, $dev, $ino] = zip_unpack($entry);
        $name = $prefix . $rel . ($isDir ? '/' : '');
        $path = $dir . site_sep() . str_replace('/', site_sep(), $rel);
        // One opened file serves the checksum and the data.
        $fh = $isDir ? null : zip_open_listed($root, $path, $dev, $ino);
        $crc = $isDir ? 0 : zip_crc($fh, $size);
        $header = zip_local_header($name, $size, $mtime, $crc);
        echo $header;
        if (!$isDir) {
            $source = $fh ?? fopen('php://memory', 'rb');
            rewind($source);
            send_bytes($source, $size, true);
            fclose($source);
        }
        fwrite($central, zip_central_header($name, $size, $mtime, $crc, $offset, $isDir));
        $offset += strlen($header) + $size;
    }
    $cdSize = ftell($central);
    rewind($central);
    send_bytes($central, $cdSize);
    fclose($central);
    echo zip_end_records(count($entries), $offset, $cdSize);
}
