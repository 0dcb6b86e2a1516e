// Test helpers: scratch folders, read-only marks, external tools and reading streams.
#include "tests/TestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "audioengine/EngineApi.h"

namespace testaudio {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "temposcout-";
  name += info != nullptr ? info->name() : "test";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  // Another test process (a parallel run of the same suite) may pick the same name: a
  // folder that exists already is never shared, another name is tried instead.
  std::random_device entropy;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  do {
    path_ = base / (name + "-" + std::to_string(counter++) + "-" + std::to_string(entropy()));
  } while (!std::filesystem::create_directory(path_));
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool HaveTool(const char* name) {
#ifdef _WIN32
  (void)name;
  return false;
#else
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

void SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  SetFileAttributesA(path.c_str(),
                     readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~FILE_ATTRIBUTE_READONLY);
#else
  chmod(path.c_str(), readOnly ? 0444 : 0644);
#endif
}

int RunCommand(const std::string& command) {
  return std::system(command.c_str());
}

std::vector<int16_t> ReadToEnd(uint32_t stream, uint32_t requestBytes, size_t maxReads) {
  std::vector<int16_t> samples;
  std::vector<uint8_t> buffer(requestBytes);
  size_t reads = 0;
  while (BASS_ChannelIsActive(stream) != 0) {
    if (++reads > maxReads) {
      ADD_FAILURE() << "stream did not end after " << maxReads << " reads";
      break;
    }
    const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), requestBytes);
    if (got == 0xFFFFFFFFu) {
      ADD_FAILURE() << "read error";
      break;
    }
    EXPECT_EQ(got % 4, 0u);
    const size_t old = samples.size();
    samples.resize(old + got / 2);
    std::memcpy(samples.data() + old, buffer.data(), got);
  }
  return samples;
}

}  // namespace testaudio
