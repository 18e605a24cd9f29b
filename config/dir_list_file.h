// dir_list_file.h - the format of the shared-directory list file
// (www/dirs.ini), kept here alone: one folder a line, each line ended by
// CR LF. Read back, a line ends at CR LF, a lone CR or a lone LF, a NUL ends
// the text, and a line of blanks names no folder.
#pragma once
#include <string>
#include <vector>

namespace dirlistfile {

// The lines of text; a break at the very end adds no empty line.
std::vector<std::string> Cut(const std::string& text);

// Every line followed by CR LF, the last one too.
std::string Join(const std::vector<std::string>& lines);

// The folders that text names: its lines that are not blank, kept untrimmed.
std::vector<std::string> Folders(const std::string& text);

}  // namespace dirlistfile
