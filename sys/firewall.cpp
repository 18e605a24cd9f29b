// firewall.cpp - the firewall's verdict on visitors, from its profiles and
// the program's rules.
#include "sys/firewall.h"

namespace {

// How bad a state is for a visitor: the worst profile decides.
int Severity(TFirewallState state) {
  switch (state) {
    case TFirewallState::Off: return 0;
    case TFirewallState::Allowed: return 1;
    case TFirewallState::Inactive: return 2;
    case TFirewallState::Missing: return 3;
    case TFirewallState::Blocked: return 4;
    default: return -1;
  }
}

TFirewallState ProfileVerdict(const TFirewallProfile& profile, const std::vector<TFirewallRule>& rules) {
  constexpr long kTcp = 6, kAnyProtocol = 256;
  if (!profile.Enabled) return TFirewallState::Off;
  if (profile.BlockAllInbound) return TFirewallState::Blocked;
  bool allowed = false;
  for (const TFirewallRule& rule : rules) {
    if (!rule.Enabled || (rule.Profiles & profile.Type) == 0) continue;
    if (rule.Protocol != kTcp && rule.Protocol != kAnyProtocol) continue;
    if (!rule.Allow) return TFirewallState::Blocked;
    allowed = true;
  }
  if (allowed) return TFirewallState::Allowed;
  return rules.empty() ? TFirewallState::Missing : TFirewallState::Inactive;
}

}  // namespace

TFirewallState FirewallVerdict(const std::vector<TFirewallProfile>& current, const std::vector<TFirewallRule>& rules) {
  TFirewallState verdict = TFirewallState::Unknown;
  for (const TFirewallProfile& profile : current) {
    const TFirewallState state = ProfileVerdict(profile, rules);
    if (Severity(state) > Severity(verdict)) verdict = state;
  }
  return verdict;
}

const char* FirewallStateKey(TFirewallState state) {
  switch (state) {
    case TFirewallState::NotManaged: return "none";
    case TFirewallState::Unknown: return "unknown";
    case TFirewallState::Off: return "off";
    case TFirewallState::Allowed: return "allowed";
    case TFirewallState::Blocked: return "blocked";
    case TFirewallState::Inactive: return "inactive";
    case TFirewallState::Missing: return "missing";
  }
  return "unknown";
}
