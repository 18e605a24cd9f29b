<?php
// pure_functions.php - runs the site's pure helpers on fixed inputs and prints
// the results as JSON, so that rules this machine cannot reach through the
// server (Windows paths) are checked too; and the site's side of the case
// tables in tests/cases. Run by pure_functions.test.js.
$inc = getenv('SITE_INC');
foreach (['bootstrap', 'shares', 'upload_dir', 'send', 'fold', 'search', 'picture', 'thumbs'] as $file) {
    require "$inc/$file.php";
}

/** The folders that dirs.ini's $text shares on Linux and on Windows, in base64: they need not be UTF-8. */
function case_dirs_ini(?string $text): array
{
    $paths = static fn (bool $windows): array => array_map(static fn (array $share): string =>
        base64_encode($share['path']), shares_parse((string) $text, $windows));
    return [$paths(false), $paths(true)];
}

/** [mode, damaged, uploads, code] of a state folder whose access.ini holds $text; none for null. */
function case_access_ini(?string $text): array
{
    $dir = sys_get_temp_dir() . '/access-case-' . bin2hex(random_bytes(6));
    mkdir($dir, 0700);
    if ($text !== null) {
        file_put_contents($dir . '/access.ini', $text);
    }
    [$state] = access_load($dir);
    array_map('unlink', glob($dir . '/*'));
    rmdir($dir);
    return [access_mode($state), $state['damaged'] > 0 ? 'yes' : 'no', $state['uploads'] ? 'on' : 'off', $state['code']];
}

$input = json_decode(stream_get_contents(fopen('php://stdin', 'rb')), true);
$out = [];
foreach ($input as [$function, $args]) {
    // {"hex": "..."} stands for the bytes it spells, which JSON cannot carry.
    $args = array_map(static fn ($arg) => is_array($arg) && isset($arg['hex']) ? hex2bin($arg['hex']) : $arg, $args);
    $out[] = $function(...$args);
}
header('Content-Type: application/json');
echo json_encode($out);
