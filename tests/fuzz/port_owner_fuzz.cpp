// port_owner_fuzz.cpp - any text as a netstat listing, a /proc/net/tcp table and
// a descriptor link: the readers never fail, and what they find is there.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sys/port_owner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const int port = provider.ConsumeIntegralInRange<int>(0, 70000);
  const std::string link = provider.ConsumeRandomLengthString(64);
  const std::string text = provider.ConsumeRemainingBytesAsString();

  // A process id is a positive number the listing holds, or 0.
  const int pid = port_owner::PidFromNetstat(text, port);
  if (pid < 0 || (pid > 0 && text.find(std::to_string(pid)) == std::string::npos)) std::abort();

  for (std::uint64_t inode : port_owner::ListeningInodes(text, port))
    if (inode == 0 || text.find(std::to_string(inode)) == std::string::npos) std::abort();

  // The link's inode is the number written in it.
  const std::uint64_t inode = port_owner::SocketInode(link);
  if (inode != 0 && link.find(std::to_string(inode)) == std::string::npos) std::abort();
  return 0;
}
