// Which popup windows get the skin's frame: each rule of the test in isolation.
#include "menuskin/PopupFrame.h"

#include <gtest/gtest.h>

namespace {

using menuskin::IsSkinnablePopup;
using menuskin::PopupPlacement;

// Caption 19 and border 1: the caption band of an active window at top T ends at
// T + 20, and a popup opened 21 below T sits where the window menu opens.
PopupPlacement Placement(RECT popup, RECT active = {0, 0, 800, 600}) {
  PopupPlacement placement;
  placement.popup = popup;
  placement.active = active;
  placement.cursor = POINT{500, 300};
  placement.captionHeight = 19;
  placement.borderHeight = 1;
  return placement;
}

struct PopupCase {
  const char* name;
  PopupPlacement placement;
  bool skinnable;
};

class PopupRules : public ::testing::TestWithParam<PopupCase> {};

TEST_P(PopupRules, DecideTheFrame) {
  EXPECT_EQ(IsSkinnablePopup(GetParam().placement), GetParam().skinnable);
}

PopupPlacement OverTaskbar(POINT cursor) {
  PopupPlacement placement = Placement({10, 40, 200, 200});
  placement.taskbar = RECT{0, 560, 800, 600};
  placement.cursor = cursor;
  return placement;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopupRules,
    ::testing::Values(PopupCase{"DropDownBelowMenuBar", Placement({10, 40, 200, 200}), true},
                      PopupCase{"CursorOverTaskbar", OverTaskbar({10, 580}), false},
                      PopupCase{"CursorBesideTaskbar", OverTaskbar({10, 550}), true},
                      PopupCase{"NoTaskbarWithCursorAtOrigin",
                                [] {
                                  PopupPlacement p = Placement({10, 40, 200, 200});
                                  p.cursor = POINT{0, 0};
                                  return p;
                                }(),
                                true},
                      PopupCase{"WindowMenuPlace", Placement({10, 21, 200, 200}), false},
                      PopupCase{"BottomInCaptionBand", Placement({10, 30, 200, 10}), false},
                      PopupCase{"TopInCaptionBand", Placement({10, 5, 200, 300}), false},
                      PopupCase{"TopAtBandEdge", Placement({10, 20, 200, 300}), false},
                      PopupCase{"TopJustBelowBand", Placement({10, 22, 200, 300}), true},
                      PopupCase{"AboveTheWindow", Placement({10, -300, 200, -100}), false},
                      PopupCase{"AboveReachingBelowBand", Placement({10, -300, 200, 100}), true},
                      PopupCase{"OffsetWindowDropDown", Placement({110, 150, 300, 300}, {100, 100, 900, 700}), true},
                      PopupCase{"OffsetWindowMenuPlace", Placement({110, 121, 300, 300}, {100, 100, 900, 700}), false},
                      PopupCase{"NoActiveWindowNearScreenTop", Placement({10, 10, 200, 200}, {0, 0, 0, 0}), false},
                      PopupCase{"NoActiveWindowLowerDown", Placement({10, 300, 200, 500}, {0, 0, 0, 0}), true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
