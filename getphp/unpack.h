// unpack.h - writing a downloaded PHP archive into a new folder, after its
// names have passed the rules of zip_names.h.
#pragma once
#include <string>

class TFolderOps;
class TZipArchive;

// The CGI program that PHP for Windows has at its zip's root.
inline constexpr char kCgiProgramName[] = "php-cgi.exe";

// "" when archive may be unpacked; otherwise why the whole of it is refused:
// a name breaks a rule of zip_names.h, or kCgiProgramName is not at its root.
std::string RefusalOfArchive(const TZipArchive& archive);

// Makes folder (which must not exist) and writes every entry of archive into
// it, after RefusalOfArchive has found nothing: a refused archive writes
// nothing. "" when every entry was written whole; otherwise why not (the
// caller removes what was written).
std::string Unpack(const TZipArchive& archive, const std::string& folder, TFolderOps& ops);

// A relative name with "/" separators as a path under folder, in the
// platform's own form.
std::string PathUnder(const std::string& folder, const std::string& name);
