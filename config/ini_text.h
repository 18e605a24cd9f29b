// ini_text.h - reading and setting one value in initialization-file text, apart
// from any file: the subset of the Windows profile format the settings rely on.
#pragma once
#include <optional>
#include <string>

namespace initext {

// Values longer than this are cut, as the profile functions' buffer does.
constexpr std::size_t kMaxValue = 2047;

// The value of key in the first section named section: the text after the
// first "=", blanks and tabs trimmed, one enclosing pair of matching quotes
// removed. Names compare without regard to ASCII letter case; the first
// matching key wins. nullopt when the section or the key is missing.
std::optional<std::string> ReadValue(const std::string& text, const std::string& section, const std::string& key);

// Whether every reader of the format reads text alike, the site's own
// interpreter too (whose reader takes the last of a key given twice, cuts a
// value at ";", keeps single quotes and refuses some names): each line is
// blank, a comment (";" first), a section header "[name]" at the line's start
// (letters, digits, "_", "." and "-"), or key=value with such a key beginning
// with a letter (none of null, yes, no, true, false, on, off, none) and a value
// without control bytes, quotes or ";". The section named section comes at
// most once and holds each key at most once (names without regard to ASCII
// case).
bool IsPlain(const std::string& text, const std::string& section);

// The text with key=value set in section: the key's line replaced in place,
// or a line inserted after the section's last non-blank line, or the section
// and the entry appended at the end. Every other line keeps its bytes; new
// lines end in CR LF. The value goes in exactly as given.
std::string WriteValue(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value);

}  // namespace initext
