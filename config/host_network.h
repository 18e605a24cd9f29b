// host_network.h - the machine's addresses as the program gives them out (the
// user's pick first), and what the host page learns of the network from the
// program: state/network.txt beside www, written whole at each Start. Main
// thread only (the firewall and the network list are asked through COM).
#pragma once
#include <string>
#include <vector>

#include "config/site_access.h"
#include "net/address_choice.h"
#include "sys/firewall.h"
#include "sys/network_category.h"

// The machine's addresses (net/local_ip.h), the one in Setup.ini's pick first
// while the machine has it.
std::vector<TLocalAddress> OfferedAddresses();
// The same of the machine's addresses as asked already (the program's own choice first).
std::vector<TLocalAddress> OfferedAddresses(std::vector<TLocalAddress> own);

// The file's lines, each "<key>\t<fields...>": "address\t<ip>\t<kind key>\t<adapter>"
// for each address, the one given out first; "firewall\t<state key>";
// "networks\tnone|unknown|known", then "network\t<category>\t<name>" for each
// connected network when known. Tabs and control bytes in names become spaces.
std::string HostNetworkText(const std::vector<TLocalAddress>& addresses, TFirewallState firewall,
                            const TNetworkCategories& networks);

// Writes the file for addresses, with the firewall (for this program) and the
// networks asked afresh; a failure leaves the host page with what it had.
void WriteHostNetwork(const std::vector<TLocalAddress>& addresses);
