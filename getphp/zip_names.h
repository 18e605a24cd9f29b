// zip_names.h - whether the names in a downloaded archive may be unpacked on
// Windows: each must land inside the folder it is unpacked into, under the
// name it shows, and no two may land on the same file.
#pragma once
#include <string>
#include <vector>

// "" when every name may be unpacked; otherwise why the archive is refused,
// naming the first entry at fault. Names use "/" ("\" counts as one too);
// a folder's name ends in "/".
std::string RefusalOfEntryNames(const std::vector<std::string>& names);

// The name's parts between separators, the empty last part of a folder's name
// left out: "ext/php_curl.dll" gives {"ext", "php_curl.dll"}.
std::vector<std::string> NameParts(const std::string& name);
