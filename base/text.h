// text.h - the small 8-bit text operations the request functions share.
#pragma once
#include <string>
#include <utility>

namespace text {

// Removes every byte up to and including the space from both ends.
std::string Trim(const std::string& s);
// Upper-cases a to z only.
std::string UpperAscii(std::string s);
bool SameTextAscii(const std::string& a, const std::string& b);
// Cuts s at the first d: {piece before, remainder after}; {s, ""} when d is absent.
std::pair<std::string, std::string> Cut(const std::string& s, const std::string& d);
// Replaces every occurrence of from by to, repeating while any occurs.
std::string ReplaceAllRepeatedly(std::string s, const std::string& from, const std::string& to);

}  // namespace text
