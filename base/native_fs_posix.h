// native_fs_posix.h - the Linux side of the file-system seam (native_fs.h)
// that has no Windows counterpart: directories with their permissions, links,
// the working directory, a path's resolved form, and whether a directory can
// be listed. Any thread.
#pragma once
#include <sys/types.h>

#include <string>

#include "base/native_fs.h"

namespace native_fs {

// MakeDirectory with the given permissions (less the umask) in place of 0777.
TOsError MakeDirectory(const std::string& path, mode_t mode);

// A symbolic link at link that points at target.
TOsError MakeLink(const std::string& target, const std::string& link);

// The working directory; "" when it cannot be told (it was removed, say).
std::string CurrentDirectory();

// The path of what is at path with every link, "." and ".." resolved; fails
// (with the system's error) when nothing is there or a part cannot be read.
TOsError RealPath(const std::string& path, std::string& real);

// Whether this process may list the directory and reach what it holds.
TOsError CheckListable(const std::string& dir);

}  // namespace native_fs
