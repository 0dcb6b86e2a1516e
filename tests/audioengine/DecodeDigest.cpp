// Decodes each file named on the command line through the engine and prints its name, its
// length in frames and a hash of its 16-bit samples, so that the outputs of two builds
// (native and Windows) can be compared line by line.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "audioengine/EngineApi.h"

int main(int argc, char** argv) {
  std::vector<unsigned char> buffer(64 * 1024);
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (stream == 0) {
      std::printf("%s refused %d\n", name.c_str(), BASS_ErrorGetCode());
      continue;
    }
    // FNV-1a over the bytes: any changed sample changes the line.
    uint64_t hash = 0xCBF29CE484222325ull;
    uint64_t bytes = 0;
    for (uint32_t got; (got = BASS_ChannelGetData(stream, buffer.data(), static_cast<uint32_t>(buffer.size()))) != 0 &&
                       got != UINT32_MAX;) {
      for (uint32_t b = 0; b < got; ++b) hash = (hash ^ buffer[b]) * 0x100000001B3ull;
      bytes += got;
    }
    std::printf("%s %" PRIu64 " %" PRIu64 " %016" PRIx64 "\n", name.c_str(), BASS_ChannelGetLength(stream) / 4,
                bytes / 4, hash);
    BASS_StreamFree(stream);
  }
  return 0;
}
