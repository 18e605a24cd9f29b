// install_plan.h - moving an unpacked PHP into the php folder so that the
// user's own files there stay (conf.d with their settings, temp, and php.ini,
// which the program writes at every Start), and so that a step that fails
// leaves the folder exactly as it was.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "getphp/folder_ops.h"

struct TInstallStep {
  enum TKind {
    MakeFolder,  // php\<path> is made
    SetAside,    // what php\<path> holds moves to the set-aside folder
    PutIn,       // the unpacked <path> moves into php\<path>
  };
  TKind Kind;
  std::string Path;  // relative, "/" separators
  bool operator==(const TInstallStep& other) const { return Kind == other.Kind && Path == other.Path; }
};

// The steps for the entry names of an unpacked archive (already checked by
// zip_names.h), given what php\ holds at a relative path: folders first,
// parents before children, then the files. What php\ holds under a name that
// the archive also has is set aside first; the user's own names are left out.
std::vector<TInstallStep> PlanInstall(const std::vector<std::string>& entryNames,
                                      const std::function<TFolderOps::TKind(const std::string&)>& kindInPhp);

struct TInstallFolders {
  std::string Php;       // php\ itself
  std::string Unpacked;  // where the archive was unpacked
  std::string SetAside;  // made here for what the new files replace; must not exist
};

// Carries out steps. When one fails, those done are undone in reverse order
// and the reason is returned; "" when all were done. The set-aside folder is
// removed either way, unless an undo failed (then it holds what was replaced).
std::string CarryOut(const std::vector<TInstallStep>& steps, const TInstallFolders& folders, TFolderOps& ops);
