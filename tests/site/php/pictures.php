<?php
// pictures.php - the test pictures, made with GD into the folder named by
// $DIR: one of each kind, one that a camera held sideways (EXIF orientation
// 6: turned a quarter clockwise for viewing), and three that must get an icon.
$dir = getenv('DIR');
$im = imagecreatetruecolor(1200, 800);
imagefilledrectangle($im, 0, 0, 599, 799, imagecolorallocate($im, 200, 40, 40));
imagejpeg($im, "$dir/a photo.jpg");
imagepng($im, "$dir/b drawing.png");
imagegif($im, "$dir/c clip.gif");
imagewebp($im, "$dir/d web.webp");

$side = imagecreatetruecolor(400, 200);
ob_start();
imagejpeg($side);
$jpeg = ob_get_clean();
$exif = "Exif\0\0MM" . pack('nN', 42, 8) . pack('n', 1) . pack('nnNnn', 0x0112, 3, 1, 6, 0) . pack('N', 0);
file_put_contents("$dir/e sideways.jpg", "\xff\xd8\xff\xe1" . pack('n', strlen($exif) + 2) . $exif . substr($jpeg, 2));

// A few hundred bytes that claim 30,000 x 30,000 pixels: 3.6 GB once decoded.
$chunk = static fn (string $type, string $data): string => pack('N', strlen($data)) . $type . $data
    . pack('N', crc32($type . $data));
file_put_contents("$dir/huge.png", "\x89PNG\r\n\x1a\n" . $chunk('IHDR', pack('NNC5', 30000, 30000, 8, 2, 0, 0, 0))
    . $chunk('IDAT', gzcompress(str_repeat("\0", 90001 * 4))) . $chunk('IEND', ''));
$photo = file_get_contents("$dir/a photo.jpg");
file_put_contents("$dir/cut.jpg", substr($photo, 0, intdiv(strlen($photo), 2)));
file_put_contents("$dir/not a picture.jpg", "plain text\n");
