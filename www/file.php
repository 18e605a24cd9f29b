<?php
// file.php - one file of a shared folder: a download, or with view=1 a
// preview that the browser shows itself. Streamed in pieces; one byte range
// is honoured when the request names one, so videos can seek.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/shares.php';
require dirname(__DIR__) . '/site_inc/mime.php';
require dirname(__DIR__) . '/site_inc/send.php';
require dirname(__DIR__) . '/site_inc/held_file.php';

const PREVIEW_TEXT_MAX = 1048576;

$place = shares_resolve(shares_load(), site_param('d'), site_param('p'), 'file');
$name = $place['segments'][count($place['segments']) - 1];
[$type, , $preview] = mime_info($name);
$inline = site_param('view') === '1' && $preview !== '';

$fh = held_open($place['root'], $place['real']);
$stat = $fh === null ? false : fstat($fh);
if ($stat === false) {
    site_error(403, 'This file cannot be read right now: it may be in use, protected or just changed.');
}
$size = $stat['size'];
$range = isset($_SERVER['HTTP_RANGE']) ? send_range((string) $_SERVER['HTTP_RANGE'], $size) : null;
if ($range === false) {
    site_status(416);
    header('Content-Range: bytes */' . $size);
    header('Content-Type: text/plain; charset=UTF-8');
    echo "The requested part of the file is beyond its end.\n";
    exit;
}
[$offset, $length] = $range ?? [0, $size];
// A preview of a huge text would only choke the browser: it shows the start.
$note = '';
if ($inline && $preview === 'text' && $range === null && $size > PREVIEW_TEXT_MAX) {
    $length = PREVIEW_TEXT_MAX;
    $note = "\n\n[The preview ends here: the file holds " . number_format($size) . " bytes. Download it to see all of it.]\n";
}

if ($range !== null) {
    site_status(206);
    header('Content-Range: bytes ' . $offset . '-' . ($offset + $length - 1) . '/' . $size);
}
// A text preview is always plain text, so a shared web page shows as its source
// and never runs as part of this site.
header('Content-Type: ' . ($inline && $preview === 'text' ? 'text/plain; charset=UTF-8' : $type));
header('Content-Length: ' . ($length + strlen($note)));
header('Content-Disposition: ' . send_disposition($inline ? 'inline' : 'attachment', $name));
header('Accept-Ranges: bytes');
header('Last-Modified: ' . gmdate('D, d M Y H:i:s', $stat['mtime']) . ' GMT');
header('Cache-Control: private, no-cache');
header('X-Content-Type-Options: nosniff');
if ($preview !== 'pdf') {
    // Shared files are other people's content: never let one run script here.
    header("Content-Security-Policy: sandbox; default-src 'none'; img-src 'self' data:; media-src 'self'; "
        . "style-src 'unsafe-inline'");
}
if ($offset === 0) {
    access_note_transfers([['down', $place['rel'], $length]]);
}
site_unbuffer();
if ($offset > 0) {
    fseek($fh, $offset);
}
send_bytes($fh, $length);
fclose($fh);
echo $note;
