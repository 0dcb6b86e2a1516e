// The clipboard owners: text of any script goes on and comes back whole, replaces what
// was there, and the clipboard is free again afterwards for every other program.
#include "platform/Clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class ClipboardRoundTrip : public ::testing::TestWithParam<std::wstring> {};

TEST_P(ClipboardRoundTrip, TextComesBackAsItWasPut) {
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, L"something else first"));
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, GetParam()));
  EXPECT_EQ(platform::ClipboardText(nullptr), GetParam());
  ASSERT_TRUE(OpenClipboard(nullptr)) << "the clipboard was left open";
  CloseClipboard();
}

// Empty, a table, Greek and Japanese, and a character outside the basic plane (a
// surrogate pair in UTF-16).
INSTANTIATE_TEST_SUITE_P(Texts, ClipboardRoundTrip,
                         ::testing::Values(L"", L"File\tBPM (Primary)\r\nC:\\a.mp3\t120.00\r\n",
                                           L"C:\\\u03a9\u03b4\u03ae\\\u62cd\u5b50.wav", L"\U0001D11E clef.mp3"));

}  // namespace
