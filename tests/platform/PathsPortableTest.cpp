// The path helpers every platform shares: trailing separators, the file name at the
// end of a path, and the program's own folder.
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

TEST(Paths, FileNameIsWhatFollowsTheLastSeparator) {
  EXPECT_EQ(platform::FileNameOf("C:\\Music\\Live\\a.mp3"), "a.mp3");
  EXPECT_EQ(platform::FileNameOf("/home/dj/b.wav"), "b.wav");
  EXPECT_EQ(platform::FileNameOf("C:\\mixed/dir\\c.MP3"), "c.MP3");
  EXPECT_EQ(platform::FileNameOf("plain.wav"), "plain.wav");
  EXPECT_EQ(platform::FileNameOf("D:\\"), "");
}

TEST(Paths, TrailingSeparatorIsAddedOnlyWhenMissing) {
  const std::string sep(1, platform::kFolderSeparator);
  EXPECT_EQ(platform::WithTrailingSeparator(""), "");
  EXPECT_EQ(platform::WithTrailingSeparator("music"), "music" + sep);
  EXPECT_EQ(platform::WithTrailingSeparator("music" + sep), "music" + sep);
}

TEST(Paths, ModuleFolderEndsWithASeparatorAndIsAFolder) {
  const std::string folder = platform::ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), platform::kFolderSeparator);
  // A file can be made in it, so it names a real folder.
  const std::string probe = folder + "paths-probe.tmp";
  EXPECT_TRUE(std::ofstream(probe).good());
  std::remove(probe.c_str());
}

}  // namespace
