<?php
// zip.php - a whole folder as one zip archive, streamed while it is built.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/shares.php';
require dirname(__DIR__) . '/site_inc/send.php';
require dirname(__DIR__) . '/site_inc/zip_stream.php';

// The list of entries is kept while the archive is written.
ini_set('memory_limit', '256M');

$place = shares_resolve(shares_load(), site_param('d'), site_param('p'), 'dir');
$folder = $place['segments'] ? $place['segments'][count($place['segments']) - 1] : $place['label'];
$folder = trim(str_replace([':', '\\', '/'], '', $folder)) ?: 'folder';
$entries = zip_collect($place['root'], $place['real']);
if ($entries === null) {
    site_error(403, 'This folder holds more than ' . number_format(ZIP_MAX_ENTRIES)
        . ' files and folders, too many for one download. Please download its subfolders one by one.');
}
$prefix = $folder . '/';
$length = zip_length($entries, $prefix);
access_note_transfers([['down', ($place['rel'] === '' ? $place['label'] : $place['rel']) . '.zip', $length]]);
header('Content-Type: application/zip');
header('Content-Length: ' . $length);
header('Content-Disposition: ' . send_disposition('attachment', $folder . '.zip'));
header('Cache-Control: no-store');
header('X-Content-Type-Options: nosniff');
site_unbuffer();
zip_send($entries, $place['root'], $place['real'], $prefix);
