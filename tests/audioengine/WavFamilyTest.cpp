// The WAV family beyond RIFF PCM: A-law, mu-law and big-endian RIFX against sox's own
// decode, RF64 and BW64 (also past 4 GiB), a lower-case "riff", and files that only look
// like audio: none of them may reach the MPEG decoder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

std::vector<int16_t> FromRaw(const Bytes& raw) {
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  return samples;
}

std::vector<int16_t> DecodeFile(const std::string& path) {
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  EXPECT_NE(stream, 0u) << path << ": error " << BASS_ErrorGetCode();
  if (stream == 0) return {};
  std::vector<int16_t> out = ReadToEnd(stream, 441);
  BASS_StreamFree(stream);
  return out;
}

// The files of scripts/make-wav-family.sh: made by the test run (TEMPOSCOUT_WAV_FAMILY
// names the folder; the Windows build's runs get it that way) or, natively, made here.
class SoxCoded : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    if (const char* given = std::getenv("TEMPOSCOUT_WAV_FAMILY"); given != nullptr && *given != '\0') {
      folder_ = given;
    } else if (HaveTool("sox")) {
      made_ = std::make_unique<ScratchDir>();
      folder_ = made_->File("");
      if (RunCommand(std::string("'") + TEMPOSCOUT_SCRIPTS_DIR + "/make-wav-family.sh' '" + folder_ + "'") != 0)
        folder_.clear();
    }
  }
  static void TearDownTestSuite() { made_.reset(); }

  static inline std::unique_ptr<ScratchDir> made_;
  static inline std::string folder_;
};

TEST_P(SoxCoded, DecodesAsSoxDoes) {
  if (folder_.empty()) GTEST_SKIP() << "the files need sox";
  const std::string base = folder_ + "/" + GetParam();
  const std::vector<int16_t> reference = FromRaw(ReadFile(base + ".raw"));
  ASSERT_GT(reference.size(), 44100u);
  EXPECT_EQ(DecodeFile(base + ".wav"), reference);
}

INSTANTIATE_TEST_SUITE_P(Engine, SoxCoded, ::testing::Values("alaw", "mulaw", "rifx"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// A few codes whose values G.711 fixes: silence, the extremes and the smallest steps.
struct G711Code {
  uint16_t tag;
  uint8_t code;
  int16_t value;
};

class G711 : public ::testing::TestWithParam<G711Code> {};

TEST_P(G711, CodeExpandsToItsLinearValue) {
  ScratchDir dir;
  const std::string path = dir.File("code.wav");
  WriteFile(path, RiffWave({Chunk("fmt ", FormatChunk(GetParam().tag, 1, 44100, 8)),
                            Chunk("data", Bytes(64, GetParam().code))}));
  const std::vector<int16_t> out = DecodeFile(path);
  ASSERT_EQ(out.size(), 128u);
  EXPECT_EQ(out[0], GetParam().value);
  EXPECT_EQ(out[127], GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Engine, G711,
                         ::testing::Values(G711Code{6, 0xD5, 8}, G711Code{6, 0x55, -8}, G711Code{6, 0xAA, 32256},
                                           G711Code{6, 0x2A, -32256}, G711Code{7, 0xFF, 0}, G711Code{7, 0x7F, 0},
                                           G711Code{7, 0x80, 32124}, G711Code{7, 0x00, -32124}, G711Code{7, 0xFE, 8},
                                           G711Code{7, 0x7E, -8}));

// An RF64 (or BW64) file: "ds64" first, the RIFF and data sizes 0xFFFFFFFF.
Bytes Rf64(const char* id, const Bytes& format, uint64_t dataBytes, const Bytes& data, const Bytes& after = {}) {
  Bytes ds64;
  for (uint64_t value : {uint64_t{0}, dataBytes, uint64_t{0}}) {
    Append32(ds64, static_cast<uint32_t>(value));
    Append32(ds64, static_cast<uint32_t>(value >> 32));
  }
  Append32(ds64, 0);  // no table
  Bytes file;
  AppendTag(file, id);
  Append32(file, 0xFFFFFFFFu);
  AppendTag(file, "WAVE");
  for (const Bytes& chunk : {Chunk("ds64", ds64), Chunk("fmt ", format)})
    file.insert(file.end(), chunk.begin(), chunk.end());
  AppendTag(file, "data");
  Append32(file, 0xFFFFFFFFu);
  file.insert(file.end(), data.begin(), data.end());
  file.insert(file.end(), after.begin(), after.end());
  return file;
}

class Rf64Family : public ::testing::TestWithParam<const char*> {};

TEST_P(Rf64Family, DataSizeComesFromTheDs64Chunk) {
  ScratchDir dir;
  const std::vector<int16_t> samples = ClickTrack(44100, 0.5, 100.0);
  Bytes data;
  for (int16_t s : samples) Append16(data, static_cast<uint16_t>(s));
  // A chunk after the data must not be read as audio: only the ds64 size tells.
  Bytes trailer = Chunk("LIST", Bytes(400, 0x55));
  const std::string path = dir.File("long.wav");
  WriteFile(path, Rf64(GetParam(), FormatChunk(1, 1, 44100, 16), data.size(), data, trailer));
  std::vector<int16_t> expected;
  for (int16_t s : samples) expected.insert(expected.end(), 2, s);
  EXPECT_EQ(DecodeFile(path), expected);
}

INSTANTIATE_TEST_SUITE_P(Engine, Rf64Family, ::testing::Values("RF64", "BW64"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// An RF64 header for dataBytes of audio, the file then grown sparsely to its full length:
// the header's size, or the error when the disk has no room.
struct SparseRf64 {
  uint64_t headerBytes = 0;
  std::error_code error;
};
SparseRf64 WriteSparseRf64(const std::string& path, const char* id, const Bytes& format, uint64_t dataBytes) {
  const Bytes header = Rf64(id, format, dataBytes, {});
  WriteFile(path, header);
  SparseRf64 file{header.size(), {}};
  std::filesystem::resize_file(path, header.size() + dataBytes, file.error);
  return file;
}

// 5 GB of 16-bit stereo (about 7 h 52 min) over a sparse file: lengths and positions
// past 2^31 and 2^32 bytes, and the frames written at the very end come back there.
TEST(Rf64Huge, LengthAndPositionsPast4GiB) {
  ScratchDir dir;
  const std::string path = dir.File("sets.wav");
  const uint64_t dataBytes = 5000000000ull;
  const SparseRf64 sparse = WriteSparseRf64(path, "RF64", FormatChunk(1, 2, 44100, 16), dataBytes);
  if (sparse.error) GTEST_SKIP() << "no room for a sparse 5 GB file: " << sparse.error.message();
  const int16_t marker[4] = {1234, -1234, 4321, -4321};
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(sparse.headerBytes + dataBytes - sizeof marker));
    file.write(reinterpret_cast<const char*>(marker), sizeof marker);
  }
  const uint32_t source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(source, 0u) << BASS_ErrorGetCode();
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  EXPECT_EQ(BASS_ChannelGetLength(tempo), dataBytes);
  for (uint64_t position : {uint64_t{0x7FFFFFFC}, uint64_t{0xFFFFFFFC}, uint64_t{0x100000000}}) {
    ASSERT_EQ(BASS_ChannelSetPosition(tempo, position), 1) << position;
    int16_t block[110];
    EXPECT_EQ(BASS_ChannelGetData(tempo, block, sizeof block), sizeof block);
    EXPECT_EQ(BASS_ChannelGetPosition(tempo), position + sizeof block);
    EXPECT_EQ(BASS_ChannelIsActive(tempo), BASS_ACTIVE_PLAYING);
  }
  ASSERT_EQ(BASS_ChannelSetPosition(tempo, dataBytes - 400), 1);
  int16_t tail[200];
  EXPECT_EQ(BASS_ChannelGetData(tempo, tail, sizeof tail), 400u);
  EXPECT_EQ(std::vector<int16_t>(tail + 196, tail + 200), std::vector<int16_t>(marker, marker + 4));
  EXPECT_EQ(BASS_ChannelGetPosition(tempo), dataBytes);
  EXPECT_EQ(BASS_ChannelIsActive(tempo), 0u);
  BASS_StreamFree(tempo);
}

// The same through the resampler: 5 GB at 48 kHz keep their length in 44.1 kHz bytes.
TEST(Rf64Huge, ResampledLengthPast4GiB) {
  ScratchDir dir;
  const std::string path = dir.File("sets48.wav");
  const uint64_t dataBytes = 5000000000ull;
  const SparseRf64 sparse = WriteSparseRf64(path, "BW64", FormatChunk(1, 2, 48000, 16), dataBytes);
  if (sparse.error) GTEST_SKIP() << "no room for a sparse 5 GB file: " << sparse.error.message();
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
  const double expected = static_cast<double>(dataBytes) * 44100.0 / 48000.0;
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(stream)), expected, 4.0 * 64);
  int16_t block[110];
  EXPECT_EQ(BASS_ChannelGetData(stream, block, sizeof block), sizeof block);
  BASS_StreamFree(stream);
}

TEST(WavHeaders, LowerCaseRiffIsReadAsWav) {
  ScratchDir dir;
  const std::vector<int16_t> samples = ClickTrack(44100, 0.3, 100.0);
  std::vector<int16_t> stereo;
  for (int16_t s : samples) stereo.insert(stereo.end(), 2, s);
  Bytes file = Wav16(2, 44100, stereo);
  std::memcpy(file.data(), "riff", 4);
  WriteFile(dir.File("lower.wav"), file);
  EXPECT_EQ(DecodeFile(dir.File("lower.wav")), stereo);
}

// Ten silent MPEG 1 layer III frames at 128 kbit/s, 44.1 kHz: real MPEG audio.
Bytes MpegFrames() {
  Bytes frames;
  for (int i = 0; i < 10; ++i) {
    const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x00};
    frames.insert(frames.end(), header, header + 4);
    frames.resize(frames.size() + 417 - 4, 0);
  }
  return frames;
}

struct NotAudio {
  const char* name;
  Bytes (*make)();
};

const NotAudio kNotAudio[] = {
    {"RandomBytes",
     [] {
       std::mt19937 random(7);
       Bytes bytes(300000);
       for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
       return bytes;
     }},
    {"Text",
     [] {
       const std::string line = "Track list: 01 Intro 02 Outro, 128 BPM, made at 44100 Hz\n";
       Bytes bytes;
       for (int i = 0; i < 2000; ++i) bytes.insert(bytes.end(), line.begin(), line.end());
       return bytes;
     }},
    {"Rf64HeadOverMpegFrames",
     [] {
       Bytes bytes = {'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'};
       const Bytes frames = MpegFrames();
       bytes.insert(bytes.end(), frames.begin(), frames.end());
       return bytes;
     }},
    {"LowerRiffOverMpegFrames",
     [] {
       Bytes bytes = {'r', 'i', 'f', 'f', 0x00, 0x10, 0x00, 0x00, 'W', 'A', 'V', 'E'};
       const Bytes frames = MpegFrames();
       bytes.insert(bytes.end(), frames.begin(), frames.end());
       return bytes;
     }},
    {"RiffWithoutFormat",
     [] {
       const Bytes frames = MpegFrames();
       return RiffWave({Chunk("data", frames)});
     }},
};

class NotAudioFile : public ::testing::TestWithParam<NotAudio> {};

TEST_P(NotAudioFile, FailsWithAReasonInsteadOfFalseFrames) {
  ScratchDir dir;
  const std::string path = dir.File("file.mp3");
  WriteFile(path, GetParam().make());
  EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

INSTANTIATE_TEST_SUITE_P(Engine, NotAudioFile, ::testing::ValuesIn(kNotAudio),
                         [](const ::testing::TestParamInfo<NotAudio>& p) { return std::string(p.param.name); });

TEST(NotAudioFile, TheSameFramesAloneAreMpegAudio) {
  ScratchDir dir;
  const std::string path = dir.File("frames.mp3");
  WriteFile(path, MpegFrames());
  const std::vector<int16_t> out = DecodeFile(path);
  EXPECT_GT(out.size(), 2u * 1152u);
}

}  // namespace
