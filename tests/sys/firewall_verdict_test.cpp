// firewall_verdict_test.cpp - what the firewall makes of a visitor, from its
// profiles and the program's rules, on both builds.
#include <gtest/gtest.h>

#include <vector>

#include "sys/firewall.h"

namespace {

constexpr long kPrivate = 2, kPublic = 4, kAll = 0x7FFFFFFF;
constexpr long kTcp = 6, kUdp = 17, kAny = 256;

TEST(FirewallVerdict, TheWorstCurrentProfileDecides) {
  using S = TFirewallState;
  const TFirewallProfile privateOn{kPrivate, true, false}, publicOn{kPublic, true, false};
  const TFirewallRule allowPrivate{true, true, kPrivate, kTcp};
  const struct {
    const char* Case;
    std::vector<TFirewallProfile> Current;
    std::vector<TFirewallRule> Rules;
    S Expected;
  } cases[] = {
      {"allowed on the private network it is on", {privateOn}, {allowPrivate}, S::Allowed},
      {"allowed on every profile, any protocol", {publicOn}, {{true, true, kAll, kAny}}, S::Allowed},
      {"allowed on private, but the network is public", {publicOn}, {allowPrivate}, S::Inactive},
      {"the entry is there but turned off", {privateOn}, {{false, true, kPrivate, kTcp}}, S::Inactive},
      {"only a UDP rule", {privateOn}, {{true, true, kPrivate, kUdp}}, S::Inactive},
      {"no rule at all", {privateOn}, {}, S::Missing},
      {"the dismissed question's block rule wins over an allow rule", {publicOn},
       {{true, true, kAll, kTcp}, {true, false, kPublic, kTcp}}, S::Blocked},
      {"every incoming connection blocked", {{kPublic, true, true}}, {{true, true, kAll, kTcp}}, S::Blocked},
      {"the firewall is off", {{kPublic, false, false}}, {}, S::Off},
      {"off on one network, missing on the other", {{kPublic, false, false}, privateOn}, {}, S::Missing},
      {"no current profile: nothing known", {}, {allowPrivate}, S::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Expected, FirewallVerdict(c.Current, c.Rules)) << c.Case;
}

}  // namespace
