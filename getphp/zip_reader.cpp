// zip_reader.cpp - the zip format's end record, central directory and local
// headers, and zlib's raw inflate for the deflated entries.
#include "getphp/zip_reader.h"

#include <zlib.h>

#include <algorithm>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kDirectorySignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22, kDirectoryHeaderSize = 46, kLocalHeaderSize = 30;
constexpr std::uint16_t kEncrypted = 0x0001, kStrongEncryption = 0x0040;
constexpr std::size_t kPiece = 64 * 1024;

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

// zlib's stream, ended on every way out.
class TInflater {
 public:
  TInflater() { FReady = inflateInit2(&FStream, -MAX_WBITS) == Z_OK; }
  ~TInflater() {
    if (FReady) inflateEnd(&FStream);
  }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;
  bool Ready() const { return FReady; }
  z_stream& Stream() { return FStream; }

 private:
  z_stream FStream{};
  bool FReady = false;
};

// Hands the pieces on and keeps the count and CRC of what went.
struct TOutput {
  const TZipWrite& Write;
  std::uint64_t Limit;
  std::uint64_t Written = 0;
  uLong Crc = crc32(0L, Z_NULL, 0);

  std::string Put(const char* data, std::size_t size) {
    if (Written + size > Limit) return "holds more than its header says";
    Written += size;
    Crc = crc32(Crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size));
    return Write(data, size);
  }
};

std::string Inflate(std::string_view packed, TOutput& out) {
  TInflater inflater;
  if (!inflater.Ready()) return "zlib could not start";
  z_stream& zs = inflater.Stream();
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zs.avail_in = static_cast<uInt>(packed.size());
  char piece[kPiece];
  for (;;) {
    zs.next_out = reinterpret_cast<Bytef*>(piece);
    zs.avail_out = sizeof piece;
    const int status = inflate(&zs, Z_NO_FLUSH);
    const std::size_t produced = sizeof piece - zs.avail_out;
    if (status != Z_OK && status != Z_STREAM_END && !(status == Z_BUF_ERROR && produced > 0))
      return status == Z_BUF_ERROR ? "ends before its data does" : "holds damaged compressed data";
    if (produced > 0) {
      std::string error = out.Put(piece, produced);
      if (!error.empty()) return error;
    }
    if (status == Z_STREAM_END) return "";
  }
}

}  // namespace

std::string TZipArchive::Open(std::string_view bytes) {
  FBytes = bytes;
  FEntries.clear();
  if (bytes.size() < kEndSize) return "it is not a zip archive";
  // The end record is last, after a comment of up to 64 KiB whose length it gives.
  std::size_t end = std::string_view::npos;
  const std::size_t lowest = bytes.size() > kEndSize + 0xFFFF ? bytes.size() - kEndSize - 0xFFFF : 0;
  for (std::size_t at = bytes.size() - kEndSize + 1; at-- > lowest;) {
    if (U32(bytes, at) == kEndSignature && at + kEndSize + U16(bytes, at + 20) == bytes.size()) {
      end = at;
      break;
    }
  }
  if (end == std::string_view::npos) return "it is not a zip archive";
  const std::uint16_t count = U16(bytes, end + 10);
  const std::uint32_t directorySize = U32(bytes, end + 12), directoryAt = U32(bytes, end + 16);
  if (U16(bytes, end + 4) != 0 || U16(bytes, end + 6) != 0 || U16(bytes, end + 8) != count)
    return "it is split over several files";
  if (count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryAt == 0xFFFFFFFF)
    return "it is a ZIP64 archive, which is not read here";
  if (static_cast<std::uint64_t>(directoryAt) + directorySize > end) return "its directory lies outside the file";

  std::uint64_t total = 0;
  std::size_t at = directoryAt;
  for (std::uint16_t i = 0; i < count; ++i) {
    TZipEntry entry;
    std::string error = ReadEntry(at, directoryAt, directoryAt + directorySize, entry, at);
    if (!error.empty()) {
      FEntries.clear();
      return error;
    }
    total += entry.Size;
    if (total > kMaxUnpackedBytes) {
      FEntries.clear();
      return "it would unpack to more than 1 GB";
    }
    FEntries.push_back(std::move(entry));
  }
  return "";
}

std::string TZipArchive::ReadEntry(std::size_t at, std::size_t directoryStart, std::size_t directoryEnd,
                                   TZipEntry& entry, std::size_t& next) const {
  const std::string_view b = FBytes;
  if (at + kDirectoryHeaderSize > directoryEnd || U32(b, at) != kDirectorySignature) return "its directory is damaged";
  const std::size_t nameLength = U16(b, at + 28);
  next = at + kDirectoryHeaderSize + nameLength + U16(b, at + 30) + U16(b, at + 32);
  if (next > directoryEnd) return "its directory is damaged";
  entry.Name.assign(b.substr(at + kDirectoryHeaderSize, nameLength));
  const std::string which = "entry \"" + entry.Name + "\" ";
  const std::uint16_t flags = U16(b, at + 8);
  entry.Method = U16(b, at + 10);
  entry.Crc32 = U32(b, at + 16);
  entry.PackedSize = U32(b, at + 20);
  entry.Size = U32(b, at + 24);
  const std::uint32_t local = U32(b, at + 42);
  if ((flags & (kEncrypted | kStrongEncryption)) != 0) return which + "is encrypted";
  if (entry.Method != 0 && entry.Method != 8) return which + "is packed in a way not read here";
  if (entry.PackedSize == 0xFFFFFFFF || entry.Size == 0xFFFFFFFF || local == 0xFFFFFFFF)
    return which + "needs ZIP64, which is not read here";
  if (entry.Method == 0 && entry.PackedSize != entry.Size) return which + "is damaged";

  // The local header repeats the name; the data follows it and must end
  // before the directory starts.
  if (static_cast<std::uint64_t>(local) + kLocalHeaderSize > b.size() || U32(b, local) != kLocalSignature)
    return which + "has no local header";
  const std::size_t dataAt = local + kLocalHeaderSize + U16(b, local + 26) + U16(b, local + 28);
  if (U16(b, local + 26) != nameLength || b.compare(local + kLocalHeaderSize, nameLength, entry.Name) != 0)
    return which + "is named otherwise in its local header";
  if (static_cast<std::uint64_t>(dataAt) + entry.PackedSize > directoryStart)
    return which + "runs past the end of its data";
  entry.DataOffset = static_cast<std::uint32_t>(dataAt);
  return "";
}

std::string TZipArchive::Extract(std::size_t index, const TZipWrite& write) const {
  const TZipEntry& entry = FEntries.at(index);
  const std::string which = "entry \"" + entry.Name + "\" ";
  TOutput out{write, entry.Size};
  const std::string_view packed = FBytes.substr(entry.DataOffset, entry.PackedSize);
  std::string error;
  if (entry.Method == 0) {
    for (std::size_t at = 0; at < packed.size() && error.empty(); at += kPiece)
      error = out.Put(packed.data() + at, std::min(kPiece, packed.size() - at));
  } else {
    error = Inflate(packed, out);
  }
  if (!error.empty()) return which + error;
  if (out.Written != entry.Size) return which + "holds less than its header says";
  if (out.Crc != entry.Crc32) return which + "does not match its CRC-32";
  return "";
}
