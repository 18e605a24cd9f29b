// site_access.cpp - reading and setting the site's access settings.
#include "config/site_access.h"

#include <algorithm>
#include <vector>

#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"
#include "config/ini_text.h"

namespace {

constexpr char kSection[] = "Access";

bool IsMode(const std::string& mode) { return mode == "open" || mode == "code" || mode == "approve"; }

bool IsCode(const std::string& code) {
  return code.size() >= 8 && code.size() <= 64 &&
         code.find_first_not_of(kCodeAlphabet) == std::string::npos;
}

std::string Value(const std::string& text, const char* key, const std::string& absent) {
  return initext::ReadValue(text, kSection, key).value_or(absent);
}

// The same rules as the site's own reading: anything it would refuse, or
// could read otherwise than this reader (initext::IsPlain), is damage.
bool IsSound(const std::string& text) {
  if (!initext::IsPlain(text, kSection)) return false;
  const std::string mode = Value(text, "Mode", "");
  const std::string uploads = text::UpperAscii(Value(text, "Uploads", "on"));
  const std::string code = Value(text, "Code", "");
  const std::string damaged = Value(text, "Damaged", "");
  return IsMode(mode) && (uploads == "ON" || uploads == "OFF") && (code.empty() || IsCode(code)) &&
         (mode != "code" || !code.empty()) && damaged.size() <= 12 &&
         std::ranges::all_of(damaged, [](char c) { return c >= '0' && c <= '9'; });
}

// No state folder at all, or one that holds nothing but the lock and the
// program's network file: nothing was ever stored, so nothing can have been lost.
bool IsFresh(const std::string& stateDir) {
  if (native_fs::EntryKindOf(stateDir) == native_fs::TPathKind::None) return true;
  std::vector<std::string> names;
  return native_fs::KindOf(stateDir) == native_fs::TPathKind::Directory && native_fs::EntryNamesIn(stateDir, names) &&
         std::ranges::all_of(names, [](const std::string& name) {
           return name == kSiteLockFile || name.starts_with(kSiteNetworkFile);
         });
}

}  // namespace

TSiteAccess ParseSiteAccess(const std::string& text) {
  TSiteAccess access;
  const bool sound = IsSound(text);
  const std::string damaged = Value(text, "Damaged", "");
  access.Code = sound ? Value(text, "Code", "") : "";
  // A damage notice that the host has not answered yet keeps approve in force.
  access.Damaged = !sound || damaged.find_first_not_of('0') != std::string::npos;
  access.Mode = access.Damaged ? "approve" : Value(text, "Mode", "");
  return access;
}

std::string SiteStateDir() { return GetAppDir() + PathDelim() + kSiteStateDir; }

TSiteAccess LoadSiteAccess(const std::string& stateDir) {
  std::string text;
  const native_fs::TOsError error = native_fs::LoadPlainBytes(stateDir + PathDelim() + kSiteAccessFile, text);
  if (error.Failed() && error.missing && IsFresh(stateDir)) return {};
  return ParseSiteAccess(error.Failed() ? "" : text);
}

TSiteAccess LoadSiteAccess() { return LoadSiteAccess(SiteStateDir()); }

std::string AddressToHandOut(const std::string& address, const TSiteAccess& access) {
  return access.Mode == "code" ? address + "/?code=" + access.Code : address;
}

std::string MakeCode(const std::function<unsigned char()>& randomByte) {
  constexpr std::size_t size = sizeof(kCodeAlphabet) - 1;
  constexpr unsigned limit = 256 - 256 % size;
  std::string code;
  while (code.size() < kCodeLength) {
    const unsigned byte = randomByte();
    if (byte < limit) code += kCodeAlphabet[byte % size];
  }
  return code;
}

std::string WithSiteMode(const std::string& text, const std::string& mode, const std::function<std::string()>& newCode) {
  std::string result = IsSound(text) ? text : "[Access]\r\nMode=open\r\nUploads=on\r\nCode=\r\n";
  result = initext::WriteValue(result, kSection, "Mode", mode);
  result = initext::WriteValue(result, kSection, "Damaged", "");
  if (mode == "code" && !IsCode(Value(result, "Code", ""))) result = initext::WriteValue(result, kSection, "Code", newCode());
  return result;
}
