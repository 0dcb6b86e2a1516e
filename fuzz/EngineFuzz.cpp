// libFuzzer target: the bytes become a file, which is opened as a stream, wrapped in a
// tempo stream and read to the end with odd request sizes, restarted once, then freed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "audioengine/EngineApi.h"

namespace {

// Well above anything a fuzz input can decode to (at most a few MB of audio).
constexpr int kMaxReads = 4000000;

void ReadAll(uint32_t stream, const uint8_t* data, size_t size) {
  std::vector<uint8_t> buffer(8192);
  size_t step = 0;
  for (int reads = 0; BASS_ChannelIsActive(stream) != 0; ++reads) {
    if (reads == kMaxReads) __builtin_trap();  // a stream that never ends
    // Request sizes from the input itself, odd ones included.
    const uint32_t request = size == 0 ? 441 : 1 + (data[step++ % size] * 37u) % 8191u;
    const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), request);
    if (got == 0xFFFFFFFFu || got > request || got % 4 != 0) __builtin_trap();
    BASS_ChannelGetPosition(stream);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/temposcout-fuzz-" + std::to_string(getpid()) + ".bin";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  const uint32_t source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (source == 0) return 0;
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  if (tempo == 0) __builtin_trap();
  const uint64_t length = BASS_ChannelGetLength(tempo);
  ReadAll(tempo, data, size);
  if (BASS_ChannelGetPosition(tempo) > length) __builtin_trap();
  if (BASS_ChannelSetPosition(tempo, 0)) ReadAll(tempo, data, size);
  BASS_StreamFree(tempo);
  return 0;
}
