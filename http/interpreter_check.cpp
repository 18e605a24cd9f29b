// interpreter_check.cpp - the verdict on the interpreter from what -v prints.
#include "http/interpreter_check.h"

#include "sys/console.h"

namespace {

// A version line is short; a program that writes on and on is not PHP.
constexpr std::size_t kVersionOutputCap = 64 * 1024;

bool IsVersionLine(const std::string& line) {
  return line.size() > 4 && line.compare(0, 4, "PHP ") == 0 && line[4] >= '0' && line[4] <= '9';
}

bool Names(const std::string& line, const char* build) { return line.find(build) != std::string::npos; }

}  // namespace

TInterpreterKind KindOfVersionOutput(const std::string& output) {
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(at, end - at);
    at = end + 1;
    if (!IsVersionLine(line)) continue;
    if (Names(line, " (cgi-fcgi)") || Names(line, " (cgi)")) return TInterpreterKind::Cgi;
    if (Names(line, " (cli)")) return TInterpreterKind::CommandLine;
    return TInterpreterKind::NotCgi;
  }
  return TInterpreterKind::NotCgi;
}

TInterpreterCheck CheckInterpreter(const std::string& path) {
  TInterpreterCheck check;
  if (path.empty()) return check;
  check.Path = path;
  std::string output;
  const bool ended =
      console::RunBounded(path, {"-v"}, {kVersionQueryLimitMs, kVersionOutputCap}, output, &check.ExitCode);
  check.Kind = ended ? KindOfVersionOutput(output) : TInterpreterKind::NotCgi;
  return check;
}
