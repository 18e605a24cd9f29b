<?php
// picture.php - a picture made small safely from its bytes: its real kind from
// its first bytes, its size as the decoder will see it before any pixel is
// decoded, decoded by GD only when that stays within bounds, shrunk, and
// turned the way the camera's orientation tag says.
const PICTURE_MAX_PIXELS = 50000000;
const PICTURE_MAX_BYTES = 50000000;
// Each scan of a JPEG passes over all of its blocks again: encoders write
// about ten, and thousands in a small file would cost minutes of decoding.
const PICTURE_MAX_SCANS = 500;
const PICTURE_TYPES = [
    'jpg' => IMAGETYPE_JPEG,
    'jpeg' => IMAGETYPE_JPEG,
    'png' => IMAGETYPE_PNG,
    'gif' => IMAGETYPE_GIF,
    'webp' => IMAGETYPE_WEBP,
];

/** Whether the interpreter has GD, and GD reads this kind of picture. */
function picture_decodes(int $type): bool
{
    // The IMG_ constants exist only with GD.
    if (!function_exists('imagetypes')) {
        return false;
    }
    $bits = [IMAGETYPE_JPEG => IMG_JPG, IMAGETYPE_PNG => IMG_PNG, IMAGETYPE_GIF => IMG_GIF, IMAGETYPE_WEBP => IMG_WEBP];
    return isset($bits[$type]) && (imagetypes() & $bits[$type]) !== 0;
}

/** The image type that a file's first bytes show, whatever its name says. */
function picture_type(string $head): ?int
{
    $signatures = ["\xff\xd8\xff" => IMAGETYPE_JPEG, "\x89PNG\r\n\x1a\n" => IMAGETYPE_PNG, 'GIF8' => IMAGETYPE_GIF];
    foreach ($signatures as $start => $type) {
        if (strncmp($head, $start, strlen($start)) === 0) {
            return $type;
        }
    }
    return substr($head, 0, 4) === 'RIFF' && substr($head, 8, 4) === 'WEBP' ? IMAGETYPE_WEBP : null;
}

/**
 * The picture (its bytes) at most $long pixels on its long side, as JPEG or
 * else WebP; '' when it cannot be read safely and whole.
 */
function picture_shrink(string $bytes, int $long, bool $jpeg): string
{
    $type = picture_type($bytes);
    $size = $type === null || strlen($bytes) > PICTURE_MAX_BYTES || !picture_decodes($type)
        ? null : picture_size($bytes, $type);
    $source = $size === null ? null : picture_decode($bytes, $size);
    if ($source === null) {
        return '';
    }
    $orientation = $type === IMAGETYPE_JPEG ? picture_exif_orientation(substr($bytes, 0, 131072)) : 1;
    unset($bytes);
    $thumb = picture_scale($source, $size[0], $size[1], $long, $jpeg);
    unset($source);
    $thumb = picture_orient($thumb, $orientation);
    ob_start();
    $ok = $jpeg ? imagejpeg($thumb, null, 80) : imagewebp($thumb, null, 80);
    $out = (string) ob_get_clean();
    return $ok ? $out : '';
}

/**
 * [width, height] of the picture as its decoder will make it, before any pixel
 * is decoded; null when that is past the bounds or cannot be told for sure.
 * A small file may claim a picture that would need gigabytes.
 */
function picture_size(string $bytes, int $type): ?array
{
    $info = getimagesizefromstring($bytes);
    if ($info === false || $info[2] !== $type) {
        return null;
    }
    $size = [$info[0], $info[1]];
    if ($type === IMAGETYPE_JPEG) {
        // The interpreter's own reader takes the two bytes after a marker that
        // has none (TEM, RSTn) for a length, and so can be led past the frame
        // the decoder uses to a small one: the frame is read as the decoder reads
        // it. GD decoding from memory makes up the part of a file cut short,
        // which only its missing end marker tells.
        $frame = picture_jpeg_frame($bytes);
        if ($frame === null || !$frame['whole'] || $frame['scans'] > PICTURE_MAX_SCANS
            || [$frame['width'], $frame['height']] !== $size) {
            return null;
        }
    }
    return $size[0] >= 1 && $size[1] >= 1 && $size[0] * $size[1] <= PICTURE_MAX_PIXELS ? $size : null;
}

/**
 * A JPEG's frame as a decoder of the standard finds it: walked marker by
 * marker (TEM and RSTn without a length), bytes between markers skipped up to
 * the next 0xFF, entropy-coded data up to the next marker that is not a
 * restart; the first frame header counts. ['width', 'height', 'scans',
 * 'whole' (scans and then the end marker were found)], or null for what the
 * decoder refuses before any pixel: no frame before the first scan, a frame
 * header not well formed, a second frame header or start marker.
 */
function picture_jpeg_frame(string $jpeg): ?array
{
    $end = strlen($jpeg);
    if (strncmp($jpeg, "\xff\xd8", 2) !== 0) {
        return null;
    }
    $frame = null;
    $whole = false;
    $at = 2;
    while ($at < $end) {
        $at = strpos($jpeg, "\xff", $at);
        if ($at === false) {
            break;
        }
        $at = $at + strspn($jpeg, "\xff", $at);  // fill bytes
        if ($at >= $end) {
            break;
        }
        $marker = ord($jpeg[$at++]);
        if ($marker === 0x00 || $marker === 0x01 || ($marker >= 0xd0 && $marker <= 0xd7)) {
            continue;  // a stuffed byte among stray ones, or a marker without a length
        }
        if ($marker === 0xd9) {
            $whole = true;
            break;
        }
        if ($marker === 0xd8) {
            return null;
        }
        if ($at + 2 > $end) {
            break;
        }
        $length = unpack('n', $jpeg, $at)[1];
        $isFrame = $marker >= 0xc0 && $marker <= 0xcf && !in_array($marker, [0xc4, 0xc8, 0xcc], true);
        if ($isFrame) {
            if ($frame !== null || $at + 8 > $end) {
                return null;
            }
            $header = unpack('nheight/nwidth/Ccount', $jpeg, $at + 3);
            if ($length !== 8 + 3 * $header['count'] || $header['count'] < 1) {
                return null;
            }
            $frame = ['width' => $header['width'], 'height' => $header['height'], 'scans' => 0];
        }
        $at += max(2, $length);
        if ($marker === 0xda) {
            if ($frame === null) {
                return null;
            }
            $frame['scans']++;
            // The scan's data runs to the next marker that is not a restart.
            if (!preg_match('/\xff[^\x00\xd0-\xd7\xff]/', $jpeg, $found, PREG_OFFSET_CAPTURE, min($at, $end))) {
                break;
            }
            $at = $found[0][1];
        }
    }
    if ($frame !== null) {
        $frame['whole'] = $whole && $frame['scans'] > 0;
    }
    return $frame;
}

/** The decoded picture, or null when GD cannot read it at the size measured. */
function picture_decode(string $bytes, array $size): ?GdImage
{
    $image = imagecreatefromstring($bytes);
    if ($image === false || imagesx($image) !== $size[0] || imagesy($image) !== $size[1]) {
        return null;
    }
    return $image;
}

/** At most $long on the long side, never larger than the picture; transparency kept unless $opaque. */
function picture_scale(GdImage $source, int $width, int $height, int $long, bool $opaque): GdImage
{
    $scale = min(1, $long / max($width, $height));
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
function picture_orient(GdImage $image, int $orientation): GdImage
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

/** The orientation tag found in the first bytes of a JPEG, 1 when there is none. */
function picture_exif_orientation(string $jpeg): int
{
    $at = 2;
    while ($at + 4 <= strlen($jpeg) && $jpeg[$at] === "\xff") {
        $marker = ord($jpeg[$at + 1]);
        $length = unpack('n', $jpeg, $at + 2)[1];
        if ($marker === 0xda || $length < 2) {
            break;  // the picture data starts: no more headers
        }
        if ($marker === 0xe1 && substr($jpeg, $at + 4, 6) === "Exif\0\0") {
            return picture_tiff_orientation(substr($jpeg, $at + 10, $length - 8));
        }
        $at += 2 + $length;
    }
    return 1;
}

/** The orientation tag (0x0112) of the first directory of an EXIF block's TIFF data, 1 when absent. */
function picture_tiff_orientation(string $tiff): int
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
