// start_mode.cpp - the "-auto" test.
#include "config/start_mode.h"

#include "base/text.h"

namespace startmode {

int StartModeOf(const std::vector<std::string>& arguments) {
  std::string first = arguments.size() > 1 ? arguments[1] : std::string();
  return text::UpperAscii(first) == "-AUTO" ? 0 : 1;
}

}  // namespace startmode
