// install_plan.cpp - the plan of moves into php\ and its careful execution.
#include "getphp/install_plan.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "getphp/unpack.h"
#include "getphp/zip_names.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The user's settings (conf.d), the interpreter's temporary files (temp) and
// the program's php.ini are never replaced, whatever the archive holds.
bool Kept(const std::string& path) {
  const std::string lower = Lower(path);
  const std::string first = lower.substr(0, lower.find('/'));
  return first == "conf.d" || first == "temp" || lower == "php.ini";
}

std::size_t Depth(const std::string& path) {
  return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

std::string Do(const TInstallStep& step, const TInstallFolders& f, TFolderOps& ops) {
  const std::string inPhp = PathUnder(f.Php, step.Path);
  switch (step.Kind) {
    case TInstallStep::MakeFolder:
      return ops.MakeFolder(inPhp);
    case TInstallStep::PutIn:
      return ops.Move(PathUnder(f.Unpacked, step.Path), inPhp);
    case TInstallStep::SetAside: {
      // The set-aside folder mirrors php\ as far as this path needs.
      const std::vector<std::string> parts = NameParts(step.Path);
      std::string relative;
      for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        relative += (i == 0 ? "" : "/") + parts[i];
        const std::string folder = PathUnder(f.SetAside, relative);
        if (ops.KindOf(folder) == TFolderOps::TKind::None) {
          std::string error = ops.MakeFolder(folder);
          if (!error.empty()) return error;
        }
      }
      return ops.Move(inPhp, PathUnder(f.SetAside, step.Path));
    }
  }
  return "";
}

std::string Undo(const TInstallStep& step, const TInstallFolders& f, TFolderOps& ops) {
  const std::string inPhp = PathUnder(f.Php, step.Path);
  switch (step.Kind) {
    case TInstallStep::MakeFolder:
      return ops.RemoveAll(inPhp);
    case TInstallStep::PutIn:
      return ops.Move(inPhp, PathUnder(f.Unpacked, step.Path));
    case TInstallStep::SetAside:
      return ops.Move(PathUnder(f.SetAside, step.Path), inPhp);
  }
  return "";
}

}  // namespace

std::vector<TInstallStep> PlanInstall(const std::vector<std::string>& entryNames,
                                      const std::function<TFolderOps::TKind(const std::string&)>& kindInPhp) {
  std::vector<std::string> folders, files;
  std::set<std::string> seen;
  for (const std::string& name : entryNames) {
    const std::vector<std::string> parts = NameParts(name);
    const bool isFolder = name.back() == '/' || name.back() == '\\';
    std::string path;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      path += (i == 0 ? "" : "/") + parts[i];
      if (Kept(path) || !seen.insert(Lower(path)).second) continue;
      (i + 1 < parts.size() || isFolder ? folders : files).push_back(path);
    }
  }
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) < Depth(b); });

  std::vector<TInstallStep> steps;
  for (const std::string& folder : folders) {
    const TFolderOps::TKind there = kindInPhp(folder);
    if (there == TFolderOps::TKind::Folder) continue;
    if (there == TFolderOps::TKind::File) steps.push_back({TInstallStep::SetAside, folder});
    steps.push_back({TInstallStep::MakeFolder, folder});
  }
  for (const std::string& file : files) {
    if (kindInPhp(file) != TFolderOps::TKind::None) steps.push_back({TInstallStep::SetAside, file});
    steps.push_back({TInstallStep::PutIn, file});
  }
  return steps;
}

std::string CarryOut(const std::vector<TInstallStep>& steps, const TInstallFolders& folders, TFolderOps& ops) {
  const bool phpMade = ops.KindOf(folders.Php) == TFolderOps::TKind::None;
  std::string error = phpMade ? ops.MakeFolder(folders.Php) : "";
  if (error.empty()) error = ops.MakeFolder(folders.SetAside);
  if (!error.empty()) {
    if (phpMade) ops.RemoveAll(folders.Php);
    return error;
  }
  std::size_t done = 0;
  for (; done < steps.size(); ++done) {
    error = Do(steps[done], folders, ops);
    if (!error.empty()) break;
  }
  bool undone = true;
  if (!error.empty()) {
    while (done-- > 0) undone = Undo(steps[done], folders, ops).empty() && undone;
    if (phpMade && undone) undone = ops.RemoveAll(folders.Php).empty();
  }
  if (undone)
    ops.RemoveAll(folders.SetAside);
  else
    error += "; undoing it failed too, and " + folders.SetAside + " holds what was replaced";
  return error;
}
