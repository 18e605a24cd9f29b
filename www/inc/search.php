<?php
// search.php - names below a folder that hold every word typed, nearest
// first, bounded in time and count so that a whole disk cannot tie a page up.
if (!defined('OSTREL_SITE')) {
    header_remove('X-Powered-By');  // so that the status is the first line out
    header('Status: 404 Not Found');
    exit;
}

const SEARCH_MAX_RESULTS = 500;
const SEARCH_MAX_SECONDS = 5.0;
const SEARCH_MAX_FOLDERS = 20000;

/** Case-blind matchers, one per word; Unicode-aware where the text is UTF-8. */
function search_matchers(string $query): array
{
    $matchers = [];
    foreach (preg_split('/\s+/', trim($query), -1, PREG_SPLIT_NO_EMPTY) as $word) {
        $unicode = preg_match('//u', $word) === 1;
        $pattern = '/' . preg_quote($word, '/') . '/i' . ($unicode ? 'u' : '');
        $matchers[] = static function (string $name) use ($pattern, $word): bool {
            $hit = preg_match($pattern, $name);
            return $hit === false ? stripos($name, $word) !== false : $hit === 1;
        };
    }
    return $matchers;
}

/**
 * Entries below $dir (inside $root) whose names match; each carries 'rel', its
 * path relative to $dir. 'stopped' says why the search ended early, or ''.
 */
function search_below(string $root, string $dir, string $query): array
{
    $matchers = search_matchers($query);
    $results = [];
    if (!$matchers) {
        return ['results' => $results, 'stopped' => ''];
    }
    $deadline = microtime(true) + SEARCH_MAX_SECONDS;
    $queue = [''];
    for ($next = 0; $next < count($queue); $next++) {
        if ($next >= SEARCH_MAX_FOLDERS || microtime(true) > $deadline) {
            return ['results' => $results, 'stopped' => 'limit'];
        }
        $rel = $queue[$next];
        $queue[$next] = null;
        $native = $rel === '' ? $dir : $dir . site_sep() . str_replace('/', site_sep(), $rel);
        $children = shares_list($root, $native);
        shares_sort($children);
        foreach ($children as $child) {
            $child['rel'] = $rel === '' ? $child['name'] : $rel . '/' . $child['name'];
            if (search_matches($matchers, $child['name'])) {
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
    }
    return ['results' => $results, 'stopped' => ''];
}

function search_matches(array $matchers, string $name): bool
{
    foreach ($matchers as $matches) {
        if (!$matches($name)) {
            return false;
        }
    }
    return true;
}
