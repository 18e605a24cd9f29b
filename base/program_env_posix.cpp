// program_env_posix.cpp - program path, delimiter, character set and start
// time on Linux.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/program_env.h"
#include "base/text.h"

char PathDelim() { return '/'; }

std::string GetExePath() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::string GetCharset() {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) {
      locale = value;
      break;
    }
  }
  std::string upper = text::UpperAscii(locale);
  if (upper.find("UTF-8") != std::string::npos || upper.find("UTF8") != std::string::npos) return "utf-8";
  return upper.rfind("ZH_CN", 0) == 0 ? "gb2312" : "iso-8859-1";
}

namespace {

// The number after the label in /proc/stat ("btime 1700000000").
long long BootTime() {
  std::ifstream stat("/proc/stat");
  std::string label;
  long long value = 0;
  while (stat >> label) {
    if (label == "btime" && stat >> value) return value;
    stat.ignore(1 << 20, '\n');
  }
  return 0;
}

// Field 22 of /proc/self/stat: the start in clock ticks after the boot. The
// program's name (field 2) may hold blanks, so the fields are counted after ")".
long long StartTicks() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  for (int n = 3; n <= 22 && fields >> field; ++n)
    if (n == 22) return std::atoll(field.c_str());
  return 0;
}

}  // namespace

std::chrono::system_clock::time_point ProgramStartTime() {
  const long long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
  const auto sinceBoot = std::chrono::milliseconds(StartTicks() * 1000 / (ticksPerSecond > 0 ? ticksPerSecond : 100));
  return std::chrono::system_clock::time_point(std::chrono::seconds(BootTime())) + sinceBoot;
}
