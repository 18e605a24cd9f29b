<?php
// format.php - sizes and dates as a visitor reads them.
function format_size(int|float $bytes): string
{
    if ($bytes < 1024) {
        return $bytes . ($bytes == 1 ? ' byte' : ' bytes');
    }
    $units = ['KB', 'MB', 'GB', 'TB', 'PB'];
    $value = $bytes / 1024;
    $unit = 0;
    while ($value >= 1024 && $unit < count($units) - 1) {
        $value /= 1024;
        $unit++;
    }
    return ($value < 10 ? number_format($value, 1) : number_format($value, 0, '.', ',')) . ' ' . $units[$unit];
}

// UTC on the server; the page's script turns it into the visitor's local time.
function format_date(int $mtime): string
{
    return gmdate('Y-m-d H:i', $mtime) . ' UTC';
}

function format_iso_date(int $mtime): string
{
    return gmdate('Y-m-d\TH:i:s\Z', $mtime);
}
