// The scoped GDI owners: each object deleted exactly once, moves hand ownership
// over, and select guards put back what the context held.
#include "menuskin/ScopedGdi.h"

#include <gtest/gtest.h>

#include <optional>
#include <type_traits>

namespace {

using namespace menuskin;

static_assert(!std::is_copy_constructible_v<UniqueBrush> && !std::is_copy_assignable_v<UniqueBrush>);
static_assert(!std::is_copy_constructible_v<MemDc> && !std::is_copy_assignable_v<MemDc>);
static_assert(!std::is_copy_constructible_v<WindowDc> && !std::is_copy_assignable_v<WindowDc>);
static_assert(!std::is_copy_constructible_v<SelectGuard> && !std::is_copy_assignable_v<SelectGuard>);
static_assert(std::is_nothrow_move_constructible_v<UniqueBrush> && std::is_nothrow_move_assignable_v<UniqueBrush>);

bool IsLiveObject(HGDIOBJ object) {
  return GetObjectType(object) != 0;
}

TEST(ScopedGdi, OwnerDeletesItsObjectOnLeavingScope) {
  HBRUSH raw = nullptr;
  {
    UniqueBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
    raw = brush.Get();
    ASSERT_TRUE(IsLiveObject(raw));
  }
  EXPECT_FALSE(IsLiveObject(raw));
}

TEST(ScopedGdi, MoveHandsOwnershipOverOnce) {
  int before = LiveScopedGdiCount();
  UniquePen first(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  HPEN raw = first.Get();
  UniquePen second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.Get(), raw);
  EXPECT_EQ(LiveScopedGdiCount(), before + 1);
  second.Reset();
  EXPECT_FALSE(IsLiveObject(raw));
  EXPECT_EQ(LiveScopedGdiCount(), before);
}

TEST(ScopedGdi, MoveAssignmentDeletesTheObjectItReplaces) {
  UniqueBrush kept(CreateSolidBrush(RGB(4, 5, 6)));
  UniqueBrush replaced(CreateSolidBrush(RGB(7, 8, 9)));
  HBRUSH keptRaw = kept.Get();
  HBRUSH replacedRaw = replaced.Get();
  replaced = std::move(kept);
  EXPECT_FALSE(IsLiveObject(replacedRaw));
  EXPECT_TRUE(IsLiveObject(keptRaw));
  EXPECT_EQ(replaced.Get(), keptRaw);
}

TEST(ScopedGdi, SelectGuardRestoresPreviousObjectBeforeOwnerDeletesIt) {
  MemDc memory(nullptr);
  ASSERT_TRUE(memory);
  HGDIOBJ original = GetCurrentObject(memory.Get(), OBJ_BRUSH);
  HBRUSH raw = nullptr;
  {
    UniqueBrush brush(CreateSolidBrush(RGB(10, 20, 30)));
    raw = brush.Get();
    SelectGuard select(memory.Get(), brush.Get());
    EXPECT_TRUE(select.Selected());
    EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BRUSH), raw);
  }
  EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BRUSH), original);
  EXPECT_FALSE(IsLiveObject(raw));
}

TEST(ScopedGdi, MovedGuardRestoresOnlyFromItsNewOwner) {
  MemDc memory(nullptr);
  HGDIOBJ original = GetCurrentObject(memory.Get(), OBJ_BRUSH);
  UniqueBrush brush(CreateSolidBrush(RGB(40, 50, 60)));
  {
    std::optional<SelectGuard> first;
    first.emplace(memory.Get(), brush.Get());
    SelectGuard second(std::move(*first));
    first.reset();
    EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BRUSH), brush.Get()) << "the moved-from guard restored";
    EXPECT_TRUE(second.Selected());
  }
  EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BRUSH), original);
}

TEST(ScopedGdi, SelectingAStockObjectLeavesItAlive) {
  MemDc memory(nullptr);
  HGDIOBJ nullPen = GetStockObject(NULL_PEN);
  { SelectGuard select(memory.Get(), nullPen); }
  EXPECT_TRUE(IsLiveObject(nullPen));
  EXPECT_EQ(GetStockObject(NULL_PEN), nullPen);
}

TEST(ScopedGdi, FailedSelectionRestoresNothing) {
  MemDc holder(nullptr);
  MemDc other(nullptr);
  UniqueBitmap bitmap(CreateBitmap(4, 4, 1, 1, nullptr));
  SelectGuard held(holder.Get(), bitmap.Get());
  ASSERT_TRUE(held.Selected());
  HGDIOBJ otherBitmap = GetCurrentObject(other.Get(), OBJ_BITMAP);
  // A bitmap can be selected into one memory context at a time.
  {
    SelectGuard refused(other.Get(), bitmap.Get());
    EXPECT_FALSE(refused.Selected());
  }
  EXPECT_EQ(GetCurrentObject(other.Get(), OBJ_BITMAP), otherBitmap);
}

TEST(ScopedGdi, ContextsAreDeletedOrReleased) {
  int before = LiveScopedGdiCount();
  HDC raw = nullptr;
  {
    MemDc memory(nullptr);
    raw = memory.Get();
    MemDc moved(std::move(memory));
    EXPECT_FALSE(memory);
    EXPECT_EQ(moved.Get(), raw);
    WindowDc desktop(GetDesktopWindow());
    EXPECT_TRUE(desktop);
    EXPECT_EQ(LiveScopedGdiCount(), before + 2);
  }
  EXPECT_FALSE(IsLiveObject(raw));
  EXPECT_EQ(LiveScopedGdiCount(), before);
}

}  // namespace
