// service_posix_test.cpp - the systemd stand-in for the service operations and
// the service commands built on them, in a unit directory of the test's own
// with a stand-in systemctl that records its calls.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/run_mode.h"
#include "support/temp_dir.h"
#include "sys/service.h"

namespace fs = std::filesystem;

namespace {

class ServiceUnit : public ::testing::Test {
 protected:
  ServiceUnit() {
    FDir.MakeDir("units");
    SetSystemctlExit(0);
    setenv("OSTREL_SYSTEMD_DIR", FDir.At("units").c_str(), 1);
    setenv("OSTREL_SYSTEMCTL", FDir.At("systemctl").c_str(), 1);
  }
  ~ServiceUnit() override {
    unsetenv("OSTREL_SYSTEMD_DIR");
    unsetenv("OSTREL_SYSTEMCTL");
  }

  void SetSystemctlExit(int code) {
    std::string script = FDir.Write("systemctl", "#!/bin/sh\necho \"$*\" >> '" + FDir.At("calls") +
                                                      "'\nexit " + std::to_string(code) + "\n");
    chmod(script.c_str(), 0755);
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(FDir.At(relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Calls() const { return Read("calls"); }
  fs::path Unit() const { return FDir.At("units/ostrel_kelv_2008.service"); }
  fs::path WantsLink() const { return FDir.At("units/multi-user.target.wants/ostrel_kelv_2008.service"); }

  TTempDir FDir{"service"};
};

}  // namespace

TEST_F(ServiceUnit, InstallWritesAnEnabledUnitThatRunsTheProgramWithAuto) {
  EXPECT_FALSE(ServiceExists("OSTREL_KELV_2008"));
  ASSERT_TRUE(InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/ostrel/ostrel"));
  EXPECT_TRUE(ServiceExists("OSTREL_KELV_2008"));
  std::string unit = Read("units/ostrel_kelv_2008.service");
  EXPECT_NE(std::string::npos, unit.find("Description=OSTREL_KELV_2008\n"));
  EXPECT_NE(std::string::npos, unit.find("ExecStart=\"/opt/ostrel/ostrel\" -auto\n"));
  EXPECT_NE(std::string::npos, unit.find("WantedBy=multi-user.target\n"));
  EXPECT_TRUE(fs::is_symlink(WantsLink()));
  EXPECT_EQ(Unit(), fs::read_symlink(WantsLink()));
}

TEST_F(ServiceUnit, PathsWithBlanksAndSpecifiersSurviveTheUnitSyntax) {
  ASSERT_TRUE(InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/My Apps/100%/\"o\"$x"));
  EXPECT_NE(std::string::npos,
            Read("units/ostrel_kelv_2008.service").find("ExecStart=\"/opt/My Apps/100%%/\\\"o\\\"$$x\" -auto\n"));
}

TEST_F(ServiceUnit, NamesAndPathsThatWouldBreakOutAreRefused) {
  EXPECT_FALSE(InstallService("OSTREL", "OSTREL", "/bin/x\nExecStartPre=/bin/evil"));
  EXPECT_FALSE(InstallService("../evil", "x", "/bin/x"));
  EXPECT_FALSE(InstallService("OSTREL", "a\n[Service]", "/bin/x"));
  EXPECT_FALSE(ServiceExists("../units/ostrel"));
  EXPECT_TRUE(fs::is_empty(FDir.At("units")));
}

TEST_F(ServiceUnit, RunStartsTheUnitAndReportsSystemctlsOutcome) {
  EXPECT_FALSE(RunService("OSTREL_KELV_2008"));  // not installed: systemctl not asked
  EXPECT_EQ("", Calls());
  InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/ostrel/ostrel");
  EXPECT_TRUE(RunService("OSTREL_KELV_2008"));
  EXPECT_NE(std::string::npos, Calls().find("start ostrel_kelv_2008.service\n"));
  SetSystemctlExit(1);
  EXPECT_FALSE(RunService("OSTREL_KELV_2008"));
}

TEST_F(ServiceUnit, UninstallRemovesTheUnitEvenWhenTheStopFails) {
  InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/ostrel/ostrel");
  SetSystemctlExit(5);
  EXPECT_TRUE(UninstallService("OSTREL_KELV_2008"));
  EXPECT_NE(std::string::npos, Calls().find("stop ostrel_kelv_2008.service\n"));
  EXPECT_FALSE(fs::exists(Unit()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(WantsLink())));
  EXPECT_FALSE(ServiceExists("OSTREL_KELV_2008"));
  EXPECT_FALSE(UninstallService("OSTREL_KELV_2008"));
}

TEST_F(ServiceUnit, FailuresAreFalseResults) {
  setenv("OSTREL_SYSTEMD_DIR", FDir.At("missing").c_str(), 1);
  EXPECT_FALSE(InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/ostrel/ostrel"));
  EXPECT_FALSE(ServiceExists("OSTREL_KELV_2008"));
  setenv("OSTREL_SYSTEMD_DIR", FDir.At("units").c_str(), 1);
  setenv("OSTREL_SYSTEMCTL", FDir.At("no-such-systemctl").c_str(), 1);
  EXPECT_TRUE(InstallService("OSTREL_KELV_2008", "OSTREL_KELV_2008", "/opt/ostrel/ostrel"));
  EXPECT_FALSE(RunService("OSTREL_KELV_2008"));
}

TEST_F(ServiceUnit, CommandsInstallOnceRunAfterInstallingAndUninstallOnlyWhatExists) {
  RunServiceCommand(TRunMode::Uninstall, "/opt/ostrel/ostrel");
  EXPECT_EQ("", Calls());  // nothing there: not even a stop request
  RunServiceCommand(TRunMode::Install, "/opt/ostrel/ostrel");
  ASSERT_TRUE(fs::exists(Unit()));
  // A second install leaves the existing unit alone.
  RunServiceCommand(TRunMode::Install, "/opt/other/ostrel");
  EXPECT_NE(std::string::npos, Read("units/ostrel_kelv_2008.service").find("/opt/ostrel/ostrel"));
  RunServiceCommand(TRunMode::Uninstall, "/opt/ostrel/ostrel");
  EXPECT_FALSE(fs::exists(Unit()));
  RunServiceCommand(TRunMode::InstallAndRun, "/opt/ostrel/ostrel");
  EXPECT_TRUE(fs::exists(Unit()));
  EXPECT_NE(std::string::npos, Calls().find("start ostrel_kelv_2008.service\n"));
}
