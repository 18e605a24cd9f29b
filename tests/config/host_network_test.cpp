// host_network_test.cpp - the host page's network file as Windows tells it: the
// address given out first, no field that splits a line, what was not read unknown.
#include <gtest/gtest.h>

#include "config/host_network.h"

namespace {

TEST(HostNetwork, TheFileListsTheGivenAddressFirstAndSaysWhatIsUnknown) {
  const std::vector<TLocalAddress> addresses = {{"192.168.1.50", "Wi-Fi", TAdapterKind::WiFi},
                                                {"172.20.0.5", "vEthernet\t(Default\r\nSwitch)", TAdapterKind::Virtual}};
  const std::string head = "# This computer's addresses, the one given out first, and what may keep visitors out:\n"
                           "# written by the program at each Start for the host page.\n"
                           "address\t192.168.1.50\twifi\tWi-Fi\n"
                           "address\t172.20.0.5\tvirtual\tvEthernet (Default  Switch)\n";
  EXPECT_EQ(head + "firewall\tunknown\nnetworks\tunknown\n",
            HostNetworkText(addresses, TFirewallState::Unknown, TNetworkCategories{true, false, {{"Home", "private"}}}));
  EXPECT_EQ(head + "firewall\tblocked\nnetworks\tknown\nnetwork\tpublic\tCaf\xC3\xA9 \nnetwork\tprivate\tHome\n",
            HostNetworkText(addresses, TFirewallState::Blocked,
                            TNetworkCategories{true, true, {{"Caf\xC3\xA9\n", "public"}, {"Home", "private"}}}));
}

}  // namespace
