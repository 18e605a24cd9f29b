<?php
// pure_functions.php - runs the site's pure helpers on fixed inputs and prints
// the results as JSON, so that rules this machine cannot reach through the
// server (Windows paths) are checked too. Run by pure_functions.test.js.
define('OSTREL_SITE', 1);
$www = getenv('SITE_WWW');
require $www . '/inc/bootstrap.php';
require $www . '/inc/shares.php';
require $www . '/inc/upload_dir.php';
require $www . '/inc/send.php';
require $www . '/inc/fold.php';
require $www . '/inc/search.php';
require $www . '/inc/picture.php';
require $www . '/inc/thumbs.php';

$input = json_decode(stream_get_contents(fopen('php://stdin', 'rb')), true);
$out = [];
foreach ($input as [$function, $args]) {
    $out[] = $function(...$args);
}
header('Content-Type: application/json');
echo json_encode($out);
