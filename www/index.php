<?php
// index.php - the site's entry: the shared folders, the listing of one folder
// or the names found below it, beside the upload form and the page's QR code.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require dirname(__DIR__) . '/site_inc/shares.php';
require dirname(__DIR__) . '/site_inc/mime.php';
require dirname(__DIR__) . '/site_inc/format.php';
require dirname(__DIR__) . '/site_inc/fold.php';
require dirname(__DIR__) . '/site_inc/search.php';
require dirname(__DIR__) . '/site_inc/token.php';
require dirname(__DIR__) . '/site_inc/upload_dir.php';
require dirname(__DIR__) . '/site_inc/layout.php';
require dirname(__DIR__) . '/site_inc/picture.php';
require dirname(__DIR__) . '/site_inc/thumbs.php';
require dirname(__DIR__) . '/site_inc/listing.php';

listing_compress();

// A folder of many thousand entries needs more than the configured default.
ini_set('memory_limit', '256M');

$shares = shares_load();
$place = site_param('d') === '' ? null : shares_resolve($shares, site_param('d'), site_param('p'), 'dir');
$query = $place === null ? '' : trim(site_param('q'));

$crumbs = [['Shared folders', '/']];
if ($place !== null) {
    $crumbs[] = [$place['label'], '/?' . shares_query($place['index'], '')];
    $walked = '';
    foreach ($place['segments'] as $segment) {
        $walked = shares_child($walked, $segment);
        $crumbs[] = [$segment, '/?' . shares_query($place['index'], $walked)];
    }
    if ($query !== '') {
        $crumbs[] = ['Search: ' . index_cut($query), null];
    }
}

$stopped = '';
if ($place === null) {
    $rows = index_share_rows($shares);
} elseif ($query !== '') {
    $found = search_below($place['root'], $place['real'], $query);
    $stopped = $found['stopped'];
    $rows = index_entry_rows($place, $found['results'], true);
} else {
    $entries = shares_list($place['root'], $place['real']);
    shares_sort($entries);
    $rows = index_entry_rows($place, $entries, false);
}

$uploadsOn = access_uploads_on();
$uploadDir = $uploadsOn ? upload_dir() : null;
visitor_id();  // the upload form's token is bound to the cookie, which goes out before the page
$title = $place === null ? SITE_TITLE : $crumbs[count($crumbs) - 1][0];
layout_open($title, $crumbs, [
    'lan-host' => (string) ($_SERVER['LOCAL_ADDR'] ?? ''),
    'code' => site_is_host() ? access_code_to_hand_out() : '',
    'max-upload' => min(layout_ini_bytes((string) ini_get('upload_max_filesize')),
        layout_ini_bytes((string) ini_get('post_max_size'))),
]);
index_listing($place, $rows, $query, $stopped, $place === null ? 'Shared folders' : $title, site_param('all') === '1');
echo "<aside class=\"side\">\n";
index_upload_panel($uploadDir, $uploadsOn);
index_qr_panel();
echo "</aside>\n";
index_preview_dialog();
layout_close();

/** One row per shared directory; one that is missing shows, without a link. */
function index_share_rows(array $shares): array
{
    $rows = [];
    foreach ($shares as $i => $share) {
        $st = is_dir($share['path']) ? stat($share['path']) : false;
        $rows[] = [
            'name' => $share['label'],
            'href' => $st === false ? null : '/?' . shares_query($i, ''),
            'is_dir' => true,
            'size' => 0,
            'mtime' => $st === false ? 0 : $st['mtime'],
            'kind' => $st === false ? 'Not available' : 'Shared folder',
            'preview' => '',
            'where' => '',
            'thumb' => '',
        ];
    }
    return $rows;
}

function index_entry_rows(array $place, array $entries, bool $withWhere): array
{
    $rows = [];
    foreach ($entries as $entry) {
        $below = $entry['rel'] ?? $entry['name'];
        $rel = shares_child($place['rel'], $below);
        $query = shares_query($place['index'], $rel);
        [, $kind, $preview] = $entry['is_dir'] ? ['', 'Folder', ''] : mime_info($entry['name']);
        $cut = strrpos($below, '/');
        $rows[] = [
            'name' => $entry['name'],
            'href' => $entry['is_dir'] ? '/?' . $query : '/file.php?' . $query,
            'view' => $preview === '' ? '' : '/file.php?' . $query . '&view=1',
            'is_dir' => $entry['is_dir'],
            'size' => $entry['size'],
            'mtime' => $entry['mtime'],
            'kind' => $kind,
            'preview' => $preview,
            'where' => $withWhere && $cut !== false ? substr($below, 0, $cut) : '',
            'rel' => $rel,
            'thumb' => thumbs_possible($entry['name'], $entry['size'])
                ? '/thumb.php?' . $query . '&v=' . $entry['mtime'] . '-' . $entry['size'] : '',
        ];
    }
    return $rows;
}

function index_listing(?array $place, array $rows, string $query, string $stopped, string $heading, bool $all): void
{
    $view = $place === null ? '' : listing_view($rows);
    echo '<section class="listing' . ($view === 'grid' ? ' grid' : '') . '" aria-labelledby="place-title">' . "\n"
        . '<h1 id="place-title" class="place">' . h($heading) . "</h1>\n<div class=\"toolbar\">\n"
        . '<div class="field filter-field"><label for="filter">Filter this list</label>'
        . "<input type=\"search\" id=\"filter\" class=\"filter\" autocomplete=\"off\"></div>\n";
    if ($place !== null) {
        echo '<form class="field search" action="/" method="get" role="search">'
            . '<label for="search-q">Search this folder and below</label><div class="search-row">'
            . '<input type="hidden" name="d" value="' . $place['index'] . '">'
            . ($place['rel'] === '' ? '' : '<input type="hidden" name="p" value="' . h($place['rel']) . '">')
            . '<input type="search" id="search-q" name="q" value="' . h(index_cut($query)) . '" maxlength="'
            . SEARCH_MAX_CHARS . '">'
            . "<button type=\"submit\">Search</button></div></form>\n"
            . '<a class="button zip" href="/zip.php?' . h(shares_query($place['index'], $place['rel'])) . '">'
            . "Download folder as .zip</a>\n" . listing_view_switch($view);
    }
    echo "</div>\n";
    if ($query !== '') {
        $count = count($rows) . (count($rows) === 1 ? ' match' : ' matches');
        $note = ['count' => ' (only the first ones are shown)', 'limit' => ' (the search stopped early: it took too long)'];
        $said = $stopped === 'long'
            ? 'This search is too long: use at most ' . SEARCH_MAX_WORDS . ' words and ' . SEARCH_MAX_CHARS
                . ' characters.'
            : $count . ' for “' . $query . '”' . ($note[$stopped] ?? '') . '.';
        echo '<p class="search-note">' . h($said)
            . ' <a href="/?' . h(shares_query($place['index'], $place['rel'])) . "\">Back to the folder</a></p>\n";
    }
    echo "<table class=\"entries\" id=\"entries\">\n<thead><tr>"
        . '<th class="col-name" data-sort="name" aria-sort="ascending"><button type="button">Name</button></th>'
        . '<th class="col-size" data-sort="size"><button type="button">Size</button></th>'
        . '<th class="col-date" data-sort="date"><button type="button">Modified</button></th>'
        . '<th class="col-kind">Kind</th>'
        . "</tr></thead>\n<tbody>\n";
    $shown = listing_html_count($rows, $all);
    foreach (array_slice($rows, 0, $shown) as $row) {
        echo listing_row($row);
    }
    echo "</tbody>\n</table>\n";
    if ($place !== null) {
        $here = shares_query($place['index'], $place['rel']) . ($query === '' ? '' : '&q=' . rawurlencode($query));
        echo listing_data($place, array_slice($rows, $shown)) . listing_all_link($here, count($rows), $shown);
    }
    $empty = $query !== '' ? 'Nothing found.' : ($place === null ? 'No folders are shared yet.' : 'This folder is empty.');
    echo '<p class="empty" id="empty"' . ($rows ? ' hidden' : '') . '>' . h($empty) . "</p>\n"
        . "<p class=\"empty\" id=\"no-match\" hidden>Nothing here matches the filter.</p>\n" . fold_table() . "</section>\n";
}

/** A query as shown back: a long one is cut, which the page then says. */
function index_cut(string $query): string
{
    return preg_match('/^.{0,' . SEARCH_MAX_CHARS . '}/su', $query, $m) ? $m[0] : substr($query, 0, SEARCH_MAX_CHARS);
}

function index_upload_panel(?string $dir, bool $on): void
{
    echo "<section class=\"panel upload\" id=\"upload\" aria-labelledby=\"upload-title\">\n"
        . "<h2 id=\"upload-title\">Upload files</h2>\n";
    $token = $dir === null ? '' : token_make('upload');
    if ($token === '') {
        echo '<p class="note">' . ($on ? 'Uploads are not possible on this server right now.'
            : 'The host has turned uploads off.') . "</p>\n</section>\n";
        return;
    }
    $free = upload_free_space($dir);
    echo '<form id="upload-form" class="upload-form" method="post" action="/upload.php" '
        . "enctype=\"multipart/form-data\">\n"
        . '<input type="hidden" name="token" value="' . h($token) . "\">\n"
        . "<div class=\"drop-zone\" id=\"drop-zone\">\n<p>Drop files here, or</p>\n"
        . '<label class="button">Choose files<input type="file" name="files[]" id="upload-input" multiple>'
        . "</label>\n</div>\n"
        . "<button type=\"submit\" class=\"upload-submit\" id=\"upload-submit\">Upload</button>\n"
        . "</form>\n"
        . '<p class="free">Room left: <strong id="free-space" data-bytes="'
        . $free . '">' . ($free === null ? 'unknown' : h(format_size($free))) . "</strong></p>\n"
        . '<p class="note">Files go to the server’s “' . h(UPLOAD_DIR_NAME) . '”. A file whose name is taken '
        . "there is saved under a new name; nothing is ever replaced.</p>\n"
        . "<ul class=\"upload-list\" id=\"upload-list\" aria-live=\"polite\"></ul>\n</section>\n";
}

function index_qr_panel(): void
{
    echo "<section class=\"panel qr\" id=\"qr\" aria-labelledby=\"qr-title\">\n"
        . "<h2 id=\"qr-title\">Open on a phone</h2>\n"
        . "<canvas id=\"qr-code\" width=\"0\" height=\"0\" role=\"img\" "
        . "aria-label=\"QR code of this page’s address\"></canvas>\n"
        . "<p class=\"qr-url\"><a id=\"qr-url\" href=\"\"></a></p>\n</section>\n";
}

function index_preview_dialog(): void
{
    echo "<dialog id=\"preview\" class=\"preview\" aria-labelledby=\"preview-title\">\n"
        . "<div class=\"preview-bar\"><span id=\"preview-title\" class=\"preview-title\"></span>"
        . "<a id=\"preview-download\" class=\"button\" href=\"\">Download</a>"
        . "<button type=\"button\" id=\"preview-close\">Close</button></div>\n"
        . "<div id=\"preview-body\" class=\"preview-body\"></div>\n</dialog>\n";
}
