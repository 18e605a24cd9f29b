<?php
// wait.php - what the host has made of a device that waits at the gate, for
// the waiting page's script: {"state": "waiting"}, "allowed", "denied" or
// "none" (unknown, or no longer waited for). Asking keeps the device on the
// host's list.
require dirname(__DIR__) . '/site_inc/bootstrap.php';
require_once dirname(__DIR__) . '/site_inc/visitor.php';
require_once dirname(__DIR__) . '/site_inc/access.php';

$id = visitor_known_id();
$answer = 'none';
access_update(static function (array &$state) use ($id, &$answer): bool {
    $now = time();
    access_prune($state, $now);
    $key = $id === null ? null : access_device_key($id);
    $device = $key === null ? null : ($state['devices'][$key] ?? null);
    $answer = $device['status'] ?? (access_mode($state) === 'open' ? 'allowed' : 'none');
    return $answer === 'waiting' && access_note_asking($state, $key, $now);
});
site_json(['state' => site_is_host() ? 'allowed' : $answer]);
