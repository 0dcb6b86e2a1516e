// Trailing backslashes and the executable's folder.
#include "platform/Paths.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct BackslashCase {
  const char* path;
  const char* expected;
};

class TrailingBackslash : public ::testing::TestWithParam<BackslashCase> {};

TEST_P(TrailingBackslash, AppendsOnlyWhenMissing) {
  EXPECT_EQ(platform::WithTrailingBackslash(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, TrailingBackslash,
                         ::testing::Values(BackslashCase{"", ""}, BackslashCase{"D:\\", "D:\\"},
                                           BackslashCase{"D:", "D:\\"}, BackslashCase{"D:\\Music", "D:\\Music\\"},
                                           BackslashCase{"D:\\Music\\", "D:\\Music\\"},
                                           BackslashCase{"\\\\server\\share", "\\\\server\\share\\"},
                                           BackslashCase{"C:\\a b ", "C:\\a b \\"}));

TEST(Paths, EndsWithBackslashLooksAtTheLastCharacter) {
  EXPECT_TRUE(platform::EndsWithBackslash("C:\\"));
  EXPECT_FALSE(platform::EndsWithBackslash("C:\\x"));
  EXPECT_FALSE(platform::EndsWithBackslash(""));
}

// In code page 932 the second byte of 0x95 0x5C is no backslash, and of 0x83 0x2F no
// slash: the name is split at whole characters only.
TEST(Paths, FileNameSplitsAtCharactersNotBytesInADoubleByteCodePage) {
  EXPECT_EQ(platform::FileNameOf("D:\\Music\\\x95\x5C.mp3", 932), "\x95\x5C.mp3");
  EXPECT_EQ(platform::FileNameOf("D:\\\x83\x2F\\a\x95\x5C\x95\x5C.wav", 932), "a\x95\x5C\x95\x5C.wav");
  EXPECT_EQ(platform::FileNameOf("D:\\Music\\\x95\x5C.mp3", 1252), ".mp3");
  EXPECT_EQ(platform::FileNameOf("trail\x95", 932), "trail\x95");
}

TEST(Paths, ModuleFolderHoldsThisExecutable) {
  const std::string folder = platform::ModuleFolder();
  ASSERT_TRUE(platform::EndsWithBackslash(folder));
  EXPECT_NE(GetFileAttributesA((folder + "platform_test.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
