<?php
// layout.php - the frame shared by the site's HTML pages: head, top bar with
// breadcrumbs, and the end of the page.
const SITE_TITLE = 'Ostrel File Sharing';

/**
 * Sends the headers and the page up to <main>. $crumbs: [label, href or null]
 * from the top down; $data: data-* attributes of <body> for the script.
 */
function layout_open(string $title, array $crumbs, array $data = []): void
{
    site_page_headers();
    $attrs = '';
    foreach ($data as $key => $value) {
        $attrs .= ' data-' . $key . '="' . h((string) $value) . '"';
    }
    echo "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        . "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        . "<meta name=\"color-scheme\" content=\"light dark\">\n"
        . '<title>' . h($title === SITE_TITLE ? $title : $title . ' – ' . SITE_TITLE) . "</title>\n"
        . "<link rel=\"icon\" href=\"/assets/icon.svg\" type=\"image/svg+xml\">\n"
        . "<link rel=\"stylesheet\" href=\"/assets/site.css\">\n"
        . "<link rel=\"stylesheet\" href=\"/assets/list.css\">\n"
        . "<script src=\"/assets/qr.js\" defer></script>\n"
        . "<script src=\"/assets/site.js\" defer></script>\n"
        . "<script src=\"/assets/list.js\" defer></script>\n"
        . "<script src=\"/assets/upload.js\" defer></script>\n"
        . "</head>\n<body$attrs>\n"
        . "<a class=\"skip\" href=\"#main\">Skip to the content</a>\n<header class=\"top\">\n"
        . '<a class="brand" href="/">' . h(SITE_TITLE) . "</a>\n"
        . layout_crumbs($crumbs) . layout_host_link() . "</header>\n<main class=\"page\" id=\"main\" tabindex=\"-1\">\n";
}

function layout_crumbs(array $crumbs): string
{
    $items = '';
    $last = count($crumbs) - 1;
    foreach ($crumbs as $i => [$label, $href]) {
        $items .= ($i === $last || $href === null)
            ? '<li aria-current="page">' . h($label) . '</li>'
            : '<li><a href="' . h($href) . '">' . h($label) . '</a></li>';
    }
    return '<nav class="crumbs" aria-label="Breadcrumbs"><ol>' . $items . "</ol></nav>\n";
}

// The host is offered its own page.
function layout_host_link(): string
{
    return site_is_host() ? "<a class=\"host-link\" href=\"/host.php\">Host settings</a>\n" : '';
}

function layout_close(): void
{
    echo "</main>\n</body>\n</html>\n";
}

/** Bytes of an interpreter size setting such as "2047M". */
function layout_ini_bytes(string $value): int
{
    $value = trim($value);
    $number = (int) $value;
    switch (strtoupper(substr($value, -1))) {
        case 'G':
            return $number * 1073741824;
        case 'M':
            return $number * 1048576;
        case 'K':
            return $number * 1024;
    }
    return $number;
}
