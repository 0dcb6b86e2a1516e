// Malformed and hostile input: each file gives handle 0 or a stream that ends cleanly
// with the frames it really holds.
#include <gtest/gtest.h>

#include <functional>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

struct MalformedCase {
  const char* name;
  std::function<Bytes()> content;
  // -1: no stream; otherwise the number of 16-bit stereo frames delivered.
  long long expectedFrames;
};

Bytes Pcm16Data(int frames, int channels) {
  Bytes data;
  for (int i = 0; i < frames * channels; ++i) Append16(data, static_cast<uint16_t>(i * 7));
  return data;
}

Bytes WavWithFormat(const Bytes& format) {
  return RiffWave({Chunk("fmt ", format), Chunk("data", Pcm16Data(10, 2))});
}

// The chunks of `before`, then a chunk `id` whose size field says `size` whatever `body` holds.
Bytes WithSizedChunk(const std::vector<Bytes>& before, const char* id, uint32_t size, const Bytes& body) {
  Bytes b = RiffWave(before);
  AppendTag(b, id);
  Append32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// A valid MPEG 1 layer III header (128 kbit/s, 44100 Hz, stereo) and then noise.
Bytes Mp3HeaderThenGarbage() {
  Bytes bytes{0xFF, 0xFB, 0x90, 0x64};
  uint32_t state = 12345;
  for (int i = 0; i < 5000; ++i) {
    state = state * 1103515245u + 12345u;
    bytes.push_back(static_cast<uint8_t>(state >> 16));
  }
  return bytes;
}

const MalformedCase kCases[] = {
    {"EmptyFile", [] { return Bytes{}; }, -1},
    {"RiffOnly",
     [] {
       return Bytes{'R', 'I', 'F', 'F'};
     },
     -1},
    {"HeaderWithoutChunks", [] { return RiffWave({}); }, -1},
    {"TruncatedFormatChunk",
     [] {
       Bytes body;
       Append16(body, 1);
       Append16(body, 2);
       return WithSizedChunk({}, "fmt ", 16, body);
     },
     -1},
    {"FormatChunkSizePastTheEnd", [] { return WithSizedChunk({}, "fmt ", 0xFFFFFFF0u, FormatChunk(1, 2, 44100, 16)); },
     -1},
    {"ChunkSizePastTheEndBeforeData",
     [] {
       return WithSizedChunk({Chunk("fmt ", FormatChunk(1, 2, 44100, 16))}, "LIST", 0x7FFFFFFFu,
                             Chunk("data", Pcm16Data(10, 2)));
     },
     -1},
    {"AbsurdDataSize",
     [] {
       return WithSizedChunk({Chunk("fmt ", FormatChunk(1, 2, 44100, 16))}, "data", 0xFFFFFFF0u, Pcm16Data(10, 2));
     },
     10},
    {"NoDataChunk", [] { return RiffWave({Chunk("fmt ", FormatChunk(1, 2, 44100, 16))}); }, -1},
    {"NoFormatChunk", [] { return RiffWave({Chunk("data", Pcm16Data(10, 2))}); }, -1},
    {"ZeroChannels", [] { return WavWithFormat(FormatChunk(1, 0, 44100, 16)); }, -1},
    {"NineChannels", [] { return WavWithFormat(FormatChunk(1, 9, 44100, 16)); }, -1},
    {"ZeroRate", [] { return WavWithFormat(FormatChunk(1, 2, 0, 16)); }, -1},
    {"AbsurdRate", [] { return WavWithFormat(FormatChunk(1, 2, 0xFFFFFFFFu, 16)); }, -1},
    {"ZeroBits", [] { return WavWithFormat(FormatChunk(1, 2, 44100, 0)); }, -1},
    {"FortyBitPcm", [] { return WavWithFormat(FormatChunk(1, 2, 44100, 40)); }, -1},
    {"TwentyFourBitFloat", [] { return WavWithFormat(FormatChunk(3, 2, 44100, 24)); }, -1},
    {"UnknownCodec", [] { return WavWithFormat(FormatChunk(2, 2, 44100, 4)); }, -1},
    {"ExtensibleWithForeignGuid",
     [] {
       Bytes format = ExtensibleFormatChunk(1, 2, 44100, 16, 3);
       format.back() ^= 0xFF;
       return WavWithFormat(format);
     },
     -1},
    {"DataSmallerThanOneFrame",
     [] {
       return RiffWave({Chunk("fmt ", FormatChunk(1, 2, 44100, 24)), Chunk("data", Bytes{1, 2, 3})});
     },
     0},
    {"TextRenamedMp3",
     [] {
       const std::string text = "This is not audio at all, just a note saved with the wrong name.\n";
       Bytes b;
       for (int i = 0; i < 100; ++i) b.insert(b.end(), text.begin(), text.end());
       return b;
     },
     -1},
    {"Mp3HeaderThenGarbage", Mp3HeaderThenGarbage, -2},
};

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, GivesNoStreamOrOneThatEndsCleanly) {
  const MalformedCase& c = GetParam();
  ScratchDir dir;
  const std::string path = dir.File("bad.mp3");
  WriteFile(path, c.content());
  const uint32_t source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (c.expectedFrames == -1) {
    EXPECT_EQ(source, 0u);
    return;
  }
  if (source == 0) {
    EXPECT_EQ(c.expectedFrames, -2) << "a stream was expected";
    return;
  }
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  const uint64_t length = BASS_ChannelGetLength(tempo);
  const std::vector<int16_t> out = ReadToEnd(tempo, 441, 1000000);
  EXPECT_EQ(BASS_ChannelIsActive(tempo), 0u);
  EXPECT_LE(out.size() * 2, length);
  if (c.expectedFrames >= 0) {
    EXPECT_EQ(static_cast<long long>(out.size() / 2), c.expectedFrames);
  }
  EXPECT_EQ(BASS_StreamFree(tempo), 1);
}

INSTANTIATE_TEST_SUITE_P(Engine, Malformed, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(MalformedPaths, DirectoryMissingFileAndEmptyNameGiveNoStream) {
  ScratchDir dir;
  const std::string folder = dir.File("folder.wav");
  std::filesystem::create_directories(folder);
  for (const std::string& path : {folder, dir.File("missing.mp3"), std::string()}) {
    EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << path;
  }
  EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_StreamCreateFile(1, "x", 0, 0, BASS_STREAM_DECODE), 0u);
}

TEST(MalformedPaths, OffsetAndLengthSelectPartOfTheFile) {
  ScratchDir dir;
  const std::string path = dir.File("inner.wav");
  const Bytes wav = Wav16(2, 44100, {1, 2, 3, 4, 5, 6});
  Bytes file(100, 0xAB);
  file.insert(file.end(), wav.begin(), wav.end());
  file.insert(file.end(), 20, 0xCD);
  WriteFile(path, file);
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 100, wav.size(), BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(ReadToEnd(stream, 441), (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
  BASS_StreamFree(stream);
  EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 100000, 0, BASS_STREAM_DECODE), 0u);
}

}  // namespace
