<?php
// host_uploads.php - the uploads still arriving, at the top of the host
// page's list of transfers: each with its bytes so far, moving or resting
// (a phone asleep, a network gone). Once whole, an upload leaves this list
// and is listed as a finished transfer.

// An upload that received a byte this recently is in progress; else it rests.
const HOST_UPLOADS_MOVING = 60;

/** Cells of the transfer table (host.php) for each unfinished upload, the latest first. */
function host_uploads_rows(): array
{
    // Only now: the upload rules stand behind the gate, which the page's own
    // check of the host must come before.
    require_once __DIR__ . '/upload_parts.php';
    $dir = upload_dir();
    $rows = [];
    foreach ($dir === null ? [] : parts_in_progress($dir) as $file) {
        $meta = $file['meta'];
        $name = '<span class="host-name">' . h($meta['name']) . '</span>';
        $rows[] = [host_time($file['touched']),
            $file['touched'] >= time() - HOST_UPLOADS_MOVING ? 'Upload, in progress' : 'Upload, paused', $name,
            '<progress max="' . max(1, $meta['size']) . '" value="' . $file['held'] . '" aria-label="Upload of '
                . h($meta['name']) . '"></progress> ' . h(format_size($file['held']) . ' of '
                . format_size($meta['size'])),
            h((string) ($meta['addr'] ?? ''))];
    }
    return $rows;
}
