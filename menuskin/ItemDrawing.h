// The skin's palette and the painting of one owner-drawn menu item.
#pragma once

#include <windows.h>

namespace menuskin {

inline constexpr int kMenuBackground = 0;
inline constexpr int kGutterColor = 1;
inline constexpr int kMutedColor = 2;
inline constexpr int kFrameColor = 3;
inline constexpr int kSelectionColor = 4;
inline constexpr int kSelectionBorderColor = 5;
inline constexpr COLORREF kAcceleratorColor = RGB(80, 20, 128);

COLORREF MenuSkinColor(int index);
void DrawMenuItem(HWND window, const DRAWITEMSTRUCT* draw);

}  // namespace menuskin
