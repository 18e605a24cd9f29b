// interpreter_check.h - whether the interpreter beside the program can run
// pages: it is run once with -v at Start, and only a CGI build is used. A
// command-line build reads its program from standard input and would hold
// every page's connection open for good.
#pragma once
#include <cstdint>
#include <string>

enum class TInterpreterKind {
  Missing,      // no interpreter file
  Cgi,          // a version line naming "(cgi-fcgi)" or "(cgi)": used
  CommandLine,  // a version line naming "(cli)": refused
  NotCgi,       // any other version line, none, or none in time: refused
};

struct TInterpreterCheck {
  std::string Path;  // the file as the gateway would start it; "" when missing
  TInterpreterKind Kind = TInterpreterKind::Missing;
  std::uint32_t ExitCode = 0;  // of the -v run, when it ended in time
};

// How long the -v run may take before the interpreter counts as not answering.
constexpr int kVersionQueryLimitMs = 5000;

// The kind that the output of a -v run shows. Start-up warnings may come
// before the version line ("PHP 8.2.7 (cgi-fcgi) (built: ...)").
TInterpreterKind KindOfVersionOutput(const std::string& output);

// Runs path with -v (hidden, standard input empty, the first 64 KiB of its
// output kept, ended at the time limit) and classifies what it printed.
TInterpreterCheck CheckInterpreter(const std::string& path);
