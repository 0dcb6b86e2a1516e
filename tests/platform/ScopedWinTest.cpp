// Ownership of the scoped handle wrappers: each handle is released exactly once.
#include "platform/ScopedWin.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> closed;

struct CountingTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle h) { closed.push_back(h); }
};
using Counted = platform::UniqueResource<CountingTraits>;

class ScopedWin : public ::testing::Test {
 protected:
  void SetUp() override { closed.clear(); }
};

TEST_F(ScopedWin, DestructorReleasesOnce) {
  { Counted owner(7); }
  EXPECT_EQ(closed, std::vector<int>{7});
}

TEST_F(ScopedWin, MoveLeavesSourceEmptySoOnlyTargetReleases) {
  {
    Counted source(3);
    Counted target(std::move(source));
    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(target.Get(), 3);
  }
  EXPECT_EQ(closed, std::vector<int>{3});
}

TEST_F(ScopedWin, MoveAssignmentReleasesWhatTargetHeld) {
  Counted target(1);
  Counted source(2);
  target = std::move(source);
  EXPECT_EQ(closed, std::vector<int>{1});
  target.Reset();
  EXPECT_EQ(closed, (std::vector<int>{1, 2}));
}

TEST_F(ScopedWin, ReleaseHandsOverWithoutClosing) {
  Counted owner(9);
  EXPECT_EQ(owner.Release(), 9);
  owner.Reset();
  EXPECT_TRUE(closed.empty());
}

TEST_F(ScopedWin, InvalidHandleIsNeverClosed) {
  {
    Counted empty;
    Counted alsoEmpty(-1);
  }
  EXPECT_TRUE(closed.empty());
}

TEST(ScopedWinReal, FindHandleTreatsInvalidHandleValueAsEmpty) {
  WIN32_FIND_DATAA data;
  platform::UniqueFind find(FindFirstFileA("Z:\\no\\such\\folder\\*", &data));
  EXPECT_FALSE(find.IsValid());
}

}  // namespace
