// error_text_test.cpp - the error box's full-stop rule.
#include <gtest/gtest.h>

#include "ui/error_text.h"

TEST(ErrorBoxText, FullStopOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ("Cannot create file \"x\". Access is denied.", ErrorBoxText("Cannot create file \"x\". Access is denied"));
  EXPECT_EQ("Disk full.", ErrorBoxText("Disk full."));
  EXPECT_EQ("Stop!", ErrorBoxText("Stop!"));          // '!' sorts before '.'
  EXPECT_EQ("(code 5)", ErrorBoxText("(code 5)"));    // ')' sorts before '.'
  EXPECT_EQ("C:\\dir/.", ErrorBoxText("C:\\dir/"));   // '/' sorts after '.'
  EXPECT_EQ("I/O error 183.", ErrorBoxText("I/O error 183"));
  EXPECT_EQ("caf\xE9.", ErrorBoxText("caf\xE9"));     // 8-bit characters count as high
  EXPECT_EQ("", ErrorBoxText(""));
}
