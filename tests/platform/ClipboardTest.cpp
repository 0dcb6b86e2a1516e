// The clipboard owners: text of any script goes on and comes back whole, replaces what
// was there, and the clipboard is free again afterwards for every other program.
#include "platform/Clipboard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct ClipboardCase {
  const char* name;
  std::wstring text;
};

class ClipboardRoundTrip : public ::testing::TestWithParam<ClipboardCase> {};

TEST_P(ClipboardRoundTrip, TextComesBackAsItWasPut) {
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, L"something else first"));
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, GetParam().text));
  EXPECT_EQ(platform::ClipboardText(nullptr), GetParam().text);
  // Closed again: another owner can open it at once.
  ASSERT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ClipboardRoundTrip,
    ::testing::Values(ClipboardCase{"Empty", L""},
                      ClipboardCase{"Table", L"File\tBPM (Primary)\r\nC:\\a.mp3\t120.00\r\n"},
                      ClipboardCase{"GreekAndJapanese", L"C:\\\u03a9\u03b4\u03ae\\\u62cd\u5b50.wav"},
                      // Outside the basic plane: a surrogate pair in UTF-16.
                      ClipboardCase{"MusicalSymbol", L"\U0001D11E clef.mp3"}),
    [](const auto& clip) { return std::string(clip.param.name); });

TEST(ClipboardScope, ThePutFailsWhileAnotherThreadHoldsTheClipboard) {
  ASSERT_TRUE(platform::PutTextOnClipboard(nullptr, L"kept"));
  struct Outcome {
    bool opened = true;
    bool put = true;
  } outcome;
  // The clipboard is held by a window, as the program holds it while it copies.
  HWND holder = CreateWindowExA(0, "Static", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(holder, nullptr);
  {
    const platform::OpenClipboardScope held(holder);
    ASSERT_TRUE(held.IsOpen());
    // Another thread's scope gives up after its
    // retries, and putting text fails rather than overwriting what is there.
    HANDLE other = CreateThread(
        nullptr, 0,
        [](void* out) -> DWORD {
          auto* result = static_cast<Outcome*>(out);
          result->opened = platform::OpenClipboardScope(nullptr).IsOpen();
          result->put = platform::PutTextOnClipboard(nullptr, L"lost");
          return 0;
        },
        &outcome, 0, nullptr);
    ASSERT_NE(other, nullptr);
    WaitForSingleObject(other, 10000);
    CloseHandle(other);
  }
  DestroyWindow(holder);
  EXPECT_FALSE(outcome.opened);
  EXPECT_FALSE(outcome.put);
  EXPECT_EQ(platform::ClipboardText(nullptr), L"kept");
}

TEST(ClipboardText, AnsiTextBecomesUtf16InTheProcessCodePage) {
  EXPECT_EQ(platform::WideFromAnsi(""), L"");
  EXPECT_EQ(platform::WideFromAnsi("C:\\music\\a 120.wav\t120.00\r\n"), L"C:\\music\\a 120.wav\t120.00\r\n");
  if (GetACP() == CP_UTF8) {
    EXPECT_EQ(platform::WideFromAnsi("\xCE\xA9\xCE\xB4\xCE\xAE \xE6\x8B\x8D"), L"\u03a9\u03b4\u03ae \u62cd");
  } else if (GetACP() == 1252) {
    EXPECT_EQ(platform::WideFromAnsi("caf\xE9 \x80"), L"caf\u00e9 \u20ac");
  }
}

}  // namespace
