<?php
// Reports the request body's length and MD5, read in pieces so that a body of
// any size passes under the interpreter's memory limit.
$in = fopen('php://input', 'rb');
$md5 = hash_init('md5');
$length = 0;
while (($piece = fread($in, 65536)) !== false && $piece !== '') {
    $length += strlen($piece);
    hash_update($md5, $piece);
}
echo $length, ' ', hash_final($md5), "\n";
