// network_category.h - the networks the machine is connected to, as Windows
// classes them: on a public network its firewall turns visitors away unless a
// program is allowed there too. Main thread only (COM initialised on it).
#pragma once
#include <string>
#include <vector>

struct TConnectedNetwork {
  std::string Name;      // as the system names it (UTF-8)
  std::string Category;  // "public", "private" or "domain"
};

struct TNetworkCategories {
  bool Applies = false;  // the system classes networks (Windows)
  bool Known = false;    // and told the classes: never guessed
  std::vector<TConnectedNetwork> Networks;
};

// Asks the system afresh; never raises.
TNetworkCategories ReadNetworkCategories();
