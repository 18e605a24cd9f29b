// release_list.h - which PHP for Windows to take from the PHP project's
// release list (releases.json): one object per minor version with its
// "version" and its builds keyed like "nts-vs17-x64", each with a
// zip {path, size, sha256}.
#pragma once
#include <cstdint>
#include <string>

// Where the list lies unless OSTREL_PHP_RELEASES names another address.
inline constexpr char kDefaultReleaseList[] = "https://downloads.php.net/~windows/releases/releases.json";
// A list is a few kilobytes; anything much larger is not one.
inline constexpr std::uint64_t kMaxReleaseListBytes = 1024 * 1024;

struct TPhpRelease {
  std::string Version;     // "8.5.2"
  std::string Build;       // "nts-vs17-x64"
  std::string ZipName;     // a plain file name beside the list
  std::string Sha256;      // 64 lower-case hexadecimal digits
  std::uint64_t Size = 0;  // bytes as the list gives them (rounded there); 0 when it gives none we read
};

// Chooses the newest version that has a Non Thread Safe x64 build (the highest
// Visual Studio number among several). "" when one was chosen into release,
// otherwise why none was.
std::string ChooseRelease(const std::string& json, TPhpRelease& release);

// The list's sizes are texts such as "31.18MB"; bytes, or 0 when not understood.
std::uint64_t SizeFromText(const std::string& text);

// "31.2 MB" and the like, for the user.
std::string SizeForPeople(std::uint64_t bytes);

// At most this much is downloaded for release: a little above the list's
// rounded size, never above kMaxZipBytes.
std::uint64_t DownloadLimit(const TPhpRelease& release);
inline constexpr std::uint64_t kMaxZipBytes = 256ull * 1024 * 1024;
