// Replacing a file through a copy beside it: the copy is named after the original, keeps
// the permissions and extended attributes, vanishes when abandoned or when the process is
// told to end, and takes the original's place in one rename.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "platform/FileReplace.h"
#include "tests/TestHelpers.h"

namespace {

namespace fs = std::filesystem;

TEST(FileReplaceTest, AbandonedCopyIsRemovedAndTheOriginalKept) {
  testaudio::ScratchDir dir;
  const std::string original = dir.File("song.wav");
  testaudio::WriteFile(original, {1, 2, 3});
  std::string copyPath;
  {
    platform::ReplacementCopy copy;
    ASSERT_EQ(copy.Make(original), "");
    copyPath = copy.Path();
    EXPECT_NE(copyPath, original);
    EXPECT_EQ(fs::path(copyPath).parent_path(), fs::path(original).parent_path());
    EXPECT_EQ(testaudio::ReadFile(copyPath), (testaudio::Bytes{1, 2, 3}));
  }
  EXPECT_FALSE(fs::exists(copyPath));
  EXPECT_EQ(testaudio::ReadFile(original), (testaudio::Bytes{1, 2, 3}));
}

TEST(FileReplaceTest, ReplacedCopyBecomesTheFileWithItsPermissions) {
  testaudio::ScratchDir dir;
  const std::string original = dir.File("song.mp3");
  testaudio::WriteFile(original, {9});
#ifndef _WIN32
  fs::permissions(original, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  platform::ReplacementCopy copy;
  ASSERT_EQ(copy.Make(original), "");
  testaudio::WriteFile(copy.Path(), {7, 7});
  EXPECT_EQ(copy.Flush(), "");
  const std::string copyPath = copy.Path();
  ASSERT_EQ(copy.Replace(original), "");
  EXPECT_EQ(testaudio::ReadFile(original), (testaudio::Bytes{7, 7}));
  EXPECT_FALSE(fs::exists(copyPath));
#ifndef _WIN32
  // Windows keeps only a read-only mark, which CopyFile carries along.
  EXPECT_EQ(fs::status(original).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST(FileReplaceTest, ReadOnlyFileAndMissingFileAreRefusedWithAReason) {
  testaudio::ScratchDir dir;
  const std::string file = dir.File("locked.wav");
  testaudio::WriteFile(file, {1});
  EXPECT_EQ(platform::ReadOnlyReason(file), "");
  testaudio::SetReadOnly(file, true);
  EXPECT_EQ(platform::ReadOnlyReason(file), "read-only file");
  testaudio::SetReadOnly(file, false);
  EXPECT_NE(platform::ReadOnlyReason(dir.File("missing.wav")), "");
  platform::ReplacementCopy copy;
  EXPECT_NE(copy.Make(dir.File("missing.wav")), "");
}

struct CopyName {
  const char* what;
  std::string name;
  size_t maxNameBytes;
  std::string prefix;
};

TEST(FileReplaceTest, CopyNamesFitTheSystemsLimitAtWholeCharacters) {
  const std::string e = "\xC3\xA9";  // é, two bytes
  const CopyName cases[] = {
      {"short name kept whole", "song.mp3", 255, ".song.mp3.temposcout-"},
      // The dot, ".temposcout-" and six characters take 19 bytes.
      {"255 bytes cut to fit", std::string(255, 'a'), 255, "." + std::string(236, 'a') + ".temposcout-"},
      {"cut before a split character", std::string(235, 'a') + e + "b.mp3", 255,
       "." + std::string(235, 'a') + ".temposcout-"},
      {"cut after a whole character", std::string(234, 'a') + e + "b.mp3", 255,
       "." + std::string(234, 'a') + e + ".temposcout-"},
      {"no room at all", "song.mp3", 10, "..temposcout-"},
  };
  for (const CopyName& test : cases) {
    const std::string prefix = platform::CopyNamePrefix(test.name, test.maxNameBytes);
    EXPECT_EQ(prefix, test.prefix) << test.what;
    if (test.maxNameBytes >= 19) {
      EXPECT_LE(prefix.size() + platform::kCopySuffixLength, test.maxNameBytes) << test.what;
    }
  }
}

TEST(FileReplaceTest, LongNamesCanBeCopiedAndLeftoversAreFoundByName) {
  testaudio::ScratchDir dir;
#ifdef _WIN32
  // Whole paths stay within MAX_PATH for the 8-bit functions.
  const std::string original = dir.File(std::string(60, 'x') + ".mp3");
#else
  const std::string original = dir.File(std::string(250, 'x') + ".mp3");
#endif
  testaudio::WriteFile(original, {4, 5});
  platform::ReplacementCopy copy;
  ASSERT_EQ(copy.Make(original), "");
  testaudio::WriteFile(dir.File(".other.mp3.temposcout-"), {1});
  testaudio::WriteFile(dir.File("song.mp3"), {1});
  EXPECT_EQ(platform::LeftoverCopies(platform::ContainingFolder(original)), (std::vector<std::string>{copy.Path()}));
}

#ifndef _WIN32
// In a child process: ending is for good, and the test binary goes on copying.
TEST(FileReplaceTest, CopiesInProgressAreRemovedForAnEndingProcess) {
  testaudio::ScratchDir dir;
  const std::string original = dir.File("song.wav");
  testaudio::WriteFile(original, {1, 2, 3});
  const pid_t child = fork();
  if (child == 0) {
    platform::ReplacementCopy first, second, replaced;
    bool ok = first.Make(original).empty() && second.Make(original).empty() && replaced.Make(original).empty();
    ok = ok && replaced.Replace(original).empty();
    platform::RemoveCopiesInProgress();
    ok = ok && !fs::exists(first.Path()) && !fs::exists(second.Path()) && fs::exists(original);
    // No copy starts once the process is ending.
    platform::ReplacementCopy late;
    ok = ok && late.Make(original) == "the program is ending" && late.Path().empty();
    _exit(ok ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(original).parent_path()), {}), 1);
  EXPECT_EQ(testaudio::ReadFile(original), (testaudio::Bytes{1, 2, 3}));
}
#endif

TEST(FileReplaceTest, IdentityTellsAnEditAndAReplaceFromTheSameFile) {
  testaudio::ScratchDir dir;
  const std::string file = dir.File("song.wav");
  testaudio::WriteFile(file, {1, 2, 3});
  const std::optional<platform::FileIdentity> before = platform::IdentityOf(file);
  ASSERT_TRUE(before);
  EXPECT_EQ(platform::IdentityOf(file), before);
  EXPECT_EQ(before->sizeBytes, 3u);
  testaudio::WriteFile(file, {1, 2, 3, 4});
  EXPECT_NE(platform::IdentityOf(file), before);
  EXPECT_FALSE(platform::IdentityOf(dir.File("missing.wav")));
}

TEST(FileReplaceTest, AFullDiskIsSaidPlainly) {
#ifdef _WIN32
  const int full[] = {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL};
  const int other = ERROR_ACCESS_DENIED;
#else
  const int full[] = {ENOSPC, EDQUOT};
  const int other = EACCES;
#endif
  for (int code : full) EXPECT_EQ(platform::ErrorText(code), "no space left on the device") << code;
  EXPECT_NE(platform::ErrorText(other), "no space left on the device");
  EXPECT_NE(platform::ErrorText(other), "");
}

#ifndef _WIN32
TEST(FileReplaceTest, ExtendedAttributesComeThroughTheReplace) {
  testaudio::ScratchDir dir;
  const std::string original = dir.File("song.mp3");
  testaudio::WriteFile(original, {9});
  const std::string value = "kept";
  if (setxattr(original.c_str(), "user.temposcout.test", value.data(), value.size(), 0) != 0) {
    GTEST_SKIP() << "the scratch folder's file system holds no user attributes";
  }
  platform::ReplacementCopy copy;
  ASSERT_EQ(copy.Make(original), "");
  ASSERT_EQ(copy.Replace(original), "");
  char read[16] = {};
  ASSERT_EQ(getxattr(original.c_str(), "user.temposcout.test", read, sizeof read), static_cast<ssize_t>(value.size()));
  EXPECT_EQ(std::string(read), value);
}
#endif

}  // namespace
