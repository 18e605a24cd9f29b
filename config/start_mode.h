// start_mode.h - the command-line rules behind the start mode: how the
// Windows command line splits into arguments, and which first argument marks
// an automatic start.
#pragma once
#include <string>
#include <vector>

namespace startmode {

// Blanks (any byte up to the space) separate arguments; double quotes group
// blanks into one argument and are removed. Element 0 is the program.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// 0 when the first argument after the program, letters a to z upper-cased,
// is "-AUTO"; 1 for any other first argument or none.
int StartModeOf(const std::vector<std::string>& arguments);

}  // namespace startmode
