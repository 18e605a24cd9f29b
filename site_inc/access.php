<?php
// access.php - who may come in: the mode the host chose (open, code or
// approve), the upload switch, the code, the devices let in, the wrong codes
// per address, the visitors of the last hour and the last transfers. Kept in
// the folder "state" beside the site root, which no URL reaches: the
// settings in access.ini (the program reads and writes them too), the rest
// in visitors.json. Every change rewrites a file whole (a temporary file,
// then a rename) under one lock. A file that cannot be read or makes no sense
// never opens the gate: the site goes over to approve mode and tells the host.
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
const ACCESS_MAX_WAITING_PER_ADDRESS = 3;
const ACCESS_MAX_ADDRESSES = 500;

function access_dir(): string
{
    return dirname(__DIR__) . DIRECTORY_SEPARATOR . 'state';
}

/** The state as a fresh site has it: open, uploads on, nobody known. */
function access_defaults(): array
{
    return ['mode' => 'open', 'uploads' => true, 'code' => '', 'damaged' => 0,
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
 * used at all; $state is then the approve-mode fallback.
 */
function access_update(callable $change, ?array &$state = null)
{
    $dir = access_dir();
    // Where no state can ever be kept, there is none to be damaged: the site is as it always was.
    if (!is_dir($dir) && !mkdir($dir, 0700) && !is_dir($dir)) {
        $state = access_defaults();
        return null;
    }
    $lock = fopen($dir . DIRECTORY_SEPARATOR . '.lock', 'c');
    if ($lock === false || !flock($lock, LOCK_EX)) {
        $state = access_damaged(access_defaults());
        return null;
    }
    try {
        [$state, $repair] = access_load($dir);
        $result = $change($state);
        if ($result === true || $repair) {
            access_save($dir, $state);
        }
        return $result;
    } finally {
        flock($lock, LOCK_UN);
        fclose($lock);
    }
}

function access_damaged(array $state): array
{
    $state['damaged'] = $state['damaged'] ?: time();
    return $state;
}

/** [state, whether it was damaged and is now to be stored repaired]. A damaged file is kept beside. */
function access_load(string $dir): array
{
    $state = access_defaults();
    $settings = access_read_file($dir . DIRECTORY_SEPARATOR . 'access.ini');
    $visitors = access_read_file($dir . DIRECTORY_SEPARATOR . 'visitors.json');
    $okSettings = $settings === '' || access_parse_settings($settings, $state);
    $okVisitors = $visitors === '' || access_parse_visitors($visitors, $state);
    if ($okSettings && $okVisitors) {
        return [$state, false];
    }
    foreach (['access.ini' => $okSettings, 'visitors.json' => $okVisitors] as $file => $ok) {
        if (!$ok) {
            copy($dir . DIRECTORY_SEPARATOR . $file, $dir . DIRECTORY_SEPARATOR . $file . '.damaged');
        }
    }
    return [access_damaged($state), true];
}

/** The file's text; '' when there is none; null when it exists but cannot be read. */
function access_read_file(string $file): ?string
{
    if (!file_exists($file)) {
        return '';
    }
    $text = file_get_contents($file);
    return is_string($text) ? $text : null;
}

/** Reads access.ini into $state; false when it makes no sense. */
function access_parse_settings(?string $text, array &$state): bool
{
    $ini = $text === null || !ini_plain($text, 'Access') ? false : parse_ini_string($text, true, INI_SCANNER_RAW);
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
function access_parse_visitors(?string $text, array &$state): bool
{
    $data = $text === null ? null : json_decode($text, true);
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

// Whole or not at all: a reader never sees half a file.
function access_write(string $file, string $text): void
{
    $temp = $file . '.' . bin2hex(random_bytes(6)) . '.tmp';
    if (file_put_contents($temp, $text) !== strlen($text) || !rename($temp, $file)) {
        unlink($temp);
        throw new RuntimeException('the site cannot write ' . basename($file));
    }
}

/** Drops what has run out: waiting devices gone quiet, locks and tries past, old visitors; bounds the rest. */
function access_prune(array &$state, int $now): void
{
    $codeKey = access_code_key($state['code']);
    $state['devices'] = array_filter($state['devices'], static fn(array $d): bool => $d['expires'] > $now
        && ($d['status'] !== 'allowed' || $d['code'] === $codeKey));
    if (count($state['devices']) > ACCESS_MAX_DEVICES) {
        uasort($state['devices'], static fn(array $a, array $b): int => ($b['seen'] ?? 0) <=> ($a['seen'] ?? 0));
        $state['devices'] = array_slice($state['devices'], 0, ACCESS_MAX_DEVICES, true);
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

/** The code for the address the host hands out: only in code mode. */
function access_code_to_hand_out(): string
{
    access_update(static fn(): bool => false, $state);
    return access_mode($state) === 'code' ? $state['code'] : '';
}

/** Whether uploads are on, as the host set them. */
function access_uploads_on(): bool
{
    access_update(static fn(): bool => false, $state);
    return $state['uploads'];
}
