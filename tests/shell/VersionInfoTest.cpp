// The version resources of the shipped programs and libraries, read back as Explorer
// reads them, and the version on the about page: all must carry the build's version.
#include "Version.h"
#include "platform/Paths.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct ShippedFile {
  const char* name;
  const char* description;
  DWORD fileType;
};

void PrintTo(const ShippedFile& file, std::ostream* out) {
  *out << file.name;
}

// One file's version resource, loaded whole.
class VersionResource {
 public:
  explicit VersionResource(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return;
    data_.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) data_.clear();
  }

  bool Loaded() const { return !data_.empty(); }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

  // A string of the first translation the resource lists; "" when missing.
  std::string Text(const char* key) const {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) return "";
    const auto* translation = static_cast<const WORD*>(value);
    char query[96];
    std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], key);
    if (!VerQueryValueA(data_.data(), query, &value, &length) || length == 0) return "";
    return static_cast<const char*>(value);
  }

 private:
  std::vector<char> data_;
};

constexpr DWORD kVersionHigh = (TEMPOSCOUT_VERSION_MAJOR << 16) | TEMPOSCOUT_VERSION_MINOR;
constexpr DWORD kVersionLow = TEMPOSCOUT_VERSION_PATCH << 16;

class VersionInfo : public ::testing::TestWithParam<ShippedFile> {};

TEST_P(VersionInfo, CarriesTheBuildsVersionProductAndDescription) {
  const VersionResource resource(platform::ModuleFolder() + GetParam().name);
  ASSERT_TRUE(resource.Loaded()) << GetParam().name << " has no version resource";

  const VS_FIXEDFILEINFO* fixed = resource.Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, kVersionHigh);
  EXPECT_EQ(fixed->dwFileVersionLS, kVersionLow);
  EXPECT_EQ(fixed->dwProductVersionMS, kVersionHigh);
  EXPECT_EQ(fixed->dwProductVersionLS, kVersionLow);
  EXPECT_EQ(fixed->dwFileType, GetParam().fileType);

  EXPECT_EQ(resource.Text("ProductName"), "TempoScout");
  EXPECT_EQ(resource.Text("FileDescription"), GetParam().description);
  EXPECT_EQ(resource.Text("FileVersion"), TEMPOSCOUT_VERSION);
  EXPECT_EQ(resource.Text("ProductVersion"), TEMPOSCOUT_VERSION);
  EXPECT_EQ(resource.Text("OriginalFilename"), GetParam().name);
  EXPECT_EQ(resource.Text("LegalCopyright"), "Copyright (c) 2026 TempoScout developers");
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, VersionInfo,
    ::testing::Values(ShippedFile{"TempoScout.exe", "TempoScout tempo finder", VFT_APP},
                      ShippedFile{"temposcout-cli.exe", "TempoScout tempo finder, command line", VFT_APP},
                      ShippedFile{"bass.dll", "TempoScout audio engine: decoding", VFT_DLL},
                      ShippedFile{"bass_fx.dll", "TempoScout audio engine: tempo streams", VFT_DLL}),
    [](const ::testing::TestParamInfo<ShippedFile>& param) {
      std::string name = param.param.name;
      for (char& c : name) {
        if (c == '.' || c == '-') c = '_';
      }
      return name;
    });

TEST(VersionInfo, VersionTextMatchesItsNumbers) {
  char expected[32];
  std::snprintf(expected, sizeof(expected), "%d.%d.%d", TEMPOSCOUT_VERSION_MAJOR, TEMPOSCOUT_VERSION_MINOR,
                TEMPOSCOUT_VERSION_PATCH);
  EXPECT_STREQ(TEMPOSCOUT_VERSION, expected);
}

TEST(VersionInfo, AboutPageShowsTheVersionWithEveryPlaceholderFilled) {
  std::ifstream page(platform::ModuleFolder() + "about.html");
  ASSERT_TRUE(page.is_open());
  std::stringstream text;
  text << page.rdbuf();
  EXPECT_NE(text.str().find(std::string("TempoScout ") + TEMPOSCOUT_VERSION), std::string::npos);
  EXPECT_EQ(text.str().find('@'), std::string::npos);
}

}  // namespace
