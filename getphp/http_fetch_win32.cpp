// http_fetch_win32.cpp - GET through WinHTTP: the system's proxy settings
// (the automatic ones where Windows has them), its TLS, bounded waits, and
// redirects followed only on the same host.
#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <memory>

#include "base/system_text_win32.h"
#include "getphp/http_fetch.h"
#include "getphp/url.h"

namespace {

// Each wait on the server: name lookup, connect, send, and each read.
constexpr int kWaitMs = 30000;
constexpr int kMaxRedirects = 5;
constexpr DWORD kPiece = 64 * 1024;
constexpr char kUserAgent[] = "Ostrel File Sharing Server";
#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

struct TInternetCloser {
  void operator()(HINTERNET h) const { WinHttpCloseHandle(h); }
};
using TInternet = std::unique_ptr<void, TInternetCloser>;

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The header's value as ASCII text; "" when absent or not ASCII.
std::string Header(HINTERNET request, DWORD which) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return "";
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return "";
  value.resize(size / sizeof(wchar_t));
  std::string text;
  for (wchar_t c : value) {
    if (c < 0x20 || c >= 0x7F) return "";
    text += static_cast<char>(c);
  }
  return text;
}

std::string Why(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
      return "no answer in time";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "the server's name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "the connection failed (refused or unreachable)";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection broke off";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "the server's reply was not understood";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "the secure connection (TLS) failed";
    case ERROR_WINHTTP_AUTODETECTION_FAILED:
      return "the proxy settings could not be found";
    default:
      break;
  }
  std::string text = SystemErrorText(error);
  return "WinHTTP error " + std::to_string(error) + (text.empty() ? "" : " (" + text + ")");
}

// A session for url's host: this computer's own addresses never go through a
// proxy; others go as the system's settings say.
TInternet OpenSession(const TUrl& url) {
  HINTERNET session = nullptr;
  if (IsLoopbackHost(url.Host)) {
    session = WinHttpOpen(Wide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
  } else {
    // Automatic proxy detection exists from Windows 8.1 on; before, the
    // settings made with netsh.
    session = WinHttpOpen(Wide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr)
      session = WinHttpOpen(Wide(kUserAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
  }
  if (session == nullptr) return nullptr;
  WinHttpSetTimeouts(session, kWaitMs, kWaitMs, kWaitMs, kWaitMs);
  // TLS 1.2 is not on by default for WinHTTP on Windows 7.
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
  return TInternet(session);
}

// Reads the body of an answered request into result.
void ReadBody(HINTERNET request, std::uint64_t maxBytes, const TFetchProgress& progress, TFetchResult& result) {
  const std::string lengthText = Header(request, WINHTTP_QUERY_CONTENT_LENGTH);
  const std::uint64_t length = lengthText.empty() ? 0 : std::strtoull(lengthText.c_str(), nullptr, 10);
  if (length > maxBytes) {
    result.Error = "it is larger (" + std::to_string(length) + " bytes) than the list says";
    return;
  }
  if (length > 0) result.Body.reserve(static_cast<std::size_t>(length));
  std::unique_ptr<char[]> piece(new char[kPiece]);
  for (;;) {
    if (!progress(result.Body.size(), length)) {
      result.Cancelled = true;
      result.Error = "cancelled";
      return;
    }
    DWORD got = 0;
    if (!WinHttpReadData(request, piece.get(), kPiece, &got)) {
      result.Error =
          "the download broke off after " + std::to_string(result.Body.size()) + " bytes: " + Why(GetLastError());
      return;
    }
    if (got == 0) break;
    if (result.Body.size() + got > maxBytes) {
      result.Error = "it is larger than the list says (more than " + std::to_string(maxBytes) + " bytes)";
      return;
    }
    result.Body.append(piece.get(), got);
  }
  if (length > 0 && result.Body.size() != length)
    result.Error =
        "the download ended after " + std::to_string(result.Body.size()) + " of " + std::to_string(length) + " bytes";
}

// One request to url; location receives a redirect's target.
TFetchResult FetchOnce(const std::string& url, std::uint64_t maxBytes, const TFetchProgress& progress,
                       std::string& location) {
  TFetchResult result;
  TUrl parts;
  ParseUrl(url, parts);
  const std::string where = parts.Host + ":" + std::to_string(parts.Port);
  TInternet session = OpenSession(parts);
  TInternet connection(
      session ? WinHttpConnect(session.get(), Wide(parts.Host).c_str(), static_cast<INTERNET_PORT>(parts.Port), 0)
              : nullptr);
  TInternet request(connection ? WinHttpOpenRequest(connection.get(), L"GET", Wide(parts.Path).c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                    parts.Secure ? WINHTTP_FLAG_SECURE : 0)
                               : nullptr);
  if (!request) {
    result.Error = "the system's HTTP client could not start: " + Why(GetLastError());
    return result;
  }
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    result.Error = "no answer from " + where + ": " + Why(GetLastError());
    return result;
  }
  DWORD status = 0, size = sizeof status;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  result.Status = static_cast<int>(status);
  if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
    location = Header(request.get(), WINHTTP_QUERY_LOCATION);
  if (status != 200) {
    result.Error = where + " answered " + std::to_string(status);
    return result;
  }
  ReadBody(request.get(), maxBytes, progress, result);
  return result;
}

}  // namespace

TFetchResult Fetch(const std::string& url, std::uint64_t maxBytes, const TFetchProgress& progress) {
  std::string current = url;
  for (int redirects = 0;; ++redirects) {
    const std::string refusal = RefusalOf(current);
    if (!refusal.empty()) {
      TFetchResult refused;
      refused.Error = refusal;
      return refused;
    }
    std::string location;
    TFetchResult result = FetchOnce(current, maxBytes, progress, location);
    if (location.empty()) return result;
    const std::string next = FollowOnSameHost(current, location);
    if (next.empty() || redirects == kMaxRedirects) {
      result.Error += next.empty() ? ", sending to another host (" + location + ")" : ", redirecting too often";
      return result;
    }
    current = next;
  }
}
