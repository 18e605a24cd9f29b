<?php
// Echoes the request's method: the bench's PHP page.
echo $_SERVER['REQUEST_METHOD'], "\n";
