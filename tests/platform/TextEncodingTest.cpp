// Texts in the ANSI code page as UTF-8.
#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using platform::AnsiToUtf8;

TEST(TextEncodingTest, PathsBecomeUtf8) {
#ifndef _WIN32
  EXPECT_EQ(AnsiToUtf8("plain/\xC3\xA9"), "plain/\xC3\xA9");
#else
  if (GetACP() == CP_UTF8) {
    EXPECT_EQ(AnsiToUtf8("plain/\xC3\xA9"), "plain/\xC3\xA9");
  }
  // The test program has no UTF-8 manifest: its code page is the system's ANSI one.
  if (GetACP() == 1252) {
    EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  }
#endif
}

}  // namespace
