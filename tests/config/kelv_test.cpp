// kelv_test.cpp - the settings file, the shared-directory list and the upload
// directory, in temporary application directories.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/program_env.h"
#include "config/config_error.h"
#include "config/kelv.h"
#include "config/upload_dir.h"
#include "support/temp_dir.h"

namespace {

void ExpectMessage(void (*action)(), const std::string& prefix) {
  try {
    action();
    ADD_FAILURE() << "no error";
  } catch (const EConfigError& e) {
    std::string message = e.what();
    EXPECT_EQ(message.substr(0, prefix.size()), prefix);
    EXPECT_GT(message.size(), prefix.size()) << "the system's text is missing";
  }
}

}  // namespace

TEST(KelvAutoRun, FirstRunWritesTheSettingsFileAndReadsOn) {
  TTempAppDir app("kelv");
  EXPECT_TRUE(TKelv::GetAutoRun());
  EXPECT_EQ(Slurp(app.At("Setup.ini")), "[Kelv]\r\nAutoRun=1\r\n");
  TKelv::SetAutoRun("0");
  EXPECT_FALSE(TKelv::GetAutoRun());
  EXPECT_EQ(Slurp(app.At("Setup.ini")), "[Kelv]\r\nAutoRun=0\r\n");
}

TEST(KelvAutoRun, OnlyOneAfterTrimmingAndUnquotingIsOn) {
  TTempAppDir app("kelv");
  const struct {
    const char* entry;
    bool on;
  } cases[] = {{"AutoRun=0", false},     {"AutoRun=yes", false},  {"AutoRun=true", false},
               {"AutoRun=01", false},    {"AutoRun= 1 ", true},   {"AutoRun=\"1\"", true},
               {"autorun\t=\t1", true},  {"AutoRun='1'", true},   {"AutoRun=\" 1 \"", true}};
  for (const auto& c : cases) {
    Spill(app.At("Setup.ini"), std::string("[Kelv]\r\n") + c.entry + "\r\n");
    EXPECT_EQ(TKelv::GetAutoRun(), c.on) << c.entry;
    EXPECT_EQ(Slurp(app.At("Setup.ini")), std::string("[Kelv]\r\n") + c.entry + "\r\n") << "a read must not write";
  }
}

TEST(KelvAutoRun, ABlankValueIsWrittenAsOneInItsPlace) {
  TTempAppDir app("kelv");
  Spill(app.At("Setup.ini"), "[Kelv]\r\nAutoRun=  \r\nNext=x\r\n");
  EXPECT_TRUE(TKelv::GetAutoRun());
  EXPECT_EQ(Slurp(app.At("Setup.ini")), "[Kelv]\r\nAutoRun=1\r\nNext=x\r\n");
}

TEST(KelvAutoRun, SetAutoRunKeepsOtherSectionsAndKeys) {
  TTempAppDir app("kelv");
  const std::string before = "[First]\r\nA = 1\r\n\r\n[Kelv]\r\nWindow=2\r\nAutoRun=1\r\n; note\r\n[Last]\r\nb=\"x\"\r\n";
  Spill(app.At("Setup.ini"), before);
  TKelv::SetAutoRun("0");
  EXPECT_EQ(Slurp(app.At("Setup.ini")),
            "[First]\r\nA = 1\r\n\r\n[Kelv]\r\nWindow=2\r\nAutoRun=0\r\n; note\r\n[Last]\r\nb=\"x\"\r\n");
}

TEST(KelvAutoRun, AnUnwritableSettingsFileRaises) {
  TTempAppDir app("kelv");
  app.MakeDir("Setup.ini");
  try {
    TKelv::SetAutoRun("1");
    FAIL() << "no error";
  } catch (const EConfigError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + app.At("Setup.ini"));
  }
}

TEST(KelvSharedDirs, SavesEveryLineWithCrLf) {
  TTempAppDir app("kelv");
  app.MakeDir("www");
  TKelv::SaveSharedDirs("C:\\Shared\\Photos\r\nD:");
  EXPECT_EQ(Slurp(app.At("www/dirs.ini")), "C:\\Shared\\Photos\r\nD:\r\n");
  EXPECT_EQ(TKelv::LoadSharedDirs(), "C:\\Shared\\Photos\r\nD:\r\n");
  TKelv::SaveSharedDirs("a\nb\rc\r\n\r\nd\n");
  EXPECT_EQ(Slurp(app.At("www/dirs.ini")), "a\r\nb\r\nc\r\n\r\nd\r\n");
}

TEST(KelvSharedDirs, AnEmptyListIsAZeroByteFileAndLoadsEmpty) {
  TTempAppDir app("kelv");
  app.MakeDir("www");
  EXPECT_EQ(TKelv::LoadSharedDirs(), "");  // no file yet
  TKelv::SaveSharedDirs("x");
  TKelv::SaveSharedDirs("");
  ASSERT_TRUE(Exists(app.At("www/dirs.ini")));
  EXPECT_EQ(Slurp(app.At("www/dirs.ini")), "");
  EXPECT_EQ(TKelv::LoadSharedDirs(), "");
}

TEST(KelvSharedDirs, HandWrittenLineEndsLoadAsCrLf) {
  TTempAppDir app("kelv");
  app.MakeDir("www");
  const struct {
    std::string file;
    std::string loaded;
  } cases[] = {{"C:\\a\nD:", "C:\\a\r\nD:\r\n"},
               {"C:\\a\n\rD:\r", "C:\\a\r\n\r\nD:\r\n"},
               {"\r\n\r\nx", "\r\n\r\nx\r\n"},
               {std::string("C:\\a\r\nD:\0E:\r\n", 13), "C:\\a\r\nD:\r\n"}};
  for (const auto& c : cases) {
    Spill(app.At("www/dirs.ini"), c.file);
    EXPECT_EQ(TKelv::LoadSharedDirs(), c.loaded);
  }
}

TEST(KelvSharedDirs, WithoutTheSiteDirectoryTheSaveRaisesAndCreatesNothing) {
  TTempAppDir app("kelv");
  ExpectMessage([] { TKelv::SaveSharedDirs("C:\\x"); },
                "Cannot create file \"" + GetAppDir() + PathDelim() + "www" +
                    PathDelim() + "dirs.ini\". ");
  EXPECT_FALSE(Exists(app.At("www")));
}

TEST(KelvSharedDirs, ADirectoryInPlaceOfTheListLoadsAsNoList) {
  TTempAppDir app("kelv");
  app.MakeDir("www/dirs.ini");
  EXPECT_EQ(TKelv::LoadSharedDirs(), "");
}

TEST(UploadDir, TheDriveOfTheProgramFile) {
  EXPECT_EQ(uploaddir::ForProgram("C:\\Program Files\\Share\\ostrel.exe"), "C:\\Upload Directory");
  EXPECT_EQ(uploaddir::ForProgram("C:\\prog.exe"), "C:\\Upload Directory");
  EXPECT_EQ(uploaddir::ForProgram("\\\\server\\share\\tools\\ostrel.exe"), "\\\\server\\share\\Upload Directory");
  EXPECT_EQ(uploaddir::DriveOf("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(uploaddir::DriveOf("relative\\ostrel.exe"), "");
}

TEST(UploadDir, IsCreatedOnceAndAnExistingOneIsLeftAlone) {
  TTempDir root("upload");
  const std::string dir = root.At("Upload Directory");
  uploaddir::Ensure(dir);
  Spill(root.At("Upload Directory/kept.txt"), "kept");
  uploaddir::Ensure(dir);
  EXPECT_EQ(Slurp(root.At("Upload Directory/kept.txt")), "kept");
}

TEST(UploadDir, FailuresCarryTheSystemCode) {
  TTempDir root("upload");
  Spill(root.At("Upload Directory"), "a file in the way");
  try {
    uploaddir::Ensure(root.At("Upload Directory"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 183);
    EXPECT_STREQ(e.what(), "I/O error 183");
  }
  try {
    uploaddir::Ensure(root.At("no parent/Upload Directory"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
    EXPECT_STREQ(e.what(), "Invalid filename");
  }
}

TEST(UploadDir, InOutErrorTexts) {
  EXPECT_EQ(EInOutError::MessageFor(2), "File not found");
  EXPECT_EQ(EInOutError::MessageFor(4), "Too many open files");
  EXPECT_EQ(EInOutError::MessageFor(5), "File access denied");
  EXPECT_EQ(EInOutError::MessageFor(100), "Read beyond end of file");
  EXPECT_EQ(EInOutError::MessageFor(101), "Disk full");
  EXPECT_EQ(EInOutError::MessageFor(106), "Invalid numeric input");
  EXPECT_EQ(EInOutError::MessageFor(112), "I/O error 112");
}

#ifndef _WIN32
// Linux keeps the upload directory in the home directory.
TEST(UploadDir, LinuxUsesTheHomeDirectory) {
  TTempDir home("home");
  const char* old = std::getenv("HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("HOME", home.Path().c_str(), 1);
  std::string dir;
  EXPECT_NO_THROW(dir = TKelv::GetUploadDir());
  if (old != nullptr)
    ::setenv("HOME", saved.c_str(), 1);
  else
    ::unsetenv("HOME");
  EXPECT_EQ(dir, home.Path() + "/Upload Directory");
  EXPECT_TRUE(Exists(dir));
}
#endif
