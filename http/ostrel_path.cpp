// ostrel_path.cpp - mapping a URL path to a file under the site root.
#include "base/text.h"
#include "http/native_fs.h"
#include "http/ostrel.h"

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
  std::string r = ToNativePath(root);
  std::string u = ToNativePath(url);
  if (!u.empty() && u.back() == PathDelim())
    return CheckInRoot(r, FindDefaultDoc(r + u, defaultDocs, delimiter));
  std::string p = ToNativePath(r + u);
  // A directory named without its slash gets the redirect target; no file of
  // it is served until the request comes back through the root check above.
  switch (native_fs::KindOf(p)) {
    case native_fs::TPathKind::Directory: return ToUrlPath(u + PathDelim());
    case native_fs::TPathKind::File: return CheckInRoot(r, p);
    default: return "";
  }
}
