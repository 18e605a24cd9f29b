// php_temp.h - php/temp between runs: the interpreter's temporary files that a
// run ended hard (an upload cut off with its interpreter) left there.
#pragma once
#include <chrono>
#include <string>

namespace php_temp {

// Whether name has the form of the interpreter's upload files: "php" and six
// letters or digits ("phpA1b2C3", Linux's mkstemp), or "php" and one to four
// hexadecimal digits with ".tmp" ("php1A2.tmp", Windows' GetTempFileName).
// Sessions ("sess_..."), the error log and names such as "phptest" do not.
bool IsInterpreterTempName(const std::string& name);

// Removes from dir the files of that form written before since (the program's
// start): a leftover of an earlier run, never a file of this one or one a user
// put there of late. Call while no page runs.
void RemoveLeftovers(const std::string& dir, std::chrono::system_clock::time_point since);

}  // namespace php_temp
