<?php
// picture.php - a picture read safely and made small: its real kind from its
// first bytes, its size from its header before any pixel is decoded, decoded
// by GD only when that stays within bounds, shrunk, and turned the way the
// camera's orientation tag says.
const PICTURE_MAX_PIXELS = 50000000;
const PICTURE_MAX_BYTES = 50000000;
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

/** The image type that the file's first bytes show, whatever its name says. */
function picture_type(string $path): ?int
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

/**
 * The picture ($bytes long) at most $long pixels on its long side, as JPEG
 * or else WebP; '' when it cannot be read safely and whole.
 */
function picture_shrink(string $path, int $bytes, int $long, bool $jpeg): string
{
    $type = picture_type($path);
    // The header tells the size before any pixel is decoded: a small file may
    // claim a picture that would need gigabytes.
    $info = $type === null || $bytes > PICTURE_MAX_BYTES ? false : getimagesize($path);
    if ($info === false || $info[2] !== $type || !picture_decodes($type)
        || $info[0] < 1 || $info[1] < 1 || $info[0] * $info[1] > PICTURE_MAX_PIXELS) {
        return '';
    }
    $source = picture_decode($path, $type);
    if ($source === null) {
        return '';
    }
    $thumb = picture_scale($source, imagesx($source), imagesy($source), $long, $jpeg);
    unset($source);
    if ($type === IMAGETYPE_JPEG) {
        $thumb = picture_orient($thumb, picture_orientation($path));
    }
    ob_start();
    $ok = $jpeg ? imagejpeg($thumb, null, 80) : imagewebp($thumb, null, 80);
    $out = (string) ob_get_clean();
    return $ok ? $out : '';
}

/** The decoded picture, or null when GD cannot read it whole. */
function picture_decode(string $path, int $type): ?GdImage
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

/** The orientation tag of a JPEG's EXIF block, 1 (as stored) when it has none. */
function picture_orientation(string $path): int
{
    $fh = fopen($path, 'rb');
    $head = $fh === false ? false : fread($fh, 131072);
    if ($fh !== false) {
        fclose($fh);
    }
    return is_string($head) ? picture_exif_orientation($head) : 1;
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
