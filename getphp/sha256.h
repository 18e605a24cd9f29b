// sha256.h - the SHA-256 digest through the system's cryptography (Windows:
// BCrypt).
#pragma once
#include <string>
#include <string_view>

// 64 lower-case hexadecimal digits; "" when the system could not compute it.
std::string Sha256Hex(std::string_view data);
