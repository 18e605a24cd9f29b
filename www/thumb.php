<?php
// thumb.php - the thumbnail of one picture of a shared folder, for the
// listing's grid. A picture that gets none is answered 404, and the page
// shows its icon instead.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/shares.php';
require dirname(__DIR__) . '/site_inc/held_file.php';
require dirname(__DIR__) . '/site_inc/picture.php';
require dirname(__DIR__) . '/site_inc/thumbs.php';

thumbs_bound_memory();

$place = shares_resolve(shares_load(), site_param('d'), site_param('p'), 'file');
$name = $place['segments'][count($place['segments']) - 1];
// Everything below works from the one handle that was checked: a name
// swapped for a link meanwhile is never read through.
$possible = thumbs_possible($name);
$fh = $possible ? held_open($place['root'], $place['real']) : null;
$thumb = $fh === null ? null : thumbs_get($place['real'], $fh);
header('X-Content-Type-Options: nosniff');
if (!is_array($thumb)) {
    // Only "no thumbnail" may be kept: a busy server or a file being swapped may answer otherwise soon.
    $lasting = $thumb === null && ($fh !== null || !$possible);
    header($thumb === 'busy' ? 'Status: 503 Service Unavailable' : 'Status: 404 Not Found');
    header('Content-Type: text/plain; charset=UTF-8');
    header('Cache-Control: ' . ($lasting ? 'private, max-age=3600' : 'no-store'));
    echo $thumb === 'busy' ? "The server is busy making other thumbnails.\n" : "This file has no thumbnail.\n";
    exit;
}
[$bytes, $type] = $thumb;
header('Content-Type: ' . $type);
header('Content-Length: ' . strlen($bytes));
// The page's address for it names the file's size and time, so a changed
// file has a new address.
header('Cache-Control: private, max-age=604800');
header("Content-Security-Policy: sandbox; default-src 'none'");
echo $bytes;
