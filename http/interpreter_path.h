// interpreter_path.h - where the PHP interpreter lies in the application directory.
#pragma once
#include <string>

// The interpreter's path as the gateway starts it; "" when it is not there.
std::string FindInterpreter(const std::string& appDir);
