// zip_reader.h - TZipArchive: the entries of a zip held in memory, and each
// entry's bytes through zlib's inflate. A downloaded archive is not trusted:
// every offset and size is checked against the bytes there are, and an
// entry's bytes against its CRC-32 and its stated size.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TZipEntry {
  std::string Name;          // as stored: "/" separators, a folder's name ends in "/"
  std::uint16_t Method = 0;  // 0 stored, 8 deflated
  std::uint32_t Crc32 = 0;
  std::uint32_t PackedSize = 0;
  std::uint32_t Size = 0;
  std::uint32_t DataOffset = 0;  // where the packed bytes start
  bool IsFolder() const { return !Name.empty() && (Name.back() == '/' || Name.back() == '\\'); }
};

// Takes each piece of an entry's bytes in turn; "" to go on, or why the
// piece could not be kept (the extraction then stops with that reason).
using TZipWrite = std::function<std::string(const char* data, std::size_t size)>;

class TZipArchive {
 public:
  // An archive unpacks to at most this much (PHP for Windows is about 100 MB).
  static constexpr std::uint64_t kMaxUnpackedBytes = 1024ull * 1024 * 1024;

  // Reads the central directory of bytes, which must outlive this object.
  // "" when the archive can be read; otherwise why not (nothing is kept then).
  std::string Open(std::string_view bytes);
  const std::vector<TZipEntry>& Entries() const { return FEntries; }

  // Hands entry index's bytes to write, piece by piece; "" when all of them
  // came out whole and matched the entry's CRC-32 and size, otherwise why not.
  std::string Extract(std::size_t index, const TZipWrite& write) const;

 private:
  // The directory's entry at offset at; next: where the one after it starts.
  std::string ReadEntry(std::size_t at, std::size_t directoryStart, std::size_t directoryEnd, TZipEntry& entry,
                        std::size_t& next) const;

  std::string_view FBytes;
  std::vector<TZipEntry> FEntries;
};
