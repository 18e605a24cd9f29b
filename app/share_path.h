// share_path.h - folder names given on the Linux command line, in the form the
// shared-directory list keeps: absolute, "~" expanded, links resolved, without
// a trailing "/".
#pragma once
#include <string>

namespace sharepath {

// The folder's listed form; "" with the reason in error when it is missing, is
// no directory, cannot be read, or its name holds a line break (the list file
// keeps one folder a line).
std::string Resolve(const std::string& name, std::string& error);

// What two names of one folder have in common: the resolved form when the
// folder can be resolved, else the absolute name with ".", ".." and repeated or
// trailing "/" taken out, so that a folder since deleted can still be found;
// "" for "".
std::string Key(const std::string& name);

}  // namespace sharepath
