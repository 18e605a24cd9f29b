<?php
// shares.php - the shared directories of dirs.ini, and the one road by which a
// visitor's path becomes a file: checked name by name, resolved, and kept
// inside its shared directory.
// No shared name is told to anyone the gate holds back.
require_once __DIR__ . '/gate.php';
require_once __DIR__ . '/hidden.php';

const SHARES_REFUSED = 'This address is not allowed: it points outside the shared folders.';

/** The listed directories in file order: ['path' => native path, 'label' => shown name]. */
function shares_load(): array
{
    $file = dirname(__DIR__) . DIRECTORY_SEPARATOR . 'www' . DIRECTORY_SEPARATOR . 'dirs.ini';
    $text = is_file($file) ? file_get_contents($file) : '';
    return is_string($text) ? shares_parse($text, site_is_windows()) : [];
}

/**
 * The directories that dirs.ini's text names, as the program reads its lines
 * (a line ends at CR LF, CR or LF; a NUL ends the text; a line of bytes up to
 * the space names none), each kept when it is an absolute path of $windows or
 * of Linux. tests/cases/dirs_ini.txt holds both readers to the same cases.
 */
function shares_parse(string $text, bool $windows): array
{
    $nul = strpos($text, "\0");
    if ($nul !== false) {
        $text = substr($text, 0, $nul);
    }
    $shares = [];
    foreach (preg_split('/\r\n|\r|\n/', $text) as $line) {
        if (trim($line, "\x00..\x20") === '') {
            continue;
        }
        $path = $windows ? shares_windows_root($line) : shares_posix_root($line);
        if ($path !== null) {
            $shares[] = ['path' => $path, 'label' => shares_label($path, $windows)];
        }
    }
    return $shares;
}

// Only absolute paths count: a relative line would depend on the page's
// working directory.
function shares_posix_root(string $line): ?string
{
    if ($line[0] !== '/') {
        return null;
    }
    $path = rtrim($line, '/');
    return $path === '' ? '/' : $path;
}

function shares_windows_root(string $line): ?string
{
    // The program writes the list in the ANSI code page; the file functions
    // here take UTF-8.
    if (preg_match('/[\x80-\xff]/', $line) && function_exists('sapi_windows_cp_conv')) {
        $converted = sapi_windows_cp_conv(sapi_windows_cp_get('ansi'), 65001, $line);
        if (is_string($converted)) {
            $line = $converted;
        }
    }
    $line = str_replace('/', '\\', $line);
    if (preg_match('/^([A-Za-z]):\\\\?$/', $line, $m)) {
        return strtoupper($m[1]) . ':\\';  // "D:" alone would mean D's current directory
    }
    if (preg_match('/^[A-Za-z]:\\\\/', $line) || preg_match('/^\\\\\\\\[^\\\\]+\\\\[^\\\\]+/', $line)) {
        return rtrim($line, '\\');
    }
    return null;
}

function shares_label(string $path, bool $windows): string
{
    if (preg_match('/^([A-Za-z]):\\\\$/', $path, $m)) {
        return $m[1] . ':';
    }
    if ($path === '/') {
        return '/';
    }
    $cut = strrpos($path, $windows ? '\\' : '/');
    return $cut === false ? $path : substr($path, $cut + 1);
}

/** Whether a single name may be used in a path at all (also hides such entries). */
function shares_name_ok(string $name): bool
{
    if ($name === '' || $name === '.' || $name === '..' || strlen($name) > 1024 || hidden_name($name)) {
        return false;
    }
    if (preg_match('/[\x00-\x1f\x7f\\\\\/]/', $name)) {
        return false;
    }
    if (site_is_windows()) {
        // Drive letters, streams, device names and names that Windows trims
        // would reach something other than what they say.
        if (preg_match('/[<>:"|?*]/', $name) || preg_match('/[. ]$/', $name)) {
            return false;
        }
        if (preg_match('/^(con|prn|aux|nul|com[0-9]|lpt[0-9]|conin\$|conout\$)(\..*)?$/i', $name)) {
            return false;
        }
    }
    return true;
}

/** The visitor's relative path ("a/b/c", one trailing "/" allowed) as names, or null. */
function shares_segments(string $rel): ?array
{
    if ($rel === '') {
        return [];
    }
    if (strlen($rel) > 8192) {
        return null;
    }
    if (substr($rel, -1) === '/') {
        $rel = substr($rel, 0, -1);
    }
    $segments = explode('/', $rel);
    foreach ($segments as $segment) {
        if (!shares_name_ok($segment)) {
            return null;
        }
    }
    return $segments;
}

/**
 * Whether the resolved path $real lies inside the shared directory $root, and
 * outside the place the site keeps to itself there (hidden.php).
 */
function shares_inside(string $root, string $real): bool
{
    if (hidden_path($real)) {
        return false;
    }
    $sep = site_sep();
    if (site_is_windows()) {
        $root = strtolower($root);
        $real = strtolower($real);
    }
    if ($real === $root) {
        return true;
    }
    $prefix = rtrim($root, $sep) . $sep;
    return strncmp($real, $prefix, strlen($prefix)) === 0;
}

/**
 * Resolves shared directory number $d and the relative path $rel, or ends the
 * request with a 403 or 404 page. $kind is 'dir', 'file' or 'any'.
 */
function shares_resolve(array $shares, string $d, string $rel, string $kind): array
{
    if (!preg_match('/^[0-9]{1,6}$/', $d) || (int) $d >= count($shares)) {
        site_error(404, 'There is no such shared folder. The list may have changed: go back and reload.');
    }
    $share = $shares[(int) $d];
    $segments = shares_segments($rel);
    if ($segments === null) {
        site_error(403, SHARES_REFUSED);
    }
    $root = realpath($share['path']);
    if ($root === false || !is_dir($root)) {
        site_error(404, 'This shared folder is not available right now.');
    }
    $full = $segments ? rtrim($root, site_sep()) . site_sep() . implode(site_sep(), $segments) : $root;
    $real = realpath($full);
    if ($real === false) {
        site_error(404, 'The file or folder was not found. It may have been moved or deleted.');
    }
    if (!shares_inside($root, $real)) {
        site_error(403, SHARES_REFUSED);
    }
    $isDir = is_dir($real);
    if ($kind === 'dir' && !$isDir) {
        site_error(404, 'This is not a folder.');
    }
    // Only plain files: a pipe or a device could block or never end.
    if ($kind === 'file' && !is_file($real)) {
        site_error(404, 'This is not a file that can be downloaded.');
    }
    return [
        'index' => (int) $d,
        'label' => $share['label'],
        'root' => $root,
        'real' => $real,
        'segments' => $segments,
        'rel' => implode('/', $segments),
    ];
}

/**
 * One directory's entries: name, is_dir, size, mtime, and dev and ino of what
 * the name stands for (a link's target). Links that lead out of
 * $root, broken links and special files are left out.
 */
function shares_list(string $root, string $dir): array
{
    $names = scandir($dir);
    if ($names === false) {
        return [];
    }
    $entries = [];
    foreach ($names as $name) {
        $entry = shares_entry($root, $dir, $name);
        if ($entry !== null) {
            $entries[] = $entry;
        }
    }
    return $entries;
}

function shares_entry(string $root, string $dir, string $name): ?array
{
    if (!shares_name_ok($name)) {
        return null;
    }
    $path = rtrim($dir, site_sep()) . site_sep() . $name;
    if (is_link($path)) {
        $target = realpath($path);
        if ($target === false || !shares_inside($root, $target)) {
            return null;
        }
    }
    $st = stat($path);
    if ($st === false) {
        return null;
    }
    $type = $st['mode'] & 0170000;
    if ($type !== 0040000 && $type !== 0100000) {
        return null;
    }
    $isDir = $type === 0040000;
    return ['name' => $name, 'is_dir' => $isDir, 'size' => $isDir ? 0 : $st['size'], 'mtime' => $st['mtime'],
        'dev' => $st['dev'], 'ino' => $st['ino']];
}

/** Folders first, then names in natural order regardless of case. */
function shares_sort(array &$entries): void
{
    usort($entries, static function (array $a, array $b): int {
        if ($a['is_dir'] !== $b['is_dir']) {
            return $a['is_dir'] ? -1 : 1;
        }
        return strnatcasecmp($a['name'], $b['name']);
    });
}

/** The query string that names a place: d=<n>&p=<path>. */
function shares_query(int $index, string $rel): string
{
    $query = 'd=' . $index;
    if ($rel !== '') {
        $query .= '&p=' . str_replace('%2F', '/', rawurlencode($rel));
    }
    return $query;
}

function shares_child(string $rel, string $name): string
{
    return $rel === '' ? $name : $rel . '/' . $name;
}
