// ini_text_test.cpp - the initialization-file subset on text: what a read
// finds, and what a write changes and leaves alone.
#include <gtest/gtest.h>

#include "config/ini_text.h"

using initext::ReadValue;
using initext::WriteValue;

TEST(IniTextRead, TrimsBlanksAndTabsAndOneMatchingPairOfQuotes) {
  const std::string text =
      "[S]\r\nplain= \t value with  inner blanks\t \r\ndq=\"1\"\r\nsq='a b'\r\n"
      "mixed=\"1'\r\ninner=a\"b\"\r\nspaced = \" x \" \r\nempty=\r\nlone=\"\r\n";
  EXPECT_EQ(ReadValue(text, "S", "plain"), "value with  inner blanks");
  EXPECT_EQ(ReadValue(text, "S", "dq"), "1");
  EXPECT_EQ(ReadValue(text, "S", "sq"), "a b");
  EXPECT_EQ(ReadValue(text, "S", "mixed"), "\"1'");
  EXPECT_EQ(ReadValue(text, "S", "inner"), "a\"b\"");
  EXPECT_EQ(ReadValue(text, "S", "spaced"), " x ");
  EXPECT_EQ(ReadValue(text, "S", "empty"), "");
  EXPECT_EQ(ReadValue(text, "S", "lone"), "\"");
}

TEST(IniTextRead, NamesIgnoreCaseAndTheFirstSectionAndKeyWin) {
  const std::string text =
      "top=before any section\r\n"
      "[kelv]\r\n;AutoRun=commented\r\n  AUTORUN  =first\r\nautorun=second\r\nk=a=b\r\n"
      "[KELV]\r\nAutoRun=later section\r\nonlyLater=x\r\n"
      "[ Spaced ]\r\nv=1\r\n";
  EXPECT_EQ(ReadValue(text, "Kelv", "AutoRun"), "first");
  EXPECT_EQ(ReadValue(text, "Kelv", "k"), "a=b");
  // The first matching section is the only one searched.
  EXPECT_EQ(ReadValue(text, "Kelv", "onlyLater"), std::nullopt);
  EXPECT_EQ(ReadValue(text, "Spaced", "v"), "1");
  EXPECT_EQ(ReadValue(text, "Kelv", "top"), std::nullopt);
  EXPECT_EQ(ReadValue(text, "Missing", "AutoRun"), std::nullopt);
  EXPECT_EQ(ReadValue(text, "Kelv", "Missing"), std::nullopt);
  EXPECT_EQ(ReadValue("", "Kelv", "AutoRun"), std::nullopt);
}

TEST(IniTextRead, AcceptsOtherLineEndsAndCutsLongValues) {
  EXPECT_EQ(ReadValue("[A]\nx=1\n[B]\ny=2", "B", "y"), "2");
  EXPECT_EQ(ReadValue("[A]\rx=1\r", "A", "x"), "1");
  const std::string longValue(3000, 'v');
  EXPECT_EQ(ReadValue("[A]\r\nx=" + longValue + "\r\n", "A", "x"), std::string(initext::kMaxValue, 'v'));
}

TEST(IniTextWrite, ReplacesTheKeysLineInPlaceAndKeepsEveryOtherByte) {
  const std::string before =
      "; head comment\r\n[Other]\r\na = 1\r\n\r\n[Kelv]\r\n  autorun = \"1\" ; old\r\nAutoRun=dup\r\n"
      "odd line without equals\r\nlf only\n[Last]\r\nb=2";
  const std::string after =
      "; head comment\r\n[Other]\r\na = 1\r\n\r\n[Kelv]\r\nAutoRun=0\r\nAutoRun=dup\r\n"
      "odd line without equals\r\nlf only\n[Last]\r\nb=2";
  EXPECT_EQ(WriteValue(before, "KELV", "AutoRun", "0"), after);
}

TEST(IniTextWrite, InsertsAMissingKeyAfterTheSectionsLastNonBlankLine) {
  const std::string before = "[PHP]\r\nengine = On\r\n;extension = x.dll\r\n\r\n \t\r\n[Syslog]\r\n";
  EXPECT_EQ(WriteValue(before, "php", "mime_magic.magicfile", "C:\\php\\magic.mime"),
            "[PHP]\r\nengine = On\r\n;extension = x.dll\r\nmime_magic.magicfile=C:\\php\\magic.mime\r\n"
            "\r\n \t\r\n[Syslog]\r\n");
  // A section of blank lines only gets the entry right under its header.
  EXPECT_EQ(WriteValue("[A]\r\n\r\n[B]\r\n", "A", "k", "v"), "[A]\r\nk=v\r\n\r\n[B]\r\n");
  // A last line without a break gets one before the new entry.
  EXPECT_EQ(WriteValue("[A]\r\nx=1", "A", "k", "v"), "[A]\r\nx=1\r\nk=v\r\n");
  // Duplicate sections: the first one takes the entry.
  EXPECT_EQ(WriteValue("[A]\r\nx=1\r\n[a]\r\ny=2\r\n", "A", "y", "3"), "[A]\r\nx=1\r\ny=3\r\n[a]\r\ny=2\r\n");
}

TEST(IniTextWrite, AppendsAMissingSectionAtTheEnd) {
  EXPECT_EQ(WriteValue("", "Kelv", "AutoRun", "1"), "[Kelv]\r\nAutoRun=1\r\n");
  EXPECT_EQ(WriteValue("[A]\r\nx=1\r\n\r\n", "Kelv", "AutoRun", "1"), "[A]\r\nx=1\r\n\r\n[Kelv]\r\nAutoRun=1\r\n");
  EXPECT_EQ(WriteValue("[A]\r\nx=1", "B", "k", "v"), "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
  // A commented-out section heading is no section.
  EXPECT_EQ(WriteValue(";[B]\r\n", "B", "k", "v"), ";[B]\r\n[B]\r\nk=v\r\n");
}

TEST(IniTextWrite, WritesTheValueExactlyAndReadsItBack) {
  const std::string text = WriteValue("", "S", "path", "C:\\Program Files\\Share\\php\\temp");
  EXPECT_EQ(text, "[S]\r\npath=C:\\Program Files\\Share\\php\\temp\r\n");
  EXPECT_EQ(ReadValue(text, "S", "path"), "C:\\Program Files\\Share\\php\\temp");
  EXPECT_EQ(WriteValue(text, "S", "path", ""), "[S]\r\npath=\r\n");
}
