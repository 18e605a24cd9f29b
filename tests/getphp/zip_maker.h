// zip_maker.h - zips built in memory for the reader's tests: stored or
// deflated entries, and the hand-made faults a downloaded file may carry.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct TMadeEntry {
  std::string Name;
  std::string Data;
  bool Deflate = true;
  std::string LocalName = "";  // another name in the local header when not empty
  std::uint32_t CrcXor = 0;    // spoils the stated CRC-32
  std::uint16_t Flags = 0;
  std::uint32_t StatedSize = 0;  // another stated size when not 0
};

inline void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8 & 0xFF);
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

inline std::string RawDeflate(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline std::string MakeZip(const std::vector<TMadeEntry>& entries) {
  std::string zip, directory;
  for (const TMadeEntry& e : entries) {
    const std::string packed = e.Deflate ? RawDeflate(e.Data) : e.Data;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.Data.data()),
                                                               static_cast<uInt>(e.Data.size()))) ^
                              e.CrcXor;
    const std::uint32_t size = e.StatedSize != 0 ? e.StatedSize : static_cast<std::uint32_t>(e.Data.size());
    const std::string local = e.LocalName.empty() ? e.Name : e.LocalName;
    const std::uint32_t offset = static_cast<std::uint32_t>(zip.size());
    Put32(zip, 0x04034b50);
    Put16(zip, 20);
    Put16(zip, e.Flags);
    Put16(zip, e.Deflate ? 8 : 0);
    Put32(zip, 0);
    Put32(zip, crc);
    Put32(zip, static_cast<std::uint32_t>(packed.size()));
    Put32(zip, size);
    Put16(zip, static_cast<std::uint32_t>(local.size()));
    Put16(zip, 0);
    zip += local + packed;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, e.Flags);
    Put16(directory, e.Deflate ? 8 : 0);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, static_cast<std::uint32_t>(packed.size()));
    Put32(directory, size);
    Put16(directory, static_cast<std::uint32_t>(e.Name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0);
    Put32(directory, offset);
    directory += e.Name;
  }
  const std::uint32_t at = static_cast<std::uint32_t>(zip.size());
  zip += directory;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put32(zip, static_cast<std::uint32_t>(directory.size()));
  Put32(zip, at);
  Put16(zip, 0);
  return zip;
}
