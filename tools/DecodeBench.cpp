// Decode timing for scripts/bench-decode.sh: decodes a file through the engine the way
// the analysis reads it (a tempo stream, a fixed request size), or reads its bytes
// plainly, and prints the best time of several runs in seconds with the audio length.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audioengine/EngineApi.h"

namespace {

double DecodeSeconds(const char* path, uint32_t requestBytes, uint64_t& lengthBytes) {
  const auto start = std::chrono::steady_clock::now();
  const uint32_t stream =
      BASS_FX_TempoCreate(BASS_StreamCreateFile(0, path, 0, 0, BASS_STREAM_DECODE), BASS_STREAM_DECODE);
  if (stream == 0) return -1.0;
  lengthBytes = BASS_ChannelGetLength(stream);
  std::vector<uint8_t> buffer(requestBytes);
  while (BASS_ChannelIsActive(stream) != 0) {
    BASS_ChannelGetData(stream, buffer.data(), requestBytes);
    BASS_ChannelGetPosition(stream);
  }
  BASS_StreamFree(stream);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double PlainReadSeconds(const char* path, uint64_t& bytes) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return -1.0;
  std::vector<uint8_t> buffer(1 << 16);
  bytes = 0;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) bytes += got;
  std::fclose(file);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_decode_bench FILE REQUEST_BYTES|plain [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  const bool plain = std::strcmp(argv[2], "plain") == 0;
  const uint32_t request = plain ? 0 : static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  double best = -1.0;
  uint64_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    const double seconds = plain ? PlainReadSeconds(argv[1], bytes) : DecodeSeconds(argv[1], request, bytes);
    if (seconds < 0) {
      std::fprintf(stderr, "engine_decode_bench: cannot open %s\n", argv[1]);
      return 1;
    }
    if (best < 0 || seconds < best) best = seconds;
  }
  // Audio seconds at 16-bit stereo 44100 Hz for a decode; bytes for a plain read.
  std::printf("%.6f %.3f\n", best, plain ? static_cast<double>(bytes) : bytes / 176400.0);
  return 0;
}
