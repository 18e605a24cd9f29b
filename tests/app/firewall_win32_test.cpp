// firewall_win32_test.cpp - the firewall entry by late binding: any failure is
// an exception (for the window's guard to swallow), never a crash.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <stdexcept>

#include "base/program_env.h"
#include "sys/firewall.h"

TEST(Firewall, WithoutComTheStepFailsAsAnError) {
  EXPECT_THROW(AddFirewallException("Ostrel File Sharing Server", GetExePath()),
               std::runtime_error);
}

// Every object and member is found by its name at run time: a misspelt one
// fails the step. Only the firewall's own refusal of the entry (a user
// without the rights) may still end it, as an error for the caller to absorb.
TEST(Firewall, AddingTwiceReachesTheFirewallEachTime) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  for (int i = 0; i < 2; ++i) {
    try {
      AddFirewallException("Ostrel File Sharing Server", GetExePath());
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ("IDispatch::Invoke failed (0x80070005)", e.what()) << "attempt " << i + 1;
    }
  }
  CoUninitialize();
}
