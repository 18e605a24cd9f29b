// open_files.h - the open-files limit of the Linux program.
#pragma once

// Raises the soft open-files limit to the hard one: every connection holds a
// descriptor, and the usual soft limit (1,024) runs out long before threads or
// memory do. Nothing is reported when it cannot be raised.
void RaiseOpenFilesLimit();
