// open_files_posix.cpp - raising the soft open-files limit to the hard one.
#include <sys/resource.h>

#include "app/open_files.h"

void RaiseOpenFilesLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}
