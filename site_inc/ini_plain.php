<?php
// ini_plain.php - whether an INI text is in the form that every reader of it
// reads alike: the interpreter's reader here and the program's
// (config/ini_text), which differ on a key given twice, quotes, ";" inside a
// value, blanks before a section and some names. A text in any other form is
// read by neither (tests/cases/access_ini.txt holds both to the same cases).
const INI_PLAIN_RESERVED = ['null', 'yes', 'no', 'true', 'false', 'on', 'off', 'none'];

/**
 * Each line is blank, a comment (";" first), a section header "[name]" at the
 * line's start (letters, digits, "_", "." and "-"), or key=value with such a
 * key beginning with a letter (not a reserved word) and a value without
 * control bytes, quotes or ";"; $section comes at most once and holds each
 * key at most once (names without regard to case).
 */
function ini_plain(string $text, string $section): bool
{
    $inSection = false;
    $sectionSeen = false;
    $keys = [];
    foreach (preg_split('/\r\n|\r|\n/', $text) as $line) {
        $body = trim($line, " \t");
        if ($body === '' || preg_match('/^;[^\x00-\x1f\x7f]*\z/', $body)) {
            continue;
        }
        if (preg_match('/^\[([A-Za-z0-9_.-]+)\][ \t]*\z/', $line, $m)) {
            $inSection = strcasecmp($m[1], $section) === 0;
            if ($inSection && $sectionSeen) {
                return false;
            }
            $sectionSeen = $sectionSeen || $inSection;
            continue;
        }
        if (!preg_match('/^([A-Za-z][A-Za-z0-9_.-]*)[ \t]*=[ \t]*[^\x00-\x1f\x7f;"\']*\z/', $body, $m)
            || in_array(strtolower($m[1]), INI_PLAIN_RESERVED, true)) {
            return false;
        }
        if ($inSection) {
            if (isset($keys[strtolower($m[1])])) {
                return false;
            }
            $keys[strtolower($m[1])] = true;
        }
    }
    return true;
}
