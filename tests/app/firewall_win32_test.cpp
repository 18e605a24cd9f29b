// firewall_win32_test.cpp - the firewall entry by late binding: any failure is
// an exception (for the window's guard to swallow), never a crash.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <stdexcept>

#include "http/ostrel.h"

TEST(Firewall, WithoutComTheStepFailsAsAnError) {
  EXPECT_THROW(TOstrel::AddFirewallException("Ostrel File Sharing Server", TOstrel::GetExePath()),
               std::runtime_error);
}

TEST(Firewall, AddingTwiceEndsEachTimeWithoutACrash) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  for (int i = 0; i < 2; ++i) {
    try {
      TOstrel::AddFirewallException("Ostrel File Sharing Server", TOstrel::GetExePath());
    } catch (const std::runtime_error&) {
      // A firewall that refuses (no objects, no rights) is an error, silently absorbed by the caller.
    }
  }
  CoUninitialize();
}
