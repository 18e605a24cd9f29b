// kelv_os.h - what TKelv asks of the operating system; kelv_win32.cpp and
// kelv_posix.cpp answer.
#pragma once
#include <string>
#include <vector>

namespace kelvos {

// The process's arguments as given at start; element 0 is the program.
std::vector<std::string> ProcessArguments();

// The path of the upload directory (not created here).
std::string UploadDirPath();

}  // namespace kelvos
