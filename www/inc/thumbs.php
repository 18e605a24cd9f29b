<?php
// thumbs.php - small pictures of the pictures in a shared folder: made by GD
// on first request, kept in the interpreter's temporary folder (outside the
// site) under a name made of the file's path, size and time, in a cache of
// bounded size. Pictures too big to decode safely, or that GD cannot read
// whole, get none. At most two are made at once on the whole machine.
if (!defined('OSTREL_SITE')) {
    header_remove('X-Powered-By');  // so that the status is the first line out
    header('Status: 404 Not Found');
    exit;
}

const THUMB_SIZE = 256;
const THUMB_MAX_PIXELS = 50000000;
const THUMB_MAX_BYTES = 50000000;
const THUMB_CACHE_BYTES = 268435456;
// Files of the cache count at least one disk block, so that the bound also
// holds the count of "no thumbnail" markers, which are empty.
const THUMB_MIN_BLOCK = 4096;
const THUMB_SLOTS = 2;
const THUMB_WAIT_SECONDS = 20;
const THUMB_TYPES = [
    'jpg' => IMAGETYPE_JPEG,
    'jpeg' => IMAGETYPE_JPEG,
    'png' => IMAGETYPE_PNG,
    'gif' => IMAGETYPE_GIF,
    'webp' => IMAGETYPE_WEBP,
];

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
    $type = $dot === false ? null : (THUMB_TYPES[strtolower(substr($name, $dot + 1))] ?? null);
    return $type !== null && $size > 0 && $size <= THUMB_MAX_BYTES && thumbs_decodes($type) && thumbs_dir() !== null;
}

function thumbs_decodes(int $type): bool
{
    $bits = [IMAGETYPE_JPEG => IMG_JPG, IMAGETYPE_PNG => IMG_PNG, IMAGETYPE_GIF => IMG_GIF, IMAGETYPE_WEBP => IMG_WEBP];
    return function_exists('imagetypes') && isset($bits[$type]) && (imagetypes() & $bits[$type]) !== 0;
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
    $jpeg = thumbs_source_type($path) === IMAGETYPE_JPEG || !function_exists('imagewebp');
    $key = sha1($path . "\0" . $stat['size'] . "\0" . $stat['mtime'] . "\0" . THUMB_SIZE);
    $file = $dir . DIRECTORY_SEPARATOR . $key . ($jpeg ? '.jpg' : '.webp');
    $bytes = thumbs_cached($file);
    if ($bytes === null) {
        $slot = thumbs_slot($dir);
        if ($slot === null) {
            return 'busy';
        }
        // Another request may have made it while this one waited.
        $bytes = thumbs_cached($file);
        if ($bytes === null) {
            $bytes = thumbs_make($path, $stat['size'], $jpeg);
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

/** The image type that the file's first bytes show, whatever its name says. */
function thumbs_source_type(string $path): ?int
{
    $fh = fopen($path, 'rb');
    $head = $fh === false ? false : fread($fh, 12);
    if ($fh !== false) {
        fclose($fh);
    }
    if (!is_string($head)) {
        return null;
    }
    $signatures = ["\xff\xd8\xff" => IMAGETYPE_JPEG, "\x89PNG\r\n\x1a\n" => IMAGETYPE_PNG, 'GIF8' => IMAGETYPE_GIF];
    foreach ($signatures as $start => $type) {
        if (strncmp($head, $start, strlen($start)) === 0) {
            return $type;
        }
    }
    return substr($head, 0, 4) === 'RIFF' && substr($head, 8, 4) === 'WEBP' ? IMAGETYPE_WEBP : null;
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

/** The thumbnail's bytes, or '' when the picture gets none. */
function thumbs_make(string $path, int $bytes, bool $jpeg): string
{
    $type = thumbs_source_type($path);
    // The header tells the size before any pixel is decoded: a small file may
    // claim a picture that would need gigabytes.
    $info = $type === null || $bytes > THUMB_MAX_BYTES ? false : getimagesize($path);
    if ($info === false || $info[2] !== $type || !thumbs_decodes($type)
        || $info[0] < 1 || $info[1] < 1 || $info[0] * $info[1] > THUMB_MAX_PIXELS) {
        return '';
    }
    $source = thumbs_decode($path, $type);
    if ($source === null) {
        return '';
    }
    $thumb = thumbs_scale($source, imagesx($source), imagesy($source), $jpeg);
    unset($source);
    if ($type === IMAGETYPE_JPEG) {
        $thumb = thumbs_orient($thumb, thumbs_orientation($path));
    }
    ob_start();
    $ok = $jpeg ? imagejpeg($thumb, null, 80) : imagewebp($thumb, null, 80);
    $out = (string) ob_get_clean();
    return $ok ? $out : '';
}

/** The decoded picture, or null when GD cannot read it whole. */
function thumbs_decode(string $path, int $type): ?GdImage
{
    // GD says that a JPEG ended early only as a warning, and then makes up
    // the missing part: such a file counts as unreadable.
    ini_set('gd.jpeg_ignore_warning', '0');
    $cut = false;
    set_error_handler(static function (int $no, string $message) use (&$cut): bool {
        $cut = $cut || stripos($message, 'premature end') !== false;
        return true;
    });
    $image = match ($type) {
        IMAGETYPE_JPEG => imagecreatefromjpeg($path),
        IMAGETYPE_PNG => imagecreatefrompng($path),
        IMAGETYPE_GIF => imagecreatefromgif($path),
        IMAGETYPE_WEBP => imagecreatefromwebp($path),
    };
    restore_error_handler();
    return $image === false || $cut ? null : $image;
}

/** At most THUMB_SIZE on the long side, never larger than the picture. */
function thumbs_scale(GdImage $source, int $width, int $height, bool $opaque): GdImage
{
    $scale = min(1, THUMB_SIZE / max($width, $height));
    $w = max(1, (int) round($width * $scale));
    $h = max(1, (int) round($height * $scale));
    // Averaging every pixel of a large photo takes most of a second; a fast
    // first step to four times the size keeps nearly all of the quality.
    if ($w * 4 < $width && $h * 4 < $height) {
        $step = imagescale($source, $w * 4, $h * 4, IMG_BILINEAR_FIXED);
        if ($step !== false) {
            [$source, $width, $height] = [$step, $w * 4, $h * 4];
        }
    }
    $thumb = imagecreatetruecolor($w, $h);
    if ($opaque) {
        imagefill($thumb, 0, 0, imagecolorallocate($thumb, 255, 255, 255));
    } else {
        imagealphablending($thumb, false);
        imagesavealpha($thumb, true);
        imagefill($thumb, 0, 0, imagecolorallocatealpha($thumb, 0, 0, 0, 127));
    }
    imagecopyresampled($thumb, $source, 0, 0, 0, 0, $w, $h, $width, $height);
    return $thumb;
}

/** The picture turned the way the camera's orientation tag says (1 to 8). */
function thumbs_orient(GdImage $image, int $orientation): GdImage
{
    if (in_array($orientation, [2, 5, 7], true)) {
        imageflip($image, IMG_FLIP_HORIZONTAL);
    }
    if ($orientation === 4) {
        imageflip($image, IMG_FLIP_VERTICAL);
    }
    // imagerotate turns counter-clockwise.
    $angle = [3 => 180, 5 => 90, 6 => 270, 7 => 270, 8 => 90][$orientation] ?? 0;
    $turned = $angle === 0 ? false : imagerotate($image, $angle, 0);
    return $turned === false ? $image : $turned;
}

/** The orientation tag of a JPEG's EXIF block, 1 (as stored) when it has none. */
function thumbs_orientation(string $path): int
{
    $fh = fopen($path, 'rb');
    $head = $fh === false ? false : fread($fh, 131072);
    if ($fh !== false) {
        fclose($fh);
    }
    return is_string($head) ? thumbs_exif_orientation($head) : 1;
}

/** The orientation tag found in the first bytes of a JPEG, 1 when there is none. */
function thumbs_exif_orientation(string $jpeg): int
{
    $at = 2;
    while ($at + 4 <= strlen($jpeg) && $jpeg[$at] === "\xff") {
        $marker = ord($jpeg[$at + 1]);
        $length = unpack('n', $jpeg, $at + 2)[1];
        if ($marker === 0xda || $length < 2) {
            break;  // the picture data starts: no more headers
        }
        if ($marker === 0xe1 && substr($jpeg, $at + 4, 6) === "Exif\0\0") {
            return thumbs_tiff_orientation(substr($jpeg, $at + 10, $length - 8));
        }
        $at += 2 + $length;
    }
    return 1;
}

function thumbs_tiff_orientation(string $tiff): int
{
    $order = substr($tiff, 0, 2);
    if (strlen($tiff) < 8 || ($order !== 'II' && $order !== 'MM')) {
        return 1;
    }
    [$short, $long] = $order === 'II' ? ['v', 'V'] : ['n', 'N'];
    $ifd = unpack($long, $tiff, 4)[1];
    if ($ifd + 2 > strlen($tiff)) {
        return 1;
    }
    $count = unpack($short, $tiff, $ifd)[1];
    for ($i = 0; $i < $count && $ifd + 2 + 12 * ($i + 1) <= strlen($tiff); $i++) {
        $entry = $ifd + 2 + 12 * $i;
        if (unpack($short, $tiff, $entry)[1] === 0x0112) {
            $value = unpack($short, $tiff, $entry + 8)[1];
            return $value >= 1 && $value <= 8 ? $value : 1;
        }
    }
    return 1;
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
