// kelv_win32.cpp - the command line and the upload directory on Windows.
#include <windows.h>

#include "base/program_env.h"
#include "base/text.h"
#include "config/kelv_os.h"
#include "config/upload_dir.h"

namespace kelvos {

std::vector<std::string> ProcessArguments() { return text::SplitCommandLine(GetCommandLineA()); }

// Beside the drive root of the program file, not inside the program's folder.
std::string UploadDirPath() { return uploaddir::ForProgram(GetExePath()); }

}  // namespace kelvos
