// release_list.cpp - reading releases.json with nlohmann/json and picking the
// build that the program can run.
#include "getphp/release_list.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

namespace {

using nlohmann::json;

// "8.10.1" after "8.9.12": numeric parts compared one by one.
std::vector<long> VersionParts(const std::string& version) {
  std::vector<long> parts;
  std::size_t at = 0;
  while (at < version.size() && std::isdigit(static_cast<unsigned char>(version[at]))) {
    char* end = nullptr;
    parts.push_back(std::strtol(version.c_str() + at, &end, 10));
    at = static_cast<std::size_t>(end - version.c_str());
    if (at >= version.size() || version[at] != '.') break;
    ++at;
  }
  return parts;
}

// The Visual Studio number of an "nts-vsNN-x64" (or older "nts-vcNN-x64")
// build; -1 for any other build.
int NtsX64Toolset(const std::string& key) {
  if (key.size() < 11 || (key.compare(0, 6, "nts-vs") != 0 && key.compare(0, 6, "nts-vc") != 0)) return -1;
  if (key.compare(key.size() - 4, 4, "-x64") != 0) return -1;
  const std::string number = key.substr(6, key.size() - 10);
  if (number.empty() || number.size() > 3) return -1;
  for (char c : number)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::atoi(number.c_str());
}

// The version is shown to the user and printed as a line of its own: digits
// and dots, and at most a short suffix ("8.5.0RC1"), nothing that could break
// or fake a line.
bool PlainVersion(const std::string& version) {
  if (version.empty() || version.size() > 32 || !std::isdigit(static_cast<unsigned char>(version[0]))) return false;
  for (char c : version)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+') return false;
  return true;
}

// The zip is fetched from beside the list: a plain file name, nothing that
// could lead elsewhere.
bool PlainZipName(const std::string& name) {
  if (name.size() < 5 || name.size() > 200 || name[0] == '.') return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".zip" && name.find("..") == std::string::npos;
}

bool Sha256Text(std::string& text) {
  if (text.size() != 64) return false;
  for (char& c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return true;
}

std::string StringAt(const json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The build's zip as a candidate; false when its entry is unusable.
bool ReadBuild(const std::string& version, const std::string& key, const json& build, TPhpRelease& out) {
  if (!build.is_object()) return false;
  auto zip = build.find("zip");
  if (zip == build.end() || !zip->is_object()) return false;
  out.Version = version;
  out.Build = key;
  out.ZipName = StringAt(*zip, "path");
  out.Sha256 = StringAt(*zip, "sha256");
  out.Size = 0;
  if (auto size = zip->find("size"); size != zip->end()) {
    if (size->is_string())
      out.Size = SizeFromText(size->get<std::string>());
    else if (size->is_number_unsigned())
      out.Size = size->get<std::uint64_t>();
  }
  return PlainZipName(out.ZipName) && Sha256Text(out.Sha256);
}

bool Newer(const TPhpRelease& a, int aToolset, const TPhpRelease& b, int bToolset) {
  std::vector<long> va = VersionParts(a.Version), vb = VersionParts(b.Version);
  if (va != vb) return va > vb;
  return aToolset > bToolset;
}

}  // namespace

std::string ChooseRelease(const std::string& text, TPhpRelease& release) {
  if (text.size() > kMaxReleaseListBytes) return "the release list is larger than 1 MB";
  const json list = json::parse(text, nullptr, false);
  if (list.is_discarded()) return "the release list is not valid JSON";
  if (!list.is_object()) return "the release list holds no versions";
  bool found = false;
  int bestToolset = -1;
  for (const auto& [minor, entry] : list.items()) {
    if (!entry.is_object()) continue;
    const std::string version = StringAt(entry, "version");
    if (!PlainVersion(version)) continue;
    for (const auto& [key, build] : entry.items()) {
      const int toolset = NtsX64Toolset(key);
      TPhpRelease candidate;
      if (toolset < 0 || !ReadBuild(version, key, build, candidate)) continue;
      if (!found || Newer(candidate, toolset, release, bestToolset)) {
        release = candidate;
        bestToolset = toolset;
        found = true;
      }
    }
  }
  return found ? "" : "the release list names no x64 Non Thread Safe build of PHP";
}

std::uint64_t SizeFromText(const std::string& text) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !(number > 0) || number > 1e12) return 0;
  std::string unit(end);
  while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
  for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  double scale = 0;
  if (unit.empty() || unit == "B")
    scale = 1;
  else if (unit == "KB" || unit == "K")
    scale = 1024;
  else if (unit == "MB" || unit == "M")
    scale = 1024.0 * 1024;
  else if (unit == "GB" || unit == "G")
    scale = 1024.0 * 1024 * 1024;
  return scale > 0 ? static_cast<std::uint64_t>(std::llround(number * scale)) : 0;
}

std::string SizeForPeople(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
  else
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024));
  return text;
}

std::uint64_t DownloadLimit(const TPhpRelease& release) {
  if (release.Size == 0) return kMaxZipBytes;
  // The list rounds to hundredths of a megabyte; 1 MB and 5 % above it is ample.
  const std::uint64_t limit = release.Size + release.Size / 20 + 1024 * 1024;
  return limit < kMaxZipBytes ? limit : kMaxZipBytes;
}
