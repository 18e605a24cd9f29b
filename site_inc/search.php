<?php
// search.php - names below a folder that hold every word typed, regardless of
// case and accents, nearest first, bounded in length, time and count so that
// neither a whole disk nor a hostile query can tie a page up.
const SEARCH_MAX_RESULTS = 500;
const SEARCH_MAX_SECONDS = 5.0;
const SEARCH_MAX_FOLDERS = 20000;
const SEARCH_MAX_CHARS = 300;
const SEARCH_MAX_WORDS = 12;

/** The query's words, folded; null when the query is longer than a search may be. */
function search_words(string $query): ?array
{
    $chars = preg_match('//u', $query) ? preg_match_all('/./su', $query) : strlen($query);
    if ($chars > SEARCH_MAX_CHARS) {
        return null;
    }
    $words = preg_split('/\s+/', fold_text(trim($query)), -1, PREG_SPLIT_NO_EMPTY);
    return count($words) > SEARCH_MAX_WORDS ? null : $words;
}

/** Whether $name holds every word of search_words. */
function search_matches(array $words, string $name): bool
{
    $name = fold_text($name);
    // Case beyond ASCII (Greek, Cyrillic) is left to the expression's own folding.
    $unicode = preg_match('//u', $name) === 1;
    foreach ($words as $word) {
        $hit = $unicode && preg_match('//u', $word)
            ? preg_match('/' . preg_quote($word, '/') . '/iu', $name) === 1
            : strpos($name, $word) !== false;
        if (!$hit) {
            return false;
        }
    }
    return true;
}

/**
 * Entries below $dir (inside $root) whose names match; each carries 'rel', its
 * path relative to $dir. 'stopped' says why the search ended early, or ''.
 */
function search_below(string $root, string $dir, string $query): array
{
    $words = search_words($query);
    if ($words === null) {
        return ['results' => [], 'stopped' => 'long'];
    }
    $results = [];
    if (!$words) {
        return ['results' => $results, 'stopped' => ''];
    }
    $deadline = microtime(true) + SEARCH_MAX_SECONDS;
    $queue = [''];
    for ($next = 0; $next < count($queue); $next++) {
        if ($next >= SEARCH_MAX_FOLDERS) {
            return ['results' => $results, 'stopped' => 'limit'];
        }
        $rel = $queue[$next];
        $queue[$next] = null;
        $native = $rel === '' ? $dir : $dir . site_sep() . str_replace('/', site_sep(), $rel);
        // One huge folder, or a slow disk, must not outlast the deadline either.
        $children = search_read($root, $native, $deadline);
        shares_sort($children);
        foreach ($children as $child) {
            $child['rel'] = $rel === '' ? $child['name'] : $rel . '/' . $child['name'];
            if (search_matches($words, $child['name'])) {
                if (count($results) >= SEARCH_MAX_RESULTS) {
                    return ['results' => $results, 'stopped' => 'count'];
                }
                $results[] = $child;
            }
            // A link to a folder could lead round in a circle.
            if ($child['is_dir'] && !is_link($native . site_sep() . $child['name'])) {
                $queue[] = $child['rel'];
            }
        }
        if (microtime(true) > $deadline) {
            return ['results' => $results, 'stopped' => 'limit'];
        }
    }
    return ['results' => $results, 'stopped' => ''];
}

/** shares_list of one folder, cut short when the deadline passes. */
function search_read(string $root, string $dir, float $deadline): array
{
    $handle = opendir($dir);
    if ($handle === false) {
        return [];
    }
    $entries = [];
    while (microtime(true) <= $deadline && ($name = readdir($handle)) !== false) {
        $entry = shares_entry($root, $dir, $name);
        if ($entry !== null) {
            $entries[] = $entry;
        }
    }
    closedir($handle);
    return $entries;
}
