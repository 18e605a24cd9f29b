<?php
// mime.php - content type, kind shown in the listing and preview class of a
// file, from its extension (the interpreter has no content sniffing built in).
// extension => [content type, kind, preview]; preview is how the browser may
// show it: image, audio, video, pdf, text, or '' for download only.
const MIME_TABLE = [
    'jpg' => ['image/jpeg', 'JPEG image', 'image'],
    'jpeg' => ['image/jpeg', 'JPEG image', 'image'],
    'png' => ['image/png', 'PNG image', 'image'],
    'gif' => ['image/gif', 'GIF image', 'image'],
    'webp' => ['image/webp', 'WebP image', 'image'],
    'avif' => ['image/avif', 'AVIF image', 'image'],
    'bmp' => ['image/bmp', 'Bitmap image', 'image'],
    'ico' => ['image/x-icon', 'Icon', 'image'],
    'svg' => ['image/svg+xml', 'SVG image', 'image'],
    'tif' => ['image/tiff', 'TIFF image', ''],
    'tiff' => ['image/tiff', 'TIFF image', ''],
    'heic' => ['image/heic', 'HEIC image', ''],
    'mp3' => ['audio/mpeg', 'MP3 audio', 'audio'],
    'm4a' => ['audio/mp4', 'AAC audio', 'audio'],
    'aac' => ['audio/aac', 'AAC audio', 'audio'],
    'wav' => ['audio/wav', 'WAV audio', 'audio'],
    'ogg' => ['audio/ogg', 'Ogg audio', 'audio'],
    'oga' => ['audio/ogg', 'Ogg audio', 'audio'],
    'opus' => ['audio/ogg', 'Opus audio', 'audio'],
    'flac' => ['audio/flac', 'FLAC audio', 'audio'],
    'weba' => ['audio/webm', 'WebM audio', 'audio'],
    'wma' => ['audio/x-ms-wma', 'WMA audio', ''],
    'mp4' => ['video/mp4', 'MP4 video', 'video'],
    'm4v' => ['video/mp4', 'MP4 video', 'video'],
    'webm' => ['video/webm', 'WebM video', 'video'],
    'ogv' => ['video/ogg', 'Ogg video', 'video'],
    'mov' => ['video/quicktime', 'QuickTime video', 'video'],
    'mkv' => ['video/x-matroska', 'Matroska video', ''],
    'avi' => ['video/x-msvideo', 'AVI video', ''],
    'wmv' => ['video/x-ms-wmv', 'WMV video', ''],
    'pdf' => ['application/pdf', 'PDF document', 'pdf'],
    'txt' => ['text/plain', 'Text', 'text'],
    'log' => ['text/plain', 'Log file', 'text'],
    'md' => ['text/markdown', 'Markdown text', 'text'],
    'csv' => ['text/csv', 'CSV table', 'text'],
    'tsv' => ['text/tab-separated-values', 'TSV table', 'text'],
    'json' => ['application/json', 'JSON data', 'text'],
    'xml' => ['application/xml', 'XML document', 'text'],
    'ini' => ['text/plain', 'Settings file', 'text'],
    'cfg' => ['text/plain', 'Settings file', 'text'],
    'conf' => ['text/plain', 'Settings file', 'text'],
    'yml' => ['text/yaml', 'YAML file', 'text'],
    'yaml' => ['text/yaml', 'YAML file', 'text'],
    'srt' => ['text/plain', 'Subtitles', 'text'],
    'vtt' => ['text/vtt', 'Subtitles', 'text'],
    'html' => ['text/html', 'Web page', 'text'],
    'htm' => ['text/html', 'Web page', 'text'],
    'css' => ['text/css', 'Style sheet', 'text'],
    'js' => ['text/javascript', 'JavaScript file', 'text'],
    'php' => ['text/plain', 'PHP source', 'text'],
    'c' => ['text/plain', 'C source', 'text'],
    'h' => ['text/plain', 'C header', 'text'],
    'cpp' => ['text/plain', 'C++ source', 'text'],
    'py' => ['text/plain', 'Python source', 'text'],
    'sh' => ['text/plain', 'Shell script', 'text'],
    'bat' => ['text/plain', 'Batch file', 'text'],
    'zip' => ['application/zip', 'ZIP archive', ''],
    '7z' => ['application/x-7z-compressed', '7-Zip archive', ''],
    'rar' => ['application/vnd.rar', 'RAR archive', ''],
    'gz' => ['application/gzip', 'Gzip archive', ''],
    'tgz' => ['application/gzip', 'Gzip archive', ''],
    'tar' => ['application/x-tar', 'Tar archive', ''],
    'iso' => ['application/x-iso9660-image', 'Disc image', ''],
    'exe' => ['application/octet-stream', 'Program', ''],
    'msi' => ['application/octet-stream', 'Installer', ''],
    'apk' => ['application/vnd.android.package-archive', 'Android app', ''],
    'doc' => ['application/msword', 'Word document', ''],
    'docx' => ['application/vnd.openxmlformats-officedocument.wordprocessingml.document', 'Word document', ''],
    'xls' => ['application/vnd.ms-excel', 'Excel sheet', ''],
    'xlsx' => ['application/vnd.openxmlformats-officedocument.spreadsheetml.sheet', 'Excel sheet', ''],
    'ppt' => ['application/vnd.ms-powerpoint', 'PowerPoint slides', ''],
    'pptx' => ['application/vnd.openxmlformats-officedocument.presentationml.presentation', 'PowerPoint slides', ''],
    'odt' => ['application/vnd.oasis.opendocument.text', 'Text document', ''],
    'ods' => ['application/vnd.oasis.opendocument.spreadsheet', 'Spreadsheet', ''],
    'epub' => ['application/epub+zip', 'E-book', ''],
    'ttf' => ['font/ttf', 'Font', ''],
    'otf' => ['font/otf', 'Font', ''],
    'woff' => ['font/woff', 'Font', ''],
    'woff2' => ['font/woff2', 'Font', ''],
];

/** [content type, kind, preview] of a file name; unknown names are plain downloads. */
function mime_info(string $name): array
{
    $dot = strrpos($name, '.');
    if ($dot !== false && $dot > 0) {
        $ext = strtolower(substr($name, $dot + 1));
        if (isset(MIME_TABLE[$ext])) {
            return MIME_TABLE[$ext];
        }
        if ($ext !== '' && strlen($ext) <= 8 && preg_match('/^[a-z0-9]+$/', $ext)) {
            return ['application/octet-stream', strtoupper($ext) . ' file', ''];
        }
    }
    return ['application/octet-stream', 'File', ''];
}
