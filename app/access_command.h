// access_command.h - the Linux program's "--access": who may come in to the
// site (open, code or approve), set or printed. Main thread only.
#pragma once
#include <string>

// Sets the mode as the host page does, under the site's lock, the file
// written whole; in code mode a code is made when there is none. Says what it
// set; false, saying why on standard error, when the file cannot be written.
bool SetSiteMode(const std::string& mode);

// Prints the mode, the address to give out (with the code in code mode) and
// where the host page is.
bool PrintSiteAccess();
