// start_mode.cpp - command-line splitting and the "-auto" test.
#include "config/start_mode.h"

#include "base/text.h"

namespace startmode {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  for (;;) {
    while (i < n && isBlank(commandLine[i])) ++i;
    if (i >= n) return arguments;
    std::string argument;
    bool quoted = false;
    for (; i < n && (quoted || !isBlank(commandLine[i])); ++i) {
      if (commandLine[i] == '"')
        quoted = !quoted;
      else
        argument += commandLine[i];
    }
    arguments.push_back(argument);
  }
}

int StartModeOf(const std::vector<std::string>& arguments) {
  std::string first = arguments.size() > 1 ? arguments[1] : std::string();
  return text::UpperAscii(first) == "-AUTO" ? 0 : 1;
}

}  // namespace startmode
