// upload_dir.h - where the upload directory lies and its creation.
#pragma once
#include <string>

namespace uploaddir {

// The drive part of a Windows path: "C:" for "C:\...", "\\server\share" for
// "\\server\share\...", "" for anything else.
std::string DriveOf(const std::string& path);

// The upload directory of a program file on Windows: its drive + "\Upload Directory".
std::string ForProgram(const std::string& programPath);

// Creates the directory (one level) unless a directory of that name exists.
// Raises EInOutError with the system's code when it cannot be created
// (183 when a file of that name is in the way).
void Ensure(const std::string& path);

}  // namespace uploaddir
