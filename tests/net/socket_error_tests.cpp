// The socket error messages, the input queue and the layer's utility operations.
#include <gtest/gtest.h>

#include <cstdio>

#include "net/exceptions.h"
#include "net/tcp_connection.h"
#include "support/temp_dir.h"

namespace {

TEST(SocketError, MessageCarriesTheCodeAndItsText) {
  const std::pair<int, const char*> cases[] = {
      {10004, "Socket Error # 10004\r\nInterrupted system call."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10048, "Socket Error # 10048\r\nAddress already in use."},
      {10053, "Socket Error # 10053\r\nSoftware caused connection abort."},
      {10054, "Socket Error # 10054\r\nConnection reset by peer."},
      {10058, "Socket Error # 10058\r\nCannot send or receive after socket is closed."},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
      {11001, "Socket Error # 11001\r\nHost not found."},
      {10010, "Socket Error # 10010\r\n"},
      {42, "Socket Error # 42\r\n"},
  };
  for (const auto& [code, message] : cases) {
    EIdSocketError e(code);
    EXPECT_EQ(code, e.LastError());
    EXPECT_STREQ(message, e.what());
    EXPECT_STREQ("EIdSocketError", e.ClassName());
  }
}

TEST(SocketError, SilentCloseIsAnEIdException) {
  EIdConnClosedGracefully e;
  const EIdSilentException& silent = e;
  EXPECT_STREQ("Connection Closed Gracefully.", silent.what());
}

TEST(InputQueue, KeepsOrderAcrossCompactionAndRefusesOverreads) {
  TIdInputQueue q;
  std::string all;
  for (int i = 0; i < 50000; ++i) all.push_back(static_cast<char>(i % 251));
  q.Append(all.data(), 40000);
  std::string out;
  char chunk[1000];
  for (int i = 0; i < 33; ++i) {  // past the 32768 consumed bytes that compact the queue
    q.Take(chunk, sizeof chunk);
    out.append(chunk, sizeof chunk);
  }
  q.Append(all.data() + 40000, 10000);
  EXPECT_EQ(50000u - 33000u, q.Size());
  std::string rest(q.Size(), '\0');
  EXPECT_THROW(q.Take(rest.data(), rest.size() + 1), EIdNotEnoughDataInBuffer);
  q.Take(rest.data(), rest.size());
  EXPECT_EQ(all, out + rest);
  EXPECT_EQ(0u, q.Size());
}

TEST(Utility, FileSizeByPathMeasuresAndRaisesForAMissingFile) {
  TTempDir dir;
  std::string path = dir.Write("sized.bin", std::string(70000, 'q'));
  EXPECT_EQ(70000, FileSizeByPath(path));
  std::string missing = dir.At("missing.bin");
  try {
    FileSizeByPath(missing);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(0u, std::string(e.what()).rfind("Cannot open file \"" + missing + "\". ", 0)) << e.what();
  }
}

TEST(Utility, FirstLocalAddressIsDottedOrALookupFailure) {
  try {
    std::string ip = FirstLocalAddress();
    unsigned a, b, c, d;
    char tail;
    EXPECT_EQ(4, std::sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail)) << ip;
  } catch (const EIdSocketError& e) {
    EXPECT_NE(0, e.LastError());
  }
}

}  // namespace
