// ostrel_path.cpp - mapping a URL path to a file under the site root.
#include <algorithm>

#include "base/native_fs.h"
#include "base/program_env.h"
#include "base/text.h"
#include "http/ostrel.h"

namespace {

// CR and LF would end the redirect's Location line and start lines of the
// visitor's own; no name of the site needs any control byte.
bool HasControlByte(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
}

bool DirectoryInRoot(const std::string& root, const std::string& dir) {
  const std::string canonical = TOstrel::CombinePath(dir, "");
  return !canonical.empty() && native_fs::IsInside(root, canonical);
}

}  // namespace

std::string TOstrel::ToWinPath(const std::string& path) {
  std::string s = path;
  for (char& c : s)
    if (c == '/') c = '\\';
  return text::ReplaceAllRepeatedly(s, "\\\\", "\\");
}

std::string TOstrel::ToUrlPath(const std::string& path) {
  std::string s = path;
  for (char& c : s)
    if (c == '\\') c = '/';
  return text::ReplaceAllRepeatedly(s, "//", "/");
}

std::string TOstrel::ToNativePath(const std::string& path) {
  return PathDelim() == '\\' ? ToWinPath(path) : ToUrlPath(path);
}

std::string TOstrel::CombinePath(const std::string& fileName, const std::string& dir) {
  return native_fs::Combine(ToNativePath(fileName), ToNativePath(dir));
}

std::string TOstrel::CheckInRoot(const std::string& root, const std::string& fileName) {
  std::string r = ToNativePath(root);
  std::string f = ToNativePath(fileName);
  if (f.empty()) return "";
  f = CombinePath(f, "");
  if (!native_fs::IsInside(r, f) || !native_fs::IsPlainName(f) || !native_fs::FileExists(f)) return "";
  return f;
}

std::string TOstrel::FindDefaultDoc(const std::string& dir, const std::string& defaultDocs,
                                    const std::string& delimiter) {
  std::string rest = defaultDocs;
  while (!rest.empty()) {
    // The delimiter is matched without regard to case, like a line break.
    std::size_t at = std::string::npos;
    for (std::size_t i = 0; !delimiter.empty() && i + delimiter.size() <= rest.size(); ++i) {
      if (text::SameTextAscii(rest.substr(i, delimiter.size()), delimiter)) {
        at = i;
        break;
      }
    }
    std::string line = rest.substr(0, at);
    rest = at == std::string::npos ? "" : rest.substr(at + delimiter.size());
    if (text::Trim(line).empty()) continue;
    std::string candidate = ToNativePath(dir + PathDelim() + line);
    if (native_fs::FileExists(candidate)) return candidate;
  }
  return "";
}

std::string TOstrel::MapUrlToFile(const std::string& root, const std::string& url,
                                  const std::string& defaultDocs, const std::string& delimiter) {
  if (HasControlByte(url)) return "";
  std::string r = ToNativePath(root);
  std::string u = ToNativePath(url);
  if (!u.empty() && u.back() == PathDelim())
    return CheckInRoot(r, FindDefaultDoc(r + u, defaultDocs, delimiter));
  std::string p = ToNativePath(r + u);
  // A directory named without its slash gets the redirect target, but only one
  // inside the root: the redirect must not tell which folders exist elsewhere.
  switch (native_fs::KindOf(p)) {
    case native_fs::TPathKind::Directory: return DirectoryInRoot(r, p) ? ToUrlPath(u + PathDelim()) : "";
    case native_fs::TPathKind::File: return CheckInRoot(r, p);
    default: return "";
  }
}
