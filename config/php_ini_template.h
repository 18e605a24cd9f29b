// php_ini_template.h - the interpreter configuration template stored inside
// the program (php_template.ini): a resource of the Windows program file, an
// embedded byte array in the Linux build.
#pragma once
#include <string>

// The template's bytes, unchanged. Raises EConfigError when the program
// carries no template.
std::string PhpIniTemplate();
