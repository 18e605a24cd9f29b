<?php
// visitor.php - the site's own cookie, one per browser: random, readable by
// no script, sent on no POST from another site. Forms' tokens are bound to it
// and the host lets devices in by it.
const VISITOR_COOKIE = 'ostrel_device';
const VISITOR_LIFETIME = 30 * 86400;

/** The id of the cookie the browser sent, or null when it sent none (or a malformed one). */
function visitor_known_id(): ?string
{
    $id = $_COOKIE[VISITOR_COOKIE] ?? null;
    return is_string($id) && preg_match('/^[0-9a-f]{48}\z/', $id) ? $id : null;
}

/** This browser's id: the one it sent, or a new one that this reply sets. */
function visitor_id(): string
{
    return visitor_known_id() ?? visitor_new_id();
}

/** A new id of 192 random bits, set as the cookie by this reply. */
function visitor_new_id(): string
{
    $id = bin2hex(random_bytes(24));
    $_COOKIE[VISITOR_COOKIE] = $id;
    setcookie(VISITOR_COOKIE, $id, [
        'expires' => time() + VISITOR_LIFETIME,
        'path' => '/',
        'httponly' => true,
        'samesite' => 'Lax',
    ]);
    return $id;
}
