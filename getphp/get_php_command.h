// get_php_command.h - "ostrel.exe -GETPHP": the PHP set-up without the
// window, for installers and scripts. No window and no message box; the steps
// and the outcome go as lines to standard output when there is one.
#pragma once

// The process's exit code: 0 when php\ afterwards holds a CGI interpreter that
// passes the check; 1 when nothing in php\ changed; 2 when PHP was set up but
// does not pass the check (the Visual C++ runtime is missing, say).
int RunGetPhpCommand();
