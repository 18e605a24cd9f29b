// start_mode.h - which first argument marks an automatic start (the command
// line splits with text::SplitCommandLine).
#pragma once
#include <string>
#include <vector>

namespace startmode {

// 0 when the first argument after the program, letters a to z upper-cased,
// is "-AUTO"; 1 for any other first argument or none.
int StartModeOf(const std::vector<std::string>& arguments);

}  // namespace startmode
