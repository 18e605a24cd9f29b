// dir_list_file.h - cutting text into lines and joining them with CR LF, as the
// shared-directory list file is read and written.
#pragma once
#include <string>
#include <vector>

namespace textlines {

// Breaks at CR LF, lone CR and lone LF; a break at the very end adds no empty
// line; a NUL ends the text.
std::vector<std::string> Cut(const std::string& text);

// Every line followed by CR LF, the last one too.
std::string Join(const std::vector<std::string>& lines);

}  // namespace textlines
