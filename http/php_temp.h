// php_temp.h - php/temp between runs: the interpreter's temporary files that a
// run ended hard (an upload cut off with its interpreter) left there.
#pragma once
#include <string>

namespace php_temp {

// Whether name has the form of the interpreter's temporary files: "php" and
// letters or digits ("phpA1b2C3" on Linux), with ".tmp" on Windows
// ("php1A2.tmp"). Sessions ("sess_...") and the error log do not.
bool IsInterpreterTempName(const std::string& name);

// Removes such files from dir, which only the program's interpreters use;
// sessions and the error log stay. Call while no page runs.
void RemoveLeftovers(const std::string& dir);

}  // namespace php_temp
