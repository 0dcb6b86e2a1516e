// The real engine libraries loaded by bare name from the program's folder through the
// binding, and one file decoded end to end the way the track analysis reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/EngineBinding.h"

namespace {

std::vector<uint8_t> CountingWav(int frames) {
  std::vector<uint8_t> data;
  auto put16 = [&data](uint32_t v) {
    data.push_back(static_cast<uint8_t>(v));
    data.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  const uint32_t dataBytes = static_cast<uint32_t>(frames) * 4;
  data.insert(data.end(), {'R', 'I', 'F', 'F'});
  put32(36 + dataBytes);
  data.insert(data.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);
  put16(2);
  put32(44100);
  put32(44100 * 4);
  put16(4);
  put16(16);
  data.insert(data.end(), {'d', 'a', 't', 'a'});
  put32(dataBytes);
  for (int i = 0; i < frames; ++i) {
    put16(static_cast<uint16_t>(i));
    put16(static_cast<uint16_t>(-i));
  }
  return data;
}

int gDspBlocks = 0;
void CountBlocks(uint32_t, uint32_t, void*, uint32_t, void*) {
  ++gDspBlocks;
}

TEST(EngineEndToEnd, LoadsBothLibrariesAndDecodesAFile) {
  engine::SetLibraryLoader(nullptr);
  ASSERT_NE(engine::LoadEngine(), 0u) << engine::kEngineLibraryName;
  ASSERT_NE(engine::LoadEngineFx(), 0u) << engine::kEngineFxLibraryName;
  EXPECT_NE(engine::BASS_Init(-1, 44100, 0, nullptr, nullptr), 0u);

  const int frames = 10000;
  const auto path = std::filesystem::temp_directory_path() / "temposcout-end-to-end.wav";
  {
    const std::vector<uint8_t> wav = CountingWav(frames);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  }
  const std::string name = path.string();
  // The engine's reason for a refused file reaches the caller through the binding.
  EXPECT_EQ(engine::BASS_StreamCreateFile(0, (name + ".missing").c_str(), 0, 0, 0x200000), 0u);
  EXPECT_EQ(engine::BASS_ErrorGetCode(), engine::kEngineErrorFileOpen);
  const uint32_t source = engine::BASS_StreamCreateFile(0, name.c_str(), 0, 0, 0x200000);
  ASSERT_NE(source, 0u);
  EXPECT_EQ(engine::BASS_ErrorGetCode(), 0);
  EXPECT_NE(engine::BASS_SetVolume(100), 0u);
  const uint32_t stream = engine::BASS_FX_TempoCreate(source, 0x200000);
  ASSERT_NE(stream, 0u);
  EXPECT_NE(engine::BASS_ChannelSetAttributes(stream, -1, 100, -101), 0u);
  EXPECT_NE(engine::BASS_ChannelSetDSP(stream, CountBlocks, nullptr, 0), 0u);
  EXPECT_EQ(engine::BASS_ChannelGetLength(stream), static_cast<uint64_t>(frames * 4));
  EXPECT_NE(engine::BASS_ChannelSetPosition(stream, 0), 0u);

  std::vector<int16_t> buffer(221);
  int frame = 0;
  int reads = 0;
  while (engine::BASS_ChannelIsActive(stream) != 0 && reads < 2 * frames) {
    const uint32_t got = engine::BASS_ChannelGetData(stream, buffer.data(), 441);
    ++reads;
    ASSERT_EQ(got % 4, 0u);
    for (uint32_t i = 0; i < got / 4; ++i, ++frame) {
      ASSERT_EQ(buffer[2 * i], static_cast<int16_t>(frame));
      ASSERT_EQ(buffer[2 * i + 1], static_cast<int16_t>(-frame));
    }
    EXPECT_EQ(engine::BASS_ChannelGetPosition(stream), static_cast<uint64_t>(frame * 4));
  }
  EXPECT_EQ(frame, frames);
  EXPECT_EQ(gDspBlocks, reads);
  EXPECT_NE(engine::BASS_StreamFree(stream), 0u);

  EXPECT_EQ(engine::FreeEngine(), 0);
  EXPECT_EQ(engine::UnloadEngineFx(), 0);
  EXPECT_EQ(engine::BASS_ChannelIsActive(stream), 0u);
  std::filesystem::remove(path);
}

}  // namespace
