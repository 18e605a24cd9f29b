<?php
// upload_piece.php - one piece of a file uploaded in pieces, by the page's
// script (upload.js) or a program:
//   POST /upload_piece.php?name=<name>&size=<bytes>&modified=<time>&offset=<bytes>
// with the piece as the body, sent as it is (no form's Content-Type) so that
// it goes straight from the connection into the file, and the upload form's
// token in the X-Upload-Token header. Without an offset, and with an empty
// body, it asks what the server holds of the file. Every answer is JSON: the
// bytes held ("offset"), and once the file is whole the name it was stored
// under ("done", "stored").
$_GET['format'] = 'json';  // errors are answered as JSON too
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/format.php';
require dirname(__DIR__) . '/site_inc/token.php';
require dirname(__DIR__) . '/site_inc/upload_parts.php';
require dirname(__DIR__) . '/site_inc/layout.php';

if (strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? '')) !== 'POST') {
    site_error(405, 'Files are uploaded with the form on the main page.');
}
upload_allowed($_SERVER['HTTP_X_UPLOAD_TOKEN'] ?? null);
// A form's body was read (and parsed) before the page ran: it is not a piece.
if (ini_get('enable_post_data_reading')) {
    site_error(415, 'A piece is sent as it is, as application/octet-stream or without a Content-Type, '
        . 'not as a form.');
}
$request = parts_request($_GET, (string) ($_SERVER['CONTENT_LENGTH'] ?? '0'));
if (!isset($request['name'])) {
    site_error($request[0], $request[1]);
}
$limit = layout_ini_bytes((string) ini_get('upload_max_filesize'));
if ($limit > 0 && $request['size'] > $limit) {
    site_error(413, '“' . $request['name'] . '” is larger than the largest file this server accepts ('
        . format_size($limit) . ').');
}
$dir = upload_dir();
if ($dir === null) {
    site_error(500, 'Uploads are not possible: the server has no upload directory.');
}
site_unbuffer();
// The body, straight from the connection: the interpreter did not read it (see php.ini).
$body = fopen('php://stdin', 'rb');
[$status, $answer] = parts_receive($dir, (string) visitor_known_id(), $request, $body);
// At its end the interpreter reads what it takes to be left of the body, as
// it never saw this page read it: on an empty input that stays open it would
// wait until the server gives up on it. Not waiting for input (a setting the
// copy shares with the input itself, on POSIX systems) ends it at once; the
// answer's length lets the client go on before that anywhere.
if ($body !== false) {
    stream_set_blocking($body, false);
}
site_json($answer, $status);
