<?php
// hidden.php - the one name the site keeps to itself in every shared folder:
// the upload directory's place for unfinished uploads (upload_parts.php). The
// upload directory may itself be shared, or lie inside a shared folder, so no
// listing, search, download, preview, thumbnail or zip may reach the place,
// by its name or through a link: shares.php takes neither the name nor any
// path inside the place for one inside a share.
const HIDDEN_PARTS_NAME = '.ostrel-partial';

/** Whether $name is the hidden place's, in any case: Windows opens it by any. */
function hidden_name(string $name): bool
{
    return strcasecmp($name, HIDDEN_PARTS_NAME) === 0;
}

/** Whether the resolved path $real is the hidden place or lies inside it. */
function hidden_path(string $real): bool
{
    foreach (preg_split('~[/\\\\]~', $real) as $name) {
        if (hidden_name($name)) {
            return true;
        }
    }
    return false;
}
