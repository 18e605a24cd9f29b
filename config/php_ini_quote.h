// php_ini_quote.h - a path as a value of the interpreter's own ini syntax.
#pragma once
#include <string>

// The path unchanged when the interpreter reads it back as written (blanks
// included); enclosed in single quotes, which it reads raw, when it holds a
// character that its syntax takes for an operator, a quote or a comment, as
// in "C:\Program Files (x86)\...". A path that also holds a single quote has no
// raw form and is written unchanged.
std::string PhpIniPathValue(const std::string& path);
