// host_network_test.cpp - the host page's file of addresses, firewall and
// networks; the user's pick in Setup.ini put first while the machine has it.
#include <gtest/gtest.h>

#include "config/host_network.h"
#include "config/kelv.h"
#include "net/local_ip.h"
#include "support/temp_dir.h"

namespace {

TEST(HostNetwork, TheFileListsTheGivenAddressFirstAndSaysWhatIsUnknown) {
  const std::vector<TLocalAddress> addresses = {{"192.168.1.50", "Wi-Fi", TAdapterKind::WiFi},
                                                {"172.20.0.5", "vEthernet\t(Default\r\nSwitch)", TAdapterKind::Virtual},
                                                {"10.0.0.9", "", TAdapterKind::Physical}};
  const std::string head = "# This computer's addresses, the one given out first, and what may keep visitors out:\n"
                           "# written by the program at each Start for the host page.\n"
                           "address\t192.168.1.50\twifi\tWi-Fi\n"
                           "address\t172.20.0.5\tvirtual\tvEthernet (Default  Switch)\n"
                           "address\t10.0.0.9\tphysical\t\n";
  EXPECT_EQ(head + "firewall\tnone\nnetworks\tnone\n",
            HostNetworkText(addresses, TFirewallState::NotManaged, TNetworkCategories{}));
  EXPECT_EQ(head + "firewall\tunknown\nnetworks\tunknown\n",
            HostNetworkText(addresses, TFirewallState::Unknown, TNetworkCategories{true, false, {{"Home", "private"}}}));
  EXPECT_EQ(head + "firewall\tblocked\nnetworks\tknown\nnetwork\tpublic\tCaf\xC3\xA9 \nnetwork\tprivate\tHome\n",
            HostNetworkText(addresses, TFirewallState::Blocked,
                            TNetworkCategories{true, true, {{"Caf\xC3\xA9\n", "public"}, {"Home", "private"}}}));
  EXPECT_EQ(std::string::npos,
            HostNetworkText({}, TFirewallState::Allowed, TNetworkCategories{true, true, {}}).find("address\t"));
}

TEST(HostNetwork, ThePickComesFirstWhileTheMachineHasItAndTheFileFollows) {
  TTempAppDir app("network");
  const std::vector<TLocalAddress> own = LocalAddresses();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.front().IP, OfferedAddresses().front().IP) << "no pick: the program's own choice";
  TKelv::SetAddressPick(own.back().IP);
  EXPECT_EQ(own.back().IP, TKelv::GetAddressPick());
  EXPECT_EQ(own.back().IP, OfferedAddresses().front().IP);
  EXPECT_EQ(own.size(), OfferedAddresses().size());
  TKelv::SetAddressPick("203.0.113.77");  // an address this machine does not have
  EXPECT_EQ(own.front().IP, OfferedAddresses().front().IP);

  WriteHostNetwork({{"198.51.100.4", "eth0", TAdapterKind::Ethernet}});
  const std::string written = Slurp(app.At("state/network.txt"));
  EXPECT_NE(std::string::npos, written.find("\naddress\t198.51.100.4\tethernet\teth0\nfirewall\t")) << written;
}

}  // namespace
