// sha256_win32.cpp - SHA-256 through BCrypt, whose hash object calls work on
// Windows 7 as well.
#include <windows.h>
#include <bcrypt.h>

#include <memory>
#include <vector>

#include "getphp/sha256.h"

namespace {

struct TAlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
struct THashCloser {
  void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};

bool Ok(NTSTATUS status) { return status >= 0; }

}  // namespace

std::string Sha256Hex(std::string_view data) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!Ok(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return "";
  std::unique_ptr<void, TAlgorithmCloser> algorithmOwner(algorithm);
  DWORD objectSize = 0, got = 0;
  if (!Ok(BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize,
                            &got, 0)))
    return "";
  std::vector<UCHAR> object(objectSize);
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Ok(BCryptCreateHash(algorithm, &hash, object.data(), objectSize, nullptr, 0, 0))) return "";
  std::unique_ptr<void, THashCloser> hashOwner(hash);
  // BCryptHashData takes at most 4 GiB a call.
  constexpr std::size_t kPiece = 1u << 30;
  for (std::size_t at = 0; at < data.size(); at += kPiece) {
    const std::size_t n = data.size() - at < kPiece ? data.size() - at : kPiece;
    if (!Ok(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + at)), static_cast<ULONG>(n),
                           0)))
      return "";
  }
  UCHAR digest[32];
  if (!Ok(BCryptFinishHash(hash, digest, sizeof digest, 0))) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (UCHAR byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}
