// The two pages the menu opens: the product's help page and the maker's about page,
// both shipped beside the executable.
#pragma once

#include <string>

namespace shell {

inline constexpr char kProductPageFile[] = "help.html";
inline constexpr char kMakerPageFile[] = "about.html";

// "Goto WebPage" and "Help".
std::string ProductPageAddress();
// The maker's menu entry.
std::string MakerPageAddress();

}  // namespace shell
