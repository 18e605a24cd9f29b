<?php
// token.php - the forms' tokens and where a POST comes from. A token is a
// signature, with a secret only this server knows, over the form's name and
// the visitor's own cookie (visitor.php): another site can neither read our
// page to copy one nor make one, and a token copied from elsewhere is worth
// nothing without the browser's cookie, which a POST from another site does
// not carry. A POST that says it comes from another site is refused first.
require_once __DIR__ . '/visitor.php';

const TOKEN_SECRET_FILE = 'ostrel-site-secret.key';

// Kept beside the interpreter's upload files, outside the site root, so that
// no URL reaches it.
function token_secret_path(): string
{
    $dir = ini_get('upload_tmp_dir');
    if (!is_string($dir) || $dir === '' || !is_dir($dir)) {
        $dir = sys_get_temp_dir();
    }
    return rtrim($dir, '/\\') . DIRECTORY_SEPARATOR . TOKEN_SECRET_FILE;
}

function token_secret(): ?string
{
    $file = token_secret_path();
    for ($attempt = 0; $attempt < 50; $attempt++) {
        $key = is_file($file) ? file_get_contents($file) : false;
        if (is_string($key) && preg_match('/^[0-9a-f]{64}$/', $key)) {
            return $key;
        }
        if ($key === false) {
            // 'x' creates the file only when it is not there, so two first
            // requests at once cannot end up with two different secrets.
            $fh = fopen($file, 'x');
            if ($fh !== false) {
                chmod($file, 0600);
                fwrite($fh, bin2hex(random_bytes(32)));
                fclose($fh);
                continue;
            }
        } elseif (time() - (int) filemtime($file) > 5) {
            unlink($file);  // left half-written by a page that died
            continue;
        }
        usleep(20000);
    }
    return null;
}

/** The token of form $form for this visitor (setting the cookie when it has none); '' without a secret. */
function token_make(string $form): string
{
    $secret = token_secret();
    return $secret === null ? '' : hash_hmac('sha256', $form . "\n" . visitor_id(), $secret);
}

/** Whether the POST's body, never its query, holds exactly this visitor's token of form $form. */
function token_check(string $form): bool
{
    return token_valid($form, $_POST['token'] ?? null);
}

/** Whether $given is exactly this visitor's token of form $form. */
function token_valid(string $form, $given): bool
{
    $id = visitor_known_id();
    $secret = token_secret();
    if (!is_string($given) || $id === null || $secret === null) {
        return false;
    }
    return hash_equals(hash_hmac('sha256', $form . "\n" . $id, $secret), $given);
}

/**
 * Whether a POST comes from a page of this site: its Origin, or without one
 * its Referer, names the site the request was sent to. With $required, one of
 * them must be there; without, a program that sends neither passes.
 */
function token_same_site(bool $required): bool
{
    $site = 'http://' . strtolower(trim((string) ($_SERVER['HTTP_HOST'] ?? '')));
    $origin = $_SERVER['HTTP_ORIGIN'] ?? null;
    if (is_string($origin) && $origin !== '') {
        return strtolower($origin) === $site;
    }
    $referer = $_SERVER['HTTP_REFERER'] ?? null;
    if (is_string($referer) && $referer !== '') {
        return str_starts_with(strtolower($referer), $site . '/');
    }
    return !$required;
}
