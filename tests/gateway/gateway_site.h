// gateway_site.h - the application directory of the end-to-end gateway tests:
// pages that are PHP for the real interpreter and name a "mode=" for the
// stand-in CGI program, the interpreter's configuration, and the parsing of
// what the environment page prints.
#pragma once
#include <map>
#include <string>
#include <vector>

struct TGatewayPage {
  const char* Name;
  const char* Text;
};

inline const TGatewayPage kGatewayPages[] = {
    {"env.php",
     R"(<?php /* mode=env */ header("Content-Type: text/plain"); echo "ENV\n";
foreach (getenv() as $k => $v) echo $k, "=", $v, "\0";
echo "\nINPUT\n"; echo file_get_contents("php://input");)"},
    {"sub/index.php",
     R"(<?php /* mode=env */ header("Content-Type: text/plain"); echo "ENV\n";
foreach (getenv() as $k => $v) echo $k, "=", $v, "\0";
echo "\nINPUT\n";)"},
    {"status.php", R"(<?php /* mode=status404 */ http_response_code(404); echo "missing";)"},
    // Written past the interpreter's header output, then the interpreter is
    // killed before it can add its headers.
    {"nohead.php",
     R"(<?php /* mode=nohead */ $f = fopen("php://stdout", "w"); fwrite($f, "no empty line"); fflush($f);
exec("kill -9 " . getmypid());)"},
    {"big.php",
     R"(<?php /* mode=big */ header("Content-Type: application/octet-stream");
$s = str_repeat("0123456789abcdef", 4096); for ($i = 0; $i < 128; $i++) echo $s;)"},
    {"echo.php",
     R"(<?php /* mode=echo */ header("Content-Type: application/octet-stream"); flush();
$in = fopen("php://input", "rb");
while (!feof($in)) { $d = fread($in, 65536); if ($d === false || $d === "") break; echo $d; flush(); })"},
    {"sleep.php", R"(<?php /* mode=sleep */ usleep(1000000); header("Content-Type: text/plain"); echo "awake";)"},
    {"ini.php", R"(<?php /* mode=ini */ header("Content-Type: text/plain"); echo "ini=", file_exists("php.ini") ? "yes" : "no";)"},
    // PHP's hard time-out: its message on standard error, exit code 124.
    {"terminated.php",
     R"(<?php /* mode=terminated */ set_time_limit(1); hash_pbkdf2("sha256", "x", "s", 100000000);)"},
    // A fatal error after the head is out: exit code 255.
    {"diesmid.php",
     R"(<?php /* mode=diesmid */ header("Content-Type: text/plain"); echo "part"; flush(); no_such_function();)"},
    {"forever.php",
     R"(<?php /* mode=forever */ set_time_limit(0); header("Content-Type: text/plain"); echo "started\n"; flush();
while (true) sleep(1);)"},
};

// The body is read by the pages themselves, as it arrives. Errors are not logged
// (to standard error, without the program's log file); the hard time-out is 1 s.
inline const char* const kGatewayPhpIni =
    "[PHP]\r\ncgi.force_redirect = 0\r\ndisplay_errors = Off\r\nenable_post_data_reading = Off\r\n"
    "max_execution_time = 0\r\nlog_errors = Off\r\nhard_timeout = 1\r\n";

// What env.php printed: its variables in order, and the input it read.
struct TEnvDump {
  std::vector<std::string> Entries;  // "NAME=value", in order
  std::vector<std::string> Names;
  std::map<std::string, std::string> Values;
  std::string Input;
  bool Valid = false;
};

inline TEnvDump ParseEnvDump(const std::string& reply) {
  TEnvDump dump;
  std::size_t start = reply.find("\r\n\r\nENV\n");
  if (start == std::string::npos) return dump;
  std::size_t at = start + 8;
  std::size_t end = reply.find("\nINPUT\n", at);
  if (end == std::string::npos) return dump;
  while (at < end) {
    std::size_t nul = reply.find('\0', at);
    if (nul == std::string::npos || nul > end) return dump;
    std::string entry = reply.substr(at, nul - at);
    dump.Entries.push_back(entry);
    std::size_t eq = entry.find('=', 1);  // Windows keeps "=C:=..." entries
    dump.Names.push_back(entry.substr(0, eq));
    dump.Values[entry.substr(0, eq)] = eq == std::string::npos ? "" : entry.substr(eq + 1);
    at = nul + 1;
  }
  dump.Input = reply.substr(end + 7);
  dump.Valid = true;
  return dump;
}
