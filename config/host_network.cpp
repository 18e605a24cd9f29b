// host_network.cpp - the addresses given out and the host page's file of them.
#include "config/host_network.h"

#include "base/native_fs.h"
#include "base/program_env.h"
#include "config/kelv.h"
#include "config/site_access.h"
#include "net/local_ip.h"

namespace {

// A field holds no tab or line end of its own: the page splits on them.
std::string Field(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

}  // namespace

std::vector<TLocalAddress> OfferedAddresses() { return OfferedAddresses(LocalAddresses()); }

std::vector<TLocalAddress> OfferedAddresses(std::vector<TLocalAddress> own) {
  std::string pick;
  try {
    pick = TKelv::GetAddressPick();
  } catch (...) {
    // An unreadable Setup.ini leaves the program's own choice.
  }
  return WithFirst(std::move(own), pick);
}

std::string HostNetworkText(const std::vector<TLocalAddress>& addresses, TFirewallState firewall,
                            const TNetworkCategories& networks) {
  std::string text = "# This computer's addresses, the one given out first, and what may keep visitors out:\n"
                     "# written by the program at each Start for the host page.\n";
  for (const TLocalAddress& a : addresses)
    text += "address\t" + Field(a.IP) + "\t" + KindKey(a.Kind) + "\t" + Field(a.Adapter) + "\n";
  text += std::string("firewall\t") + FirewallStateKey(firewall) + "\n";
  text += std::string("networks\t") + (!networks.Applies ? "none" : networks.Known ? "known" : "unknown") + "\n";
  if (networks.Applies && networks.Known)
    for (const TConnectedNetwork& n : networks.Networks)
      text += "network\t" + Field(n.Category) + "\t" + Field(n.Name) + "\n";
  return text;
}

void WriteHostNetwork(const std::vector<TLocalAddress>& addresses) {
  const std::string text = HostNetworkText(addresses, ReadFirewallState(GetExePath()), ReadNetworkCategories());
  const std::string dir = SiteStateDir();
  if (!native_fs::DirectoryExists(dir)) native_fs::MakeDirectory(dir);
  native_fs::ReplaceBytes(dir + PathDelim() + kSiteNetworkFile, text);
}
