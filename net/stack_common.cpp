// stack_common.cpp - address text shared by both sides of the socket seam.
#include <cstdio>

#include "net/stack.h"

std::string IPToText(std::uint32_t ip) {
  const auto* b = reinterpret_cast<const unsigned char*>(&ip);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}
