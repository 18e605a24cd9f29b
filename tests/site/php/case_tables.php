<?php
// case_tables.php - the site's side of the case tables in tests/cases, bytes
// in and out as base64 (they need not be UTF-8); run by
// pure_functions.test.js through pure_functions.php's calls.
function case_dirs_ini(?string $text): array
{
    $paths = static fn (bool $windows): array => array_map(static fn (array $share): string =>
        base64_encode($share['path']), shares_parse(base64_decode((string) $text), $windows));
    return [$paths(false), $paths(true)];
}

/** [mode, damaged, uploads, code] of a state folder whose access.ini holds $text; none for null. */
function case_access_ini(?string $text): array
{
    $dir = sys_get_temp_dir() . '/access-case-' . bin2hex(random_bytes(6));
    mkdir($dir, 0700);
    if ($text !== null) {
        file_put_contents($dir . '/access.ini', base64_decode($text));
    }
    [$state] = access_load($dir);
    array_map('unlink', glob($dir . '/*'));
    rmdir($dir);
    return [access_mode($state), $state['damaged'] > 0 ? 'yes' : 'no', $state['uploads'] ? 'on' : 'off', $state['code']];
}

require __DIR__ . '/pure_functions.php';
