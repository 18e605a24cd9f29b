<?php
// pure_functions.php - runs the site's pure helpers on fixed inputs and prints
// the results as JSON, so that rules this machine cannot reach through the
// server (Windows paths) are checked too. Run by pure_functions.test.js.
$inc = getenv('SITE_INC');
require $inc . '/bootstrap.php';
require $inc . '/shares.php';
require $inc . '/upload_dir.php';
require $inc . '/send.php';
require $inc . '/fold.php';
require $inc . '/search.php';
require $inc . '/picture.php';
require $inc . '/thumbs.php';

$input = json_decode(stream_get_contents(fopen('php://stdin', 'rb')), true);
$out = [];
foreach ($input as [$function, $args]) {
    // {"hex": "..."} stands for the bytes it spells, which JSON cannot carry.
    $args = array_map(static fn ($arg) => is_array($arg) && isset($arg['hex']) ? hex2bin($arg['hex']) : $arg, $args);
    $out[] = $function(...$args);
}
header('Content-Type: application/json');
echo json_encode($out);
