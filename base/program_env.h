// program_env.h - the program's own facts, which every floor may ask: where its
// file and its directory are, its path delimiter, the character set of its
// replies and when it started. Any thread may call them.
#pragma once
#include <chrono>
#include <string>

// The directory of the program file, without a trailing delimiter; a program
// in the root of a drive gives "C:" rather than "C:\", so that "\www" appends
// cleanly. The directory a test has put in its place, when one has.
std::string GetAppDir();
// Tests lay out their own application directories; "" restores the real one.
void OverrideAppDir(const std::string& dir);

std::string GetExePath();
char PathDelim();  // '\\' on Windows, '/' elsewhere

// "gb2312" for a user whose language is Chinese (Simplified), else
// "iso-8859-1"; on Linux "utf-8" under a UTF-8 locale.
std::string GetCharset();

// When this process started, on the clock that file times are read on.
std::chrono::system_clock::time_point ProgramStartTime();
