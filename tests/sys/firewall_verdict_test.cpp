// firewall_verdict_test.cpp - what the firewall makes of a visitor, from its
// profiles and the program's rules, on both builds.
#include <gtest/gtest.h>

#include <vector>

#include "sys/firewall.h"

namespace {

constexpr long kDomain = 1, kPrivate = 2, kPublic = 4, kAll = 0x7FFFFFFF;
constexpr long kTcp = 6, kUdp = 17, kAny = 256;

TFirewallRule Allow(long profiles, long protocol = kTcp) { return {true, true, profiles, protocol}; }
TFirewallRule Block(long profiles, long protocol = kTcp) { return {true, false, profiles, protocol}; }
TFirewallRule Disabled(long profiles) { return {false, true, profiles, kTcp}; }

TEST(FirewallVerdict, TheWorstCurrentProfileDecides) {
  const TFirewallProfile privateOn{kPrivate, true, false}, publicOn{kPublic, true, false};
  const TFirewallProfile publicOff{kPublic, false, false}, publicShielded{kPublic, true, true};
  const struct {
    const char* Case;
    std::vector<TFirewallProfile> Current;
    std::vector<TFirewallRule> Rules;
    TFirewallState Expected;
  } cases[] = {
      {"allowed on the private network it is on", {privateOn}, {Allow(kPrivate), Allow(kPrivate, kUdp)},
       TFirewallState::Allowed},
      {"allowed on every profile, any protocol", {publicOn}, {Allow(kAll, kAny)}, TFirewallState::Allowed},
      {"allowed on private, but the network is public", {publicOn}, {Allow(kPrivate)}, TFirewallState::Inactive},
      {"the entry is there but turned off", {privateOn}, {Disabled(kPrivate | kPublic)}, TFirewallState::Inactive},
      {"only a UDP rule", {privateOn}, {Allow(kPrivate, kUdp)}, TFirewallState::Inactive},
      {"no rule at all", {privateOn}, {}, TFirewallState::Missing},
      {"the dismissed question's block rule wins over an allow rule", {publicOn}, {Allow(kAll), Block(kPublic)},
       TFirewallState::Blocked},
      {"a block rule of another profile does not count", {privateOn}, {Allow(kPrivate), Block(kPublic)},
       TFirewallState::Allowed},
      {"every incoming connection blocked", {publicShielded}, {Allow(kAll)}, TFirewallState::Blocked},
      {"the firewall is off", {publicOff}, {}, TFirewallState::Off},
      {"off on one network, missing on the other", {publicOff, privateOn}, {}, TFirewallState::Missing},
      {"two networks, allowed on both", {{kDomain, true, false}, privateOn}, {Allow(kDomain | kPrivate)},
       TFirewallState::Allowed},
      {"no current profile: nothing known", {}, {Allow(kAll)}, TFirewallState::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Expected, FirewallVerdict(c.Current, c.Rules)) << c.Case;
}

TEST(FirewallVerdict, StatesHaveTheirFileWords) {
  EXPECT_STREQ("none", FirewallStateKey(TFirewallState::NotManaged));
  EXPECT_STREQ("unknown", FirewallStateKey(TFirewallState::Unknown));
  EXPECT_STREQ("off", FirewallStateKey(TFirewallState::Off));
  EXPECT_STREQ("allowed", FirewallStateKey(TFirewallState::Allowed));
  EXPECT_STREQ("blocked", FirewallStateKey(TFirewallState::Blocked));
  EXPECT_STREQ("inactive", FirewallStateKey(TFirewallState::Inactive));
  EXPECT_STREQ("missing", FirewallStateKey(TFirewallState::Missing));
}

}  // namespace
