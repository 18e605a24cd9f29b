// kelv.cpp - TKelv: the settings file, the shared-directory list, the upload
// directory, the start mode and the interpreter configuration.
#include "config/kelv.h"

#include <initializer_list>

#include "base/constants.h"
#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"
#include "config/config_error.h"
#include "config/dir_list_file.h"
#include "config/ini_file.h"
#include "config/kelv_os.h"
#include "config/php_ini_quote.h"
#include "config/php_ini_template.h"
#include "config/php_modules.h"
#include "config/start_mode.h"
#include "config/upload_dir.h"

namespace {

// A file beside the program: the application directory and the given parts,
// each after one delimiter.
std::string AppPath(std::initializer_list<const char*> parts) {
  std::string path = GetAppDir();
  for (const char* part : parts) path += PathDelim() + std::string(part);
  return path;
}

std::string DirsFile() { return AppPath({"www", kSharedDirsFile}); }

TIniFile Settings() { return TIniFile(AppPath({"Setup.ini"})); }

std::string ReadAutoRun() { return text::Trim(Settings().ReadValue("Kelv", "AutoRun", "")); }

}  // namespace

void TKelv::SaveSharedDirs(const std::string& text) {
  const std::string path = DirsFile();
  const native_fs::TOsError error = native_fs::StoreBytes(path, dirlistfile::Join(dirlistfile::Cut(text)));
  if (!error.Failed()) return;
  if (!error.opened) throw EConfigError("Cannot create file \"" + path + "\". " + error.text);
  throw EConfigError("Unable to write to " + path);
}

std::string TKelv::LoadSharedDirs() {
  const std::string path = DirsFile();
  if (!native_fs::FileExists(path)) return "";
  std::string bytes;
  if (const native_fs::TOsError error = native_fs::LoadBytes(path, bytes); error.Failed())
    throw EConfigError("Cannot open file \"" + path + "\". " + error.text);
  return dirlistfile::Join(dirlistfile::Cut(bytes));
}

void TKelv::SetAutoRun(const std::string& value) { Settings().WriteValue("Kelv", "AutoRun", value); }

bool TKelv::GetAutoRun() {
  if (ReadAutoRun().empty()) SetAutoRun("1");
  return ReadAutoRun() == "1";
}

std::string TKelv::GetAddressPick() { return text::Trim(Settings().ReadValue("Kelv", "Address", "")); }

void TKelv::SetAddressPick(const std::string& address) { Settings().WriteValue("Kelv", "Address", address); }

int TKelv::GetStartMode() { return startmode::StartModeOf(kelvos::ProcessArguments()); }

std::string TKelv::GetUploadDir() {
  const std::string dir = kelvos::UploadDirPath();
  uploaddir::Ensure(dir);
  return dir;
}

void TKelv::WritePhpIni() {
  // The window must start whatever happens here: every failure is absorbed and
  // leaves the file as far as it got.
  try {
    const std::string dir = GetAppDir() + PathDelim();
    const auto inPhp = [&dir](std::initializer_list<const char*> parts) {
      std::string path = dir + "php";
      for (const char* part : parts) path += PathDelim() + std::string(part);
      return PhpIniPathValue(path);
    };
    // The user's own settings live in php/conf.d, which the interpreter reads
    // after php.ini (PHP_INI_SCAN_DIR): made when missing, never written into.
    const std::string confDir = AppPath({"php", "conf.d"});
    if (!native_fs::DirectoryExists(confDir)) native_fs::MakeDirectory(confDir);
    const std::string path = AppPath({"php", "php.ini"});
    if (native_fs::StoreBytes(path, PhpIniTemplate()).Failed()) return;
    TIniFile ini(path);
    ini.WriteValue("PHP", "default_charset", GetCharset());
    ini.WriteValue("PHP", "upload_tmp_dir", inPhp({"temp"}));
    ini.WriteValue("Session", "session.save_path", inPhp({"temp"}));
    ini.WriteValue("PHP", "extension_dir", inPhp({"extensions"}));
    ini.WriteValue("PHP", "mime_magic.magicfile", inPhp({"magic.mime"}));
    ini.WriteValue("Zend", "zend_extension_ts", inPhp({"Zend", "lib", "ZendExtensionManager.dll"}));
    ini.WriteValue("Zend", "zend_extension_manager.optimizer_ts", inPhp({"Zend", "lib", "Optimizer-2.5.7"}));
    // Logging goes on only once the log has a file: without one the interpreter
    // logs to standard error, which shares the page's output pipe.
    ini.WriteValue("PHP", "error_log", inPhp({"temp", "php_errors.log"}));
    ini.WriteValue("PHP", "log_errors", "On");
    phpmodules::EnableGd(ini, AppPath({"php"}));
  } catch (...) {
  }
}
