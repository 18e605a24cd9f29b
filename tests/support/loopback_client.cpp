// loopback_client.cpp - what the test client does alike on every platform.
#include "support/loopback_client.h"

#include <chrono>

bool TLoopbackClient::ReadToEnd(std::string& out, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    int n = Receive(out, static_cast<int>(left.count()));
    if (n == 0) return true;
    if (n < 0) return false;
  }
}
