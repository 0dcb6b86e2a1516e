// Folder listings and folder identities on a real folder in the temporary folder.
#include "platform/FolderListing.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    root_ = std::string(temp) + "ts_listing_" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root_ + "Sub").c_str(), nullptr));
    for (const char* name : {"a.MP3", "b.txt", "c.wav"}) {
      HANDLE f = CreateFileA((root_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(f, INVALID_HANDLE_VALUE);
      CloseHandle(f);
    }
  }
  void TearDown() override {
    for (const char* name : {"a.MP3", "b.txt", "c.wav"}) {
      DeleteFileA((root_ + name).c_str());
    }
    RemoveDirectoryA((root_ + "Sub").c_str());
    RemoveDirectoryA(root_.c_str());
  }

  std::set<std::string> Names(const std::string& pattern, std::set<std::string>* folders = nullptr) {
    std::set<std::string> names;
    for (platform::FolderListing listing(root_, pattern); listing.HasEntry(); listing.Next()) {
      names.insert(listing.EntryName());
      if (folders != nullptr && listing.EntryIsFolder()) {
        folders->insert(listing.EntryName());
      }
    }
    return names;
  }

  std::string root_;
};

TEST_F(FolderListingTest, StarDotStarAndEmptyPatternListEveryEntryWithDotEntries) {
  const std::set<std::string> all{".", "..", "Sub", "a.MP3", "b.txt", "c.wav"};
  std::set<std::string> folders;
  EXPECT_EQ(Names("*.*", &folders), all);
  EXPECT_EQ(Names(""), all);
  EXPECT_EQ(folders, (std::set<std::string>{".", "..", "Sub"}));
}

TEST_F(FolderListingTest, PatternNarrowsTheEntries) {
  EXPECT_EQ(Names("*.wav"), std::set<std::string>{"c.wav"});
}

TEST_F(FolderListingTest, FolderThatCannotBeListedHasNoEntries) {
  platform::FolderListing missing(root_ + "missing\\", "*.*");
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.HasEntry());

  std::string tooLong = root_;
  while (tooLong.size() < 400) {
    tooLong += "abcdefghijklmnopqrstuvwxyz\\";
  }
  platform::FolderListing longPath(tooLong, "*.*");
  EXPECT_FALSE(longPath.HasEntry());
}

TEST_F(FolderListingTest, IdentityIsTheSameForEveryPathToOneFolder) {
  const auto direct = platform::ReadFolderIdentity(root_ + "Sub");
  const auto roundabout = platform::ReadFolderIdentity(root_ + "Sub\\..\\Sub\\");
  const auto parent = platform::ReadFolderIdentity(root_);
  ASSERT_TRUE(direct && roundabout && parent);
  EXPECT_EQ(*direct, *roundabout);
  EXPECT_FALSE(*direct == *parent);
  EXPECT_FALSE(platform::ReadFolderIdentity(root_ + "missing").has_value());
}

}  // namespace
