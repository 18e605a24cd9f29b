<?php
// token.php - the upload form's token. A POST reaches the page without its
// cookies, so the token is a signature, over the time it was made, with a
// secret that only this server knows: another site can neither read our
// page to copy one nor make one itself.
if (!defined('OSTREL_SITE')) {
    header_remove('X-Powered-By');  // so that the status is the first line out
    header('Status: 404 Not Found');
    exit;
}

const TOKEN_LIFETIME = 86400;
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

function token_make(): string
{
    $secret = token_secret();
    if ($secret === null) {
        return '';
    }
    $time = (string) time();
    return $time . '-' . hash_hmac('sha256', 'upload-form ' . $time, $secret);
}

function token_check(string $token): bool
{
    if (!preg_match('/^([0-9]{1,12})-([0-9a-f]{64})$/', $token, $m)) {
        return false;
    }
    $age = time() - (int) $m[1];
    if ($age < -300 || $age > TOKEN_LIFETIME) {
        return false;
    }
    $secret = token_secret();
    return $secret !== null && hash_equals(hash_hmac('sha256', 'upload-form ' . $m[1], $secret), $m[2]);
}
