<?php
// 64 MiB in pieces of 64 KiB: more than the pipes and socket buffers hold, so
// a client that does not read keeps the interpreter waiting on its output.
header('Content-Type: application/octet-stream');
$piece = str_repeat('0123456789abcdef', 4096);
for ($i = 0; $i < 1024; $i++) {
    echo $piece;
    flush();
}
