// kelv.h - TKelv: the settings kept between runs (Setup.ini, www/dirs.ini), the
// upload directory, the start mode and the interpreter's php.ini. Class-level
// functions only; each call opens and closes its file. Main thread only.
// Failures are raised as EConfigError (config/config_error.h), whose what() is
// the text the window shows.
#pragma once
#include <string>

class TKelv {
 public:
  TKelv() = delete;

  // Replaces the shared-directory list file with the lines of text, each ended by CR LF.
  // Raises "Cannot create file "<path>". <system text>" when it cannot be created.
  static void SaveSharedDirs(const std::string& text);
  // The list file's lines, each followed by CR LF; "" when there is no file.
  // Raises "Cannot open file "<path>". <system text>" when it exists but cannot be read.
  static std::string LoadSharedDirs();
  // Raises "Unable to write to <path>" when Setup.ini cannot be written.
  static void SetAutoRun(const std::string& value);
  // True when AutoRun is "1"; an absent or blank value is written as "1" first.
  static bool GetAutoRun();
  // The address the user picked in the window to give out ("" for the
  // program's own choice); it holds while the machine has that address.
  static std::string GetAddressPick();
  // Raises "Unable to write to <path>" when Setup.ini cannot be written.
  static void SetAddressPick(const std::string& address);
  // 0 when the first command-line argument is "-auto" (any letter case), else 1.
  static int GetStartMode();
  // The upload directory, created when missing: the program's drive + "\Upload
  // Directory" on Windows, $HOME + "/Upload Directory" on Linux. Raises
  // EInOutError with the system's code when it cannot be created.
  static std::string GetUploadDir();
  // Writes php/php.ini from the stored template, with the error log named and
  // logging on after the seven keys, and makes php/conf.d when it is missing;
  // never raises.
  static void WritePhpIni();
};
