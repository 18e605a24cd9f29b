<?php
// upload.php - stores the files of the upload form in the upload directory,
// each under a name of its own. Answers the page's script in JSON and a
// browser without script with a plain page.
// The interpreter drops the files past its per-request limit before the page
// runs, and says so only here.
$startupError = error_get_last();
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/format.php';
require dirname(__DIR__) . '/site_inc/token.php';
require dirname(__DIR__) . '/site_inc/upload_dir.php';
require dirname(__DIR__) . '/site_inc/layout.php';

const UPLOAD_ERRORS = [
    UPLOAD_ERR_OK => [500, 'could not be saved on the server.'],
    UPLOAD_ERR_INI_SIZE => [413, 'is larger than the largest file this server accepts.'],
    UPLOAD_ERR_FORM_SIZE => [413, 'is larger than the largest file this server accepts.'],
    UPLOAD_ERR_PARTIAL => [400, 'arrived only in part: the connection may have dropped. Please try again.'],
    UPLOAD_ERR_NO_FILE => [400, 'was not sent.'],
    UPLOAD_ERR_NO_TMP_DIR => [500, 'could not be saved on the server.'],
    UPLOAD_ERR_CANT_WRITE => [500, 'could not be saved on the server.'],
];
const UPLOAD_DISK_FULL = [507, 'could not be saved: the server’s disk is full.'];

if (strtoupper((string) ($_SERVER['REQUEST_METHOD'] ?? '')) !== 'POST') {
    site_error(405, 'Files are uploaded with the form on the main page.');
}
$limit = layout_ini_bytes((string) ini_get('post_max_size'));
if ($limit > 0 && (int) ($_SERVER['CONTENT_LENGTH'] ?? 0) > $limit) {
    site_error(413, 'This upload is larger than the server accepts (' . format_size($limit) . ' at most).');
}
upload_allowed($_POST['token'] ?? null);
$dir = upload_dir();
if ($dir === null) {
    site_error(500, 'Uploads are not possible: the server has no upload directory.');
}
$files = upload_files($_FILES['files'] ?? null);
$dropped = preg_match('/allowable file uploads|body parts/i', (string) ($startupError['message'] ?? '')) === 1;
if (!$files) {
    site_error($dropped ? 413 : 400, $dropped ? 'This upload holds too many files. Please send fewer at a time.'
        : 'No file was chosen.');
}

$results = [];
$status = 0;
foreach ($files as $file) {
    $result = ['name' => $file['name'], 'size' => $file['size'], 'stored' => null, 'renamed' => '', 'error' => null];
    $why = $file['error'] === UPLOAD_ERR_CANT_WRITE && upload_disk_full(upload_parts_dir(), $file['size']) ? 'full' : '';
    if ($file['error'] === UPLOAD_ERR_OK && is_uploaded_file($file['tmp_name'])) {
        $result['stored'] = upload_store($file['tmp_name'], $file['name'], $dir, $file['size'], $why);
        $result['renamed'] = upload_renamed($file['name'], $result['stored']);
    }
    [$code, $problem] = $result['stored'] !== null ? [0, '']
        : ($why === 'full' ? UPLOAD_DISK_FULL : UPLOAD_ERRORS[$file['error']] ?? [500, 'was refused by the server.']);
    if ($code !== 0) {
        $result['error'] = '“' . $file['name'] . '” ' . $problem;
        $status = $status ?: $code;
    }
    $results[] = $result;
}
if ($dropped) {
    $results[] = ['name' => '', 'size' => 0, 'stored' => null, 'renamed' => '', 'error' => 'Only the first '
        . count($files) . ' files of one upload can be taken: the others were not stored. Please send them again.'];
    $status = $status ?: 413;
}
// One file that went wrong among good ones is told per file; only a request
// in which nothing was stored gets an error status.
$stored = array_filter($results, static fn(array $r): bool => $r['stored'] !== null);
if (!$stored) {
    site_status($status);
}
access_note_transfers(array_map(static fn(array $r): array => ['up', $r['stored'], $r['size']], $stored));
$free = upload_free_space($dir);
if (site_wants_json()) {
    site_json(['ok' => count($stored) === count($results), 'files' => $results, 'free' => $free]);
}
upload_result_page($results, $free);

// Where the interpreter keeps the files of an upload in progress.
function upload_parts_dir(): string
{
    return (string) (ini_get('upload_tmp_dir') ?: sys_get_temp_dir());
}

/** The entries of the "files[]" field, one array per file. */
function upload_files($field): array
{
    if (!is_array($field) || !isset($field['name'], $field['tmp_name'], $field['error'], $field['size'])) {
        return [];
    }
    $list = [];
    foreach ((array) $field['name'] as $i => $name) {
        $list[] = [
            'name' => (string) $name,
            'tmp_name' => (string) (((array) $field['tmp_name'])[$i] ?? ''),
            'error' => (int) (((array) $field['error'])[$i] ?? UPLOAD_ERR_NO_FILE),
            'size' => (int) (((array) $field['size'])[$i] ?? 0),
        ];
    }
    return array_values(array_filter($list, static fn(array $f): bool => $f['error'] !== UPLOAD_ERR_NO_FILE
        || $f['name'] !== ''));
}

function upload_result_page(array $results, ?int $free): void
{
    layout_open('Upload', [['Shared folders', '/'], ['Upload', null]]);
    echo "<section class=\"panel upload-result\">\n<h1>Upload</h1>\n<ul class=\"upload-list\">\n";
    foreach ($results as $r) {
        if ($r['stored'] !== null) {
            $renamed = [
                'taken' => ' (saved as “' . $r['stored'] . '”: that name was taken)',
                'cleaned' => ' (renamed “' . $r['stored'] . '”: file names cannot hold some of its characters)',
            ][$r['renamed']] ?? '';
            echo '<li class="done">' . h('“' . $r['name'] . '” was uploaded' . $renamed . '.') . "</li>\n";
        } else {
            echo '<li class="failed">' . h($r['error']) . "</li>\n";
        }
    }
    echo "</ul>\n";
    if ($free !== null) {
        echo '<p class="free">Room left: <strong>' . h(format_size($free)) . "</strong></p>\n";
    }
    echo "<p><a class=\"button\" href=\"/\">Back to the shared folders</a></p>\n</section>\n";
    layout_close();
}
