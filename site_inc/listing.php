<?php
// listing.php - a folder of any size opens fast: the first rows go out as
// HTML, the rest as compact data that the page's script shows as the visitor
// scrolls (and sorts and filters with the rest), all of it compressed when the
// browser takes gzip. Folders mostly of pictures open as a grid.
// A row's markup, its size text and its folded name are made here and in
// fold.php alone: the script fills the row this file makes (#entry-template)
// with the data's values and folds with the table the page carries.
const LISTING_HTML_ROWS = 200;

/**
 * One row of the listing. $template: the row the page's script fills for the
 * rows sent as data, with every part present and every value empty.
 */
function listing_row(array $row, bool $template = false): string
{
    $class = ($row['is_dir'] ? 'entry folder' : 'entry file') . ($row['thumb'] === '' ? '' : ' picture');
    $name = h($row['name']);
    $link = $row['href'] === null
        ? '<span class="name">' . $name . '</span>'
        : '<a class="name" href="' . h($row['href']) . '">' . $name . '</a>';
    $where = $row['where'] === '' && !$template ? '' : '<span class="where">in ' . h($row['where']) . '</span>';
    // Every "Preview" says which file it opens to a reader that lists the links.
    // The thumbnail shows in the grid only; there "Preview" is read out, not shown.
    $thumb = $row['thumb'] === '' && !$template ? ''
        : '<img class="thumb" src="' . h($row['thumb']) . '" alt="" loading="lazy">';
    $view = ($row['view'] ?? '') === '' && !$template ? '' : ' <a class="view" href="' . h($row['view'])
        . '" target="_blank" rel="noopener" data-preview="' . h($row['preview']) . '" data-name="' . $name . '" '
        . 'data-download="' . h($row['href']) . '">' . $thumb . '<span class="view-label">Preview</span>'
        . '<span class="visually-hidden"> ' . $name . '</span></a>';
    $date = $row['mtime'] > 0 || $template
        ? '<time datetime="' . format_iso_date($row['mtime']) . '">' . h(format_date($row['mtime'])) . '</time>'
        : '';
    return '<tr class="' . $class . '" data-name="' . $name . '" data-size="' . $row['size'] . '" data-mtime="'
        . $row['mtime'] . '">'
        . '<td class="col-name"><span class="icon" aria-hidden="true"></span>' . $link . $view . $where . '</td>'
        . '<td class="col-size">' . ($row['is_dir'] ? '' : h(format_size($row['size']))) . '</td>'
        . '<td class="col-date">' . $date . '</td>'
        . '<td class="col-kind">' . h($row['kind']) . "</td></tr>\n";
}

/**
 * Compresses the rest of this page when the browser accepts it. Only for
 * pages of HTML: a download's length and byte ranges must stay exact.
 */
function listing_compress(): void
{
    if (!headers_sent() && extension_loaded('zlib')) {
        ini_set('zlib.output_compression', '1');
    }
}

/** How many rows go out as HTML: all of them for a browser without script ($all). */
function listing_html_count(array $rows, bool $all): int
{
    return $all ? count($rows) : min(count($rows), LISTING_HTML_ROWS);
}

/** A link to the same listing ($query) with every row as HTML, for browsers without script. */
function listing_all_link(string $query, int $count, int $shown): string
{
    if ($shown >= $count) {
        return '';
    }
    return '<noscript><p class="all-rows"><a href="/?' . h($query . '&all=1') . '">Show all '
        . number_format($count) . " entries on one page</a></p></noscript>\n";
}

/** 'grid' when most entries are pictures with thumbnails, '' when none is, else 'list'. */
function listing_view(array $rows): string
{
    $pictures = 0;
    foreach ($rows as $row) {
        $pictures += ($row['thumb'] ?? '') === '' ? 0 : 1;
    }
    return $pictures === 0 ? '' : ($pictures * 2 > count($rows) ? 'grid' : 'list');
}

/** The switch between grid and list; the page's script shows it and remembers the choice. */
function listing_view_switch(string $view): string
{
    if ($view === '') {
        return '';
    }
    $button = static fn (string $name, string $label): string => '<button type="button" data-view="' . $name
        . '" aria-pressed="' . ($view === $name ? 'true' : 'false') . '">' . $label . '</button>';
    return '<div class="view-switch" id="view-switch" role="group" aria-label="Show as" hidden>'
        . $button('grid', 'Pictures') . $button('list', 'List') . "</div>\n";
}

/**
 * The rows after the first ones, as data, with the row the script fills for
 * each: each row is [name, kind, size, size text, mtime] with the place below
 * the folder for search results, and the exact query when a name is not UTF-8
 * (the script could not rebuild it).
 */
function listing_data(array $place, array $rows): string
{
    if (!$rows) {
        return '';
    }
    $kinds = [];
    $known = [];
    $items = [];
    foreach ($rows as $row) {
        $kind = [$row['kind'], $row['preview'], $row['thumb'] === '' ? 0 : 1, $row['is_dir'] ? 1 : 0];
        $key = implode("\0", $kind);
        if (!isset($known[$key])) {
            $known[$key] = count($kinds);
            $kinds[] = $kind;
        }
        $item = [$row['name'], $known[$key], $row['size'], $row['is_dir'] ? '' : format_size($row['size']),
            $row['mtime']];
        if (!preg_match('//u', $place['rel'] . $row['name'] . $row['where'])) {
            array_push($item, '', shares_query($place['index'], $row['rel']));
        } elseif ($row['where'] !== '') {
            $item[] = $row['where'];
        }
        $items[] = $item;
    }
    $data = ['d' => $place['index'], 'p' => $place['rel'], 'kinds' => $kinds, 'rows' => $items];
    // Inside <script>, "</" must not appear: the tag characters are escaped.
    $json = json_encode($data, JSON_HEX_TAG | JSON_HEX_AMP | JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES
        | JSON_INVALID_UTF8_SUBSTITUTE);
    $blank = ['name' => '', 'href' => '', 'view' => '', 'is_dir' => false, 'size' => 0, 'mtime' => 0, 'kind' => '',
        'preview' => '', 'where' => '', 'thumb' => ''];
    return '<template id="entry-template">' . rtrim(listing_row($blank, true)) . "</template>\n"
        . '<script type="application/json" id="entries-data">' . $json . "</script>\n";
}
