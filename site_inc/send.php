<?php
// send.php - streaming a file's bytes to the visitor in pieces, never whole.
const SEND_CHUNK = 262144;

/**
 * Writes the next $length bytes of $fh; when the file has become shorter,
 * zeros make up the rest when $pad is set. Returns the bytes taken from the file.
 */
function send_bytes($fh, int $length, bool $pad = false): int
{
    $sent = 0;
    while ($sent < $length) {
        $chunk = fread($fh, min(SEND_CHUNK, $length - $sent));
        if (!is_string($chunk) || $chunk === '') {
            break;
        }
        echo $chunk;
        $sent += strlen($chunk);
    }
    for ($left = $length - $sent; $pad && $left > 0; $left -= SEND_CHUNK) {
        echo str_repeat("\0", min(SEND_CHUNK, $left));
    }
    return $sent;
}

/** A Content-Disposition value whose file name survives any characters. */
function send_disposition(string $type, string $name): string
{
    $ascii = preg_replace('/[\xc0-\xff][\x80-\xbf]*|[^\x20-\x7e]|["\\\\%;]/', '_', $name);
    return $type . '; filename="' . $ascii . '"; filename*=UTF-8\'\'' . rawurlencode($name);
}

/**
 * The one byte range of a "Range: bytes=a-b" header as [offset, length]:
 * null for the whole file, false when it cannot be satisfied.
 */
function send_range(string $header, int $size): array|null|false
{
    if (!preg_match('/^bytes=([0-9]*)-([0-9]*)$/', trim($header), $m) || ($m[1] === '' && $m[2] === '')) {
        return null;  // several ranges or nonsense: the whole file is a valid reply
    }
    if ($m[1] === '') {
        $length = min((int) $m[2], $size);
        return $length > 0 ? [$size - $length, $length] : false;
    }
    $first = (int) $m[1];
    $last = $m[2] === '' ? $size - 1 : min((int) $m[2], $size - 1);
    if ($first >= $size || $last < $first) {
        return false;
    }
    return [$first, $last - $first + 1];
}
