// zip_names.cpp - the rules for names in an archive that Windows would
// otherwise write elsewhere, or under another name, than the name says.
#include "getphp/zip_names.h"

#include <cctype>
#include <map>
#include <set>

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// CON, NUL, COM1 and the rest name devices in every folder, with any extension.
bool DeviceName(const std::string& part) {
  const std::string stem = Lower(part.substr(0, part.find('.')));
  static const std::set<std::string> devices = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  if (devices.count(stem) != 0) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '0' &&
         stem[3] <= '9';
}

// Why one name may not be unpacked; "" when it may.
std::string FaultOf(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (name[0] == '/' || name[0] == '\\') return "an absolute name";
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') return "a drive letter";
  for (unsigned char c : name) {
    if (c == ':') return "a \":\" (a stream)";
    if (c < 0x20 || c == 0x7F) return "a control character";
    if (c >= 0x80) return "a character outside ASCII";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') return "a character Windows refuses";
  }
  const std::vector<std::string> parts = NameParts(name);
  for (const std::string& part : parts) {
    if (part.empty()) return "an empty part";
    if (part == "..") return "a \"..\" segment";
    if (part == ".") return "a \".\" segment";
    // Windows drops trailing dots and blanks: "php.exe." would be php.exe.
    if (part.back() == '.' || part.back() == ' ') return "a part ending in a dot or blank";
    if (DeviceName(part)) return "a device name";
  }
  return "";
}

std::string Quoted(const std::string& name) { return "entry \"" + name + "\": "; }

}  // namespace

std::vector<std::string> NameParts(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (c == '/' || c == '\\') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty() || parts.empty()) parts.push_back(part);
  return parts;
}

std::string RefusalOfEntryNames(const std::vector<std::string>& names) {
  enum TKind { File, Folder };
  // Every path the archive would make, compared as Windows compares names,
  // with whether it is a file or a folder; and the names given outright.
  std::map<std::string, TKind> made;
  std::set<std::string> given;
  for (const std::string& name : names) {
    const std::string fault = FaultOf(name);
    if (!fault.empty()) return Quoted(name) + fault;
    const std::vector<std::string> parts = NameParts(name);
    const bool folder = name.back() == '/' || name.back() == '\\';
    std::string path;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      path += (i == 0 ? "" : "/") + Lower(parts[i]);
      const TKind kind = i + 1 < parts.size() || folder ? Folder : File;
      auto [at, added] = made.emplace(path, kind);
      if (!added && (at->second != kind || kind == File))
        return Quoted(name) + "another entry has the same name, letter case aside";
    }
    if (!given.insert(path).second) return Quoted(name) + "another entry has the same name, letter case aside";
  }
  return "";
}
