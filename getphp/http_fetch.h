// http_fetch.h - one GET through the system's HTTP client (Windows: WinHTTP,
// with the system's proxy settings and TLS), the reply's body kept in memory.
// Any thread; one call at a time per thread.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

struct TFetchResult {
  int Status = 0;          // the reply's HTTP status; 0 when no reply came
  std::string Body;        // the body of a 200 reply, whole
  std::string Error;       // "" when a whole 200 reply came; otherwise why not
  bool Cancelled = false;  // the progress callback asked to stop
};

// Told of the bytes so far and of the announced total (0 when the server
// gives none) as they arrive; false stops the download.
using TFetchProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// GETs url (which must pass RefusalOf of url.h, as must any redirect, and a
// redirect may not leave the host); a body larger than maxBytes is refused.
TFetchResult Fetch(const std::string& url, std::uint64_t maxBytes, const TFetchProgress& progress);
