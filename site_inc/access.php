<?php
// access.php - who may come in: the mode the host chose (open, code or
// approve), the upload switch, the code, the devices let in, the wrong codes
// per address, the visitors of the last hour and the last transfers. Kept in
// the folder "state" beside the site root, which no URL reaches: the
// settings in access.ini (the program reads and writes them too), the rest
// in visitors.json. Every change rewrites a file whole (a temporary file,
// then a rename) under one lock, which a page waits for a few seconds at
// most. Only a state folder that holds nothing yet is a fresh site (open); a
// file that is gone while others are left, empty, not a plain file, unreadable
// or makes no sense never opens the gate: the site goes over to approve mode
// and tells the host.
require_once __DIR__ . '/ini_plain.php';

const ACCESS_MODES = ['open', 'code', 'approve'];
// No 0/O, 1/I/L: a code read off a screen is typed right.
const ACCESS_CODE_ALPHABET = '23456789ABCDEFGHJKMNPQRSTUVWXYZ';
const ACCESS_CODE_LENGTH = 10;
const ACCESS_WRONG_LIMIT = 10;
const ACCESS_WRONG_WINDOW = 600;
const ACCESS_LOCK_SECONDS = 600;
const ACCESS_DEVICE_LIFETIME = 30 * 86400;
// A device that asked and stopped asking leaves the host's list after this.
const ACCESS_WAIT_SECONDS = 900;
const ACCESS_DENIED_SECONDS = 86400;
const ACCESS_SEEN_SECONDS = 3600;
// One visitor's "seen" is written at most this often.
const ACCESS_SEEN_EVERY = 60;
const ACCESS_TRANSFERS = 100;
// Bounds on what strangers can make the site keep.
const ACCESS_MAX_DEVICES = 500;
const ACCESS_MAX_WAITING = 20;
const ACCESS_MAX_WAITING_PER_ADDRESS = 1;
const ACCESS_MAX_ADDRESSES = 500;
// A holder of the lock that never lets go costs a request this long at most.
const ACCESS_LOCK_WAIT_SECONDS = 3;
// The largest state file read; a larger one is damage.
const ACCESS_MAX_FILE_BYTES = 8 << 20;
// A waiting device asks every few seconds; one that has not for this long has stopped.
const ACCESS_ASKING_SECONDS = 60;
// A waiting device's asking is written at most this often.
const ACCESS_ASKED_EVERY = 30;
// A device the host turned away keeps its address from the waiting list this
// long; one turned away with its address blocked, as long as it is kept.
const ACCESS_DENY_BARS_SECONDS = 600;
// A device let in and used this recently is never dropped to make room for another.
const ACCESS_IN_USE_SECONDS = 3600;
// Devices let in by the code from one address within a minute.
const ACCESS_ADMITS_PER_MINUTE = 5;

function access_dir(): string
{
    return dirname(__DIR__) . DIRECTORY_SEPARATOR . 'state';
}

/** The state as a fresh site has it: open, uploads on, nobody known. */
function access_defaults(): array
{
    return ['mode' => 'open', 'uploads' => true, 'code' => '', 'damaged' => 0, 'broken' => '',
        'devices' => [], 'wrong' => [], 'locked' => [], 'seen' => [], 'transfers' => []];
}

/** The mode in force: approve whenever the state was found damaged and the host has not chosen since. */
function access_mode(array $state): string
{
    return $state['damaged'] > 0 ? 'approve' : $state['mode'];
}

function access_new_code(): string
{
    $code = '';
    for ($i = 0; $i < ACCESS_CODE_LENGTH; $i++) {
        $code .= ACCESS_CODE_ALPHABET[random_int(0, strlen(ACCESS_CODE_ALPHABET) - 1)];
    }
    return $code;
}

function access_code_valid(string $code): bool
{
    return preg_match('/^[' . ACCESS_CODE_ALPHABET . ']{8,64}\z/', $code) === 1;
}

/** A typed code as it is compared: upper case, without blanks and dashes. */
function access_code_typed(string $typed): string
{
    return strtoupper(preg_replace('/[\s-]+/', '', $typed));
}

// Devices are let in under one code: a new code forgets them all, whoever made it.
function access_code_key(string $code): string
{
    return substr(hash('sha256', 'code ' . $code), 0, 16);
}

/** The key of a device in the state: the cookie's hash, so the file holds no cookie. */
function access_device_key(string $id): string
{
    return hash('sha256', 'device ' . $id);
}

/**
 * Runs $change(&$state) under the lock with the state as stored, and stores
 * it when $change returns true (or when the state had to be repaired).
 * Returns what $change returned, or null when the state folder cannot be
 * used at all; $state is then the approve-mode fallback, with the reason in
 * 'broken'. Throws SiteBusy, having changed nothing, when the lock stays
 * taken for ACCESS_LOCK_WAIT_SECONDS.
 */
function access_update(callable $change, ?array &$state = null)
{
    $dir = access_dir();
    $lock = access_lock($dir, $broken);
    if ($lock === null) {
        $state = array_merge(access_damaged(access_defaults()), ['broken' => $broken]);
        access_known($state);
        return null;
    }
    try {
        [$state, $repair] = access_load($dir);
        $result = $change($state);
        if ($result === true) {
            access_save($dir, $state);
        } elseif ($repair) {
            try {
                access_save($dir, $state);
            } catch (RuntimeException $e) {
                // The damage stays in force all the same; the next request tries again.
            }
        }
        access_known($state);
        return $result;
    } finally {
        flock($lock, LOCK_UN);
        fclose($lock);
    }
}

/** The site's lock in $dir, held; null, with why in $broken, when the folder cannot be used. */
function access_lock(string $dir, ?string &$broken)
{
    clearstatcache();
    if (!is_dir($dir)) {
        $made = !file_exists($dir) && !is_link($dir) && (mkdir($dir, 0700) || is_dir($dir));
        if (!$made) {
            $broken = file_exists($dir) || is_link($dir) ? 'it is not a folder' : 'it cannot be made';
            return null;
        }
    }
    $lock = site_open_plain($dir . DIRECTORY_SEPARATOR . '.lock', 'c+');
    if ($lock === null) {
        $broken = 'its lock file “.lock” is not a plain file, or cannot be opened';
        return null;
    }
    // flock has no time limit of its own: a holder that never lets go would hold every page.
    $deadline = hrtime(true) + ACCESS_LOCK_WAIT_SECONDS * 1000000000;
    while (!flock($lock, LOCK_EX | LOCK_NB)) {
        if (hrtime(true) >= $deadline) {
            fclose($lock);
            throw new SiteBusy('the site\'s state stayed locked');
        }
        usleep(random_int(2000, 15000));
    }
    return $lock;
}

function access_damaged(array $state): array
{
    $state['damaged'] = $state['damaged'] ?: time();
    return $state;
}

/** [state, whether it was damaged and is now to be stored repaired]. A damaged file is kept beside as ".damaged". */
function access_load(string $dir): array
{
    clearstatcache();
    $state = access_defaults();
    $path = static fn(string $name): string => $dir . DIRECTORY_SEPARATOR . $name;
    $settings = access_read_file($path('access.ini'));
    $visitors = access_read_file($path('visitors.json'));
    // Without access.ini, only a folder that holds nothing else is a fresh site.
    $damaged = array_keys(array_filter([
        'access.ini' => $settings === null ? !access_is_fresh($dir)
            : !is_string($settings) || !access_parse_settings($settings, $state),
        'visitors.json' => $visitors !== null && (!is_string($visitors) || !access_parse_visitors($visitors, $state)),
    ]));
    if (!$damaged) {
        return [$state, false];
    }
    foreach ($damaged as $name) {
        // Moved aside, whatever it is: a pipe or a folder cannot be copied.
        if (file_exists($path($name)) || is_link($path($name))) {
            rename($path($name), $path($name) . '.damaged');
        }
    }
    return [access_damaged($state), true];
}

/** A file of the state: its text; null when nothing is there; false when it is not a plain file that can be read. */
function access_read_file(string $file): string|false|null
{
    if (lstat($file) === false) {
        return null;
    }
    $fh = site_open_plain($file, 'rb');
    if ($fh === null) {
        return false;
    }
    $text = stream_get_contents($fh, ACCESS_MAX_FILE_BYTES + 1);
    fclose($fh);
    return is_string($text) && strlen($text) <= ACCESS_MAX_FILE_BYTES ? $text : false;
}

/** Whether the state folder holds nothing yet but its lock. */
function access_is_fresh(string $dir): bool
{
    $names = scandir($dir);
    // The program's network file for the host page (and the new copy it is
    // written as) says nothing of who may come in.
    return is_array($names) && array_filter($names, static fn(string $name): bool =>
        !in_array($name, ['.', '..', '.lock'], true) && !str_starts_with($name, 'network.txt')) === [];
}

/** Reads access.ini into $state; false when it makes no sense. */
function access_parse_settings(string $text, array &$state): bool
{
    $ini = ini_plain($text, 'Access') ? parse_ini_string($text, true, INI_SCANNER_RAW) : false;
    $section = is_array($ini) ? (array_change_key_case($ini, CASE_LOWER)['access'] ?? null) : null;
    $values = is_array($section) ? array_change_key_case($section, CASE_LOWER) : null;
    if (!is_array($values) || !in_array($values['mode'] ?? '', ACCESS_MODES, true)) {
        return false;
    }
    $uploads = strtolower($values['uploads'] ?? 'on');
    $code = $values['code'] ?? '';
    $damaged = $values['damaged'] ?? '';
    if (!in_array($uploads, ['on', 'off'], true) || ($code !== '' && !access_code_valid($code))
        || ($values['mode'] === 'code' && $code === '') || !preg_match('/^[0-9]{0,12}\z/', $damaged)) {
        return false;
    }
    $state['mode'] = $values['mode'];
    $state['uploads'] = $uploads === 'on';
    $state['code'] = $code;
    $state['damaged'] = (int) $damaged;
    return true;
}

/** Reads visitors.json into $state; false when it makes no sense. */
function access_parse_visitors(string $text, array &$state): bool
{
    $data = json_decode($text, true);
    if (!is_array($data)) {
        return false;
    }
    foreach (['devices', 'wrong', 'locked', 'seen', 'transfers'] as $part) {
        if (!is_array($data[$part] ?? null)) {
            return false;
        }
    }
    foreach ($data['devices'] as $device) {
        if (!is_array($device) || !in_array($device['status'] ?? '', ['waiting', 'allowed', 'denied'], true)
            || !is_int($device['expires'] ?? null) || !is_string($device['code'] ?? null)) {
            return false;
        }
    }
    foreach (array_merge($data['wrong'], $data['locked'], $data['seen'], $data['transfers']) as $entry) {
        if (!is_array($entry) && !is_int($entry)) {
            return false;
        }
    }
    foreach (['devices', 'wrong', 'locked', 'seen', 'transfers'] as $part) {
        $state[$part] = $data[$part];
    }
    return true;
}

function access_save(string $dir, array $state): void
{
    $settings = "[Access]\r\nMode=" . $state['mode'] . "\r\nUploads=" . ($state['uploads'] ? 'on' : 'off')
        . "\r\nCode=" . $state['code'] . "\r\nDamaged=" . ($state['damaged'] ?: '') . "\r\n";
    $visitors = [];
    foreach (['devices', 'wrong', 'locked', 'seen', 'transfers'] as $part) {
        $visitors[$part] = (object) $state[$part];
    }
    $visitors['transfers'] = array_values($state['transfers']);
    access_write($dir . DIRECTORY_SEPARATOR . 'access.ini', $settings);
    access_write($dir . DIRECTORY_SEPARATOR . 'visitors.json',
        json_encode($visitors, JSON_PRETTY_PRINT | JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE) . "\n");
}

function access_write(string $file, string $text): void
{
    if (!site_write_whole($file, $text)) {
        throw new RuntimeException('the site cannot write ' . basename($file));
    }
}

/** Drops what has run out: waiting devices gone quiet, locks and tries past, old visitors; bounds the rest. */
function access_prune(array &$state, int $now): void
{
    $codeKey = access_code_key($state['code']);
    $state['devices'] = array_filter($state['devices'], static fn(array $d): bool => $d['expires'] > $now
        && ($d['status'] !== 'allowed' || $d['code'] === $codeKey));
    // Each kind on its own, so that strangers waiting never push out devices let in.
    foreach (['allowed', 'waiting', 'denied'] as $status) {
        $kind = array_filter($state['devices'], static fn(array $d): bool => $d['status'] === $status);
        uasort($kind, static fn(array $a, array $b): int => access_last_active($a) <=> access_last_active($b));
        foreach (array_slice(array_keys($kind), 0, max(0, count($kind) - ACCESS_MAX_DEVICES)) as $key) {
            unset($state['devices'][$key]);
        }
    }
    foreach ($state['wrong'] as $addr => $times) {
        $times = array_values(array_filter((array) $times, static fn($t): bool => is_int($t) && $t > $now - ACCESS_WRONG_WINDOW));
        if ($times) {
            $state['wrong'][$addr] = $times;
        } else {
            unset($state['wrong'][$addr]);
        }
    }
    $state['locked'] = array_filter($state['locked'], static fn($until): bool => is_int($until) && $until > $now);
    $state['seen'] = array_filter($state['seen'], static fn($s): bool => is_array($s)
        && ($s['time'] ?? 0) > $now - ACCESS_SEEN_SECONDS);
    foreach (['wrong', 'seen'] as $part) {
        if (count($state[$part]) > ACCESS_MAX_ADDRESSES) {
            $state[$part] = array_slice($state[$part], -ACCESS_MAX_ADDRESSES, null, true);
        }
    }
}

/** When a device was last used, asked, or answered by the host. */
function access_last_active(array $device): int
{
    return max((int) ($device['seen'] ?? 0), (int) ($device['since'] ?? 0));
}

/** Notes that a device let in was used, at most once a minute; whether that changed the state. */
function access_note_use(array &$state, string $key, int $now): bool
{
    if (($state['devices'][$key]['seen'] ?? 0) > $now - ACCESS_SEEN_EVERY) {
        return false;
    }
    $state['devices'][$key]['seen'] = $now;
    return true;
}

/** Notes that a waiting device still asks, which keeps its place; whether that changed the state. */
function access_note_asking(array &$state, string $key, int $now): bool
{
    if (($state['devices'][$key]['seen'] ?? 0) > $now - ACCESS_ASKED_EVERY) {
        return false;
    }
    $state['devices'][$key]['seen'] = $now;
    $state['devices'][$key]['expires'] = $now + ACCESS_WAIT_SECONDS;
    return true;
}

function access_still_asking(array $device, int $now): bool
{
    return ($device['seen'] ?? 0) > $now - ACCESS_ASKING_SECONDS;
}

/** Whether the host turned a device of $addr away in the last ten minutes, or blocked the address. */
function access_address_barred(array $state, string $addr, int $now): bool
{
    foreach ($state['devices'] as $d) {
        if ($d['status'] === 'denied' && ($d['addr'] ?? '') === $addr
            && (!empty($d['blocked']) || ($d['since'] ?? 0) > $now - ACCESS_DENY_BARS_SECONDS)) {
            return true;
        }
    }
    return false;
}

/** The host's answer to a device: 'allow', 'deny', or 'block' (deny, and keep its address from asking). */
function access_answer(array &$state, string $key, string $action, int $now): bool
{
    $device = $state['devices'][$key] ?? null;
    if ($device === null || !in_array($action, ['allow', 'deny', 'block'], true)) {
        return false;
    }
    $allow = $action === 'allow';
    $state['devices'][$key] = array_merge($device, [
        'status' => $allow ? 'allowed' : 'denied', 'since' => $now, 'blocked' => $action === 'block',
        'expires' => $now + ($allow ? ACCESS_DEVICE_LIFETIME : ACCESS_DENIED_SECONDS),
        'code' => access_code_key($state['code'])]);
    return true;
}

/** A device's name for the host, from its User-Agent: "iPhone, Safari", "Windows, Firefox". */
function access_device_name(string $agent): string
{
    $systems = ['iPhone' => '/iPhone/', 'iPad' => '/iPad/', 'Android' => '/Android/', 'Windows' => '/Windows/',
        'Chromebook' => '/CrOS/', 'Mac' => '/Macintosh|Mac OS X/', 'Linux' => '/Linux|X11/'];
    $browsers = ['Edge' => '/Edg(e|A|iOS)?\//', 'Opera' => '/OPR\//', 'Samsung Internet' => '/SamsungBrowser\//',
        'Firefox' => '/Firefox\/|FxiOS\//', 'Chrome' => '/Chrome\/|CriOS\//', 'Safari' => '/Safari\//',
        'curl' => '/^curl\//', 'Wget' => '/^Wget\//'];
    $name = [];
    foreach ([$systems, $browsers] as $table) {
        foreach ($table as $label => $pattern) {
            if (preg_match($pattern, $agent)) {
                $name[] = $label;
                break;
            }
        }
    }
    return $name ? implode(', ', $name) : 'Unknown device';
}

/** Notes one visit of $addr (what the gate made of it), at most once a minute unless that changed. */
function access_note_seen(array &$state, string $addr, string $what, int $now): bool
{
    $last = $state['seen'][$addr] ?? null;
    if (is_array($last) && ($last['what'] ?? '') === $what && ($last['time'] ?? 0) > $now - ACCESS_SEEN_EVERY) {
        return false;
    }
    unset($state['seen'][$addr]);  // the latest last
    $state['seen'][$addr] = ['time' => $now, 'what' => $what,
        'name' => access_device_name((string) ($_SERVER['HTTP_USER_AGENT'] ?? ''))];
    return true;
}

/** Adds transfers ([way ('down' or 'up'), name, size]) to the host's list, newest last. */
function access_note_transfers(array $transfers): void
{
    if (!$transfers) {
        return;
    }
    $addr = (string) ($_SERVER['REMOTE_ADDR'] ?? '');
    try {
        access_update(static function (array &$state) use ($transfers, $addr): bool {
            foreach ($transfers as [$way, $name, $size]) {
                $state['transfers'][] = ['way' => $way, 'name' => $name, 'size' => $size, 'time' => time(), 'addr' => $addr];
            }
            $state['transfers'] = array_slice($state['transfers'], -ACCESS_TRANSFERS);
            return true;
        });
    } catch (Throwable $e) {
        // The list is for the host's eyes: a transfer never fails for it.
    }
}

/**
 * The state as this request last read or stored it ($state, when given, is
 * that); read now when it has not been. A page asks once, however many
 * questions it has: the gate's look decides the whole request anyway.
 */
function access_known(?array $state = null): array
{
    static $known = null;
    if ($state !== null) {
        $known = $state;
    } elseif ($known === null) {
        access_update(static fn(): bool => false);
    }
    return $known;
}

/** The code for the address the host hands out: only in code mode. */
function access_code_to_hand_out(): string
{
    $state = access_known();
    return access_mode($state) === 'code' ? $state['code'] : '';
}

/** Whether uploads are on, as the host set them. */
function access_uploads_on(): bool
{
    return access_known()['uploads'];
}
