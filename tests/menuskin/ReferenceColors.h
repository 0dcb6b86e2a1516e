// Sets the five system colours the skin's palette is made of to a known scheme for
// one test, and puts the desktop's own colours back afterwards.
#pragma once

#include <windows.h>

#include <array>

namespace menuskintest {

class ReferenceColors {
 public:
  ReferenceColors() {
    for (std::size_t i = 0; i < kElements.size(); ++i) saved_[i] = GetSysColor(kElements[i]);
    const std::array<COLORREF, 5> reference{RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 0),
                                            RGB(0, 0, 128)};
    SetSysColors(static_cast<int>(kElements.size()), kElements.data(), reference.data());
  }
  ~ReferenceColors() { SetSysColors(static_cast<int>(kElements.size()), kElements.data(), saved_.data()); }
  ReferenceColors(const ReferenceColors&) = delete;
  ReferenceColors& operator=(const ReferenceColors&) = delete;

 private:
  static constexpr std::array<INT, 5> kElements{COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, COLOR_GRAYTEXT, COLOR_3DDKSHADOW,
                                                COLOR_ACTIVECAPTION};
  std::array<COLORREF, 5> saved_{};
};

// The palette under the reference scheme, worked out by hand from the blend weights:
// e.g. the gutter is (55 x 255 + 201 x 192) / 256 = 205.
inline constexpr COLORREF kRefMenuBackground = RGB(255, 255, 255);
inline constexpr COLORREF kRefGutter = RGB(205, 205, 205);
inline constexpr COLORREF kRefMuted = RGB(166, 166, 166);
inline constexpr COLORREF kRefFrame = RGB(72, 72, 72);
inline constexpr COLORREF kRefSelection = RGB(188, 188, 221);
inline constexpr COLORREF kRefSelectionBorder = RGB(81, 81, 165);

}  // namespace menuskintest
