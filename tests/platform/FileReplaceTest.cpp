// Replacing a file through a copy beside it: the copy keeps the permissions, vanishes
// when abandoned, and takes the original's place in one rename.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
