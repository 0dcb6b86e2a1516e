// Track analysis against a scripted engine: the order of engine calls, early returns,
// the onset rule, level classes, the acceptance window, bins and their merging, and
// progress. The scripted engine is installed through the binding's library loader, so
// the analysis runs exactly as it does against the real engine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/EngineBinding.h"
#include "tempo/AnalysisState.h"
#include "tempo/GainStage.h"
#include "tempo/TrackAnalysis.h"

namespace tempo {
namespace {

// One chunk the scripted engine delivers: frames whose left sample is `left` (the
// right one is 0), and the decoding position reported after it.
struct Chunk {
  int frames;
  int16_t left;
  uint64_t positionAfter;
};

struct Script {
  uint64_t lengthBytes = 0;
  std::vector<Chunk> chunks;
  bool openFails = false;
  bool tempoFails = false;
};

// Engine state shared by the plain functions below.
struct FakeEngine {
  Script script;
  size_t next = 0;
  uint64_t position = 0;
  engine::DspProc dsp = nullptr;
  void* dspUser = nullptr;
  std::vector<std::string> calls;
  std::vector<uint32_t> freed;
};
FakeEngine* fake = nullptr;

uint32_t StreamCreateFile(int mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  fake->calls.push_back("StreamCreateFile " + std::to_string(mem) + " " + static_cast<const char*>(file) + " " +
                        std::to_string(offset) + " " + std::to_string(length) + " " + std::to_string(flags));
  return fake->script.openFails ? 0 : 11;
}
int SetVolume(uint32_t volume) {
  fake->calls.push_back("SetVolume " + std::to_string(volume));
  return 1;
}
uint32_t TempoCreate(uint32_t channel, uint32_t flags) {
  fake->calls.push_back("TempoCreate " + std::to_string(channel) + " " + std::to_string(flags));
  return channel == 0 || fake->script.tempoFails ? 0 : 22;
}
int SetAttributes(uint32_t channel, int32_t freq, int32_t volume, int32_t pan) {
  fake->calls.push_back("SetAttributes " + std::to_string(channel) + " " + std::to_string(freq) + " " +
                        std::to_string(volume) + " " + std::to_string(pan));
  return 1;
}
uint32_t SetDsp(uint32_t channel, engine::DspProc proc, void* user, int32_t priority) {
  fake->calls.push_back("SetDSP " + std::to_string(channel) + " " + (user == nullptr ? "0" : "user") + " " +
                        std::to_string(priority));
  fake->dsp = proc;
  fake->dspUser = user;
  return 33;
}
uint64_t GetLength(uint32_t channel) {
  fake->calls.push_back("GetLength " + std::to_string(channel));
  return channel == 22 ? fake->script.lengthBytes : 0xFFFFFFFFFFFFFFFFull;
}
int SetPosition(uint32_t channel, uint64_t position) {
  fake->calls.push_back("SetPosition " + std::to_string(channel) + " " + std::to_string(position));
  return 1;
}
uint32_t IsActive(uint32_t channel) {
  return channel == 22 && fake->next < fake->script.chunks.size() ? 1 : 0;
}
uint32_t GetData(uint32_t, void* buffer, uint32_t lengthBytes) {
  if (lengthBytes != 441) fake->calls.push_back("GetData asked for " + std::to_string(lengthBytes));
  const Chunk& chunk = fake->script.chunks[fake->next++];
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (int f = 0; f < chunk.frames; ++f) {
    const auto left = static_cast<uint16_t>(chunk.left);
    bytes[4 * f] = static_cast<unsigned char>(left & 0xFF);
    bytes[4 * f + 1] = static_cast<unsigned char>(left >> 8);
    bytes[4 * f + 2] = 0;
    bytes[4 * f + 3] = 0;
  }
  const auto delivered = static_cast<uint32_t>(chunk.frames * 4);
  if (fake->dsp != nullptr) fake->dsp(33, 22, buffer, delivered, fake->dspUser);
  fake->position = chunk.positionAfter;
  return delivered;
}
uint64_t GetPosition(uint32_t) {
  return fake->position;
}
int StreamFree(uint32_t stream) {
  fake->freed.push_back(stream);
  return 1;
}

class ScriptedLoader : public engine::LibraryLoader {
 public:
  uintptr_t Open(const char*) override { return ++opened; }
  Symbol Find(uintptr_t, const char* name) override {
    const std::string n = name;
    if (n == "BASS_StreamCreateFile") return reinterpret_cast<Symbol>(&StreamCreateFile);
    if (n == "BASS_SetVolume") return reinterpret_cast<Symbol>(&SetVolume);
    if (n == "BASS_FX_TempoCreate") return reinterpret_cast<Symbol>(&TempoCreate);
    if (n == "BASS_ChannelSetAttributes") return reinterpret_cast<Symbol>(&SetAttributes);
    if (n == "BASS_ChannelSetDSP") return reinterpret_cast<Symbol>(&SetDsp);
    if (n == "BASS_ChannelGetLength") return reinterpret_cast<Symbol>(&GetLength);
    if (n == "BASS_ChannelSetPosition") return reinterpret_cast<Symbol>(&SetPosition);
    if (n == "BASS_ChannelIsActive") return reinterpret_cast<Symbol>(&IsActive);
    if (n == "BASS_ChannelGetData") return reinterpret_cast<Symbol>(&GetData);
    if (n == "BASS_ChannelGetPosition") return reinterpret_cast<Symbol>(&GetPosition);
    if (n == "BASS_StreamFree") return reinterpret_cast<Symbol>(&StreamFree);
    return nullptr;
  }
  void Close(uintptr_t) override {}
  uintptr_t opened = 0;
};

class RecordingHost : public QuietAnalysisHost {
 public:
  void SetProgress(int percent) override { progress.push_back(percent); }
  void PauseOneMs() override { ++pauses; }
  bool ShouldStop() override { return stopAfterChunks >= 0 && ++chunksSeen > stopAfterChunks; }
  std::vector<int> progress;
  int pauses = 0;
  int stopAfterChunks = -1;
  int chunksSeen = 0;
};

// Bytes of decoded audio for a time in seconds (176400 bytes per second).
constexpr uint64_t Bytes(double seconds) {
  return static_cast<uint64_t>(seconds * 176400.0 + 0.5);
}

class TrackAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = &engine_;
    engine::SetLibraryLoader(&loader_);
    engine::LoadEngine();
    engine::LoadEngineFx();
    InitGainCurve();
  }
  void TearDown() override {
    engine::FreeEngine();
    engine::UnloadEngineFx();
    engine::SetLibraryLoader(nullptr);
    fake = nullptr;
  }

  std::string Run(int withGainStage = 0) { return AnalyseTrack("C:\\music\\a.mp3", withGainStage, host_); }

  // Appends `count` quiet chunks of 110 frames, advancing the position chunk by chunk.
  void Quiet(int count, int16_t level = 0) {
    for (int i = 0; i < count; ++i) {
      engine_.script.chunks.push_back({110, level, cursor_ += 440});
    }
  }
  // Appends one loud chunk whose position lands at `seconds`.
  void LoudAt(double seconds, int16_t level) {
    cursor_ = Bytes(seconds);
    engine_.script.chunks.push_back({110, level, cursor_});
  }

  FakeEngine engine_;
  ScriptedLoader loader_;
  RecordingHost host_;
  uint64_t cursor_ = 0;
};

TEST_F(TrackAnalysisTest, CallsTheEngineInOrderAndReleasesTheStream) {
  engine_.script.lengthBytes = Bytes(60);
  Quiet(3);
  EXPECT_EQ(Run(1), "0|0");
  const std::vector<std::string> expected = {"StreamCreateFile 0 C:\\music\\a.mp3 0 0 2097152",
                                             "SetVolume 100",
                                             "TempoCreate 11 2097152",
                                             "SetAttributes 22 -1 100 -101",
                                             "SetDSP 22 0 0",
                                             "GetLength 22",
                                             "SetPosition 22 0"};
  EXPECT_EQ(engine_.calls, expected);
  EXPECT_EQ(engine_.freed, std::vector<uint32_t>{22});
  EXPECT_EQ(host_.progress, std::vector<int>{100});
  EXPECT_EQ(TheAnalysisState().ActiveFlag(), 0);
}

TEST_F(TrackAnalysisTest, FirstPassAttachesNoGainStage) {
  engine_.script.lengthBytes = Bytes(60);
  Quiet(1);
  Run(0);
  for (const auto& call : engine_.calls) EXPECT_EQ(call.rfind("SetDSP", 0), std::string::npos);
}

// An analysis on a state of its own hands that state to the gain stage, so analyses on
// other threads never see its flag or its curve, and the program's state stays as it was.
TEST_F(TrackAnalysisTest, GainStageWorksOnTheStateOfItsOwnAnalysis) {
  AnalysisState own;
  ASSERT_EQ(InitGainCurve(own), 1);
  engine_.script.lengthBytes = Bytes(60);
  // Blocks that end nearly silent: the stage steepens the curve once per block.
  Quiet(3, 5);
  EXPECT_EQ(AnalyseTrack("C:\\music\\a.mp3", 1, host_, own), "0|0");
  EXPECT_EQ(engine_.calls[4], "SetDSP 22 user 0");
  EXPECT_NEAR(own.CurveSlope(), 0.053f, 1e-6f);
  EXPECT_EQ(own.ActiveFlag(), 0);
  EXPECT_EQ(TheAnalysisState().CurveSlope(), 0.05f);

  // The program's own analysis passes user value 0 and moves the program's curve.
  engine_.calls.clear();
  engine_.next = 0;
  EXPECT_EQ(Run(1), "0|0");
  EXPECT_EQ(engine_.calls[4], "SetDSP 22 0 0");
  EXPECT_NEAR(TheAnalysisState().CurveSlope(), 0.053f, 1e-6f);
  EXPECT_NEAR(own.CurveSlope(), 0.053f, 1e-6f);
}

TEST_F(TrackAnalysisTest, EarlyReturnsGiveEmptyTextAndLeaveTheProgressBarAlone) {
  EXPECT_EQ(AnalyseTrack("", 0, host_), "");
  EXPECT_TRUE(engine_.calls.empty());

  engine_.script.openFails = true;  // the engine then reports length -1
  EXPECT_EQ(Run(), "");
  engine_.script.openFails = false;

  // 526 bytes is 0.4995 histogram bins: H rounds to 0; 527 bytes gives H = 1.
  engine_.script.lengthBytes = 526;
  EXPECT_EQ(Run(), "");
  engine_.script.lengthBytes = 527;
  Quiet(1);
  EXPECT_EQ(Run(), "0|0");
  EXPECT_EQ(host_.progress, std::vector<int>{100});
  EXPECT_EQ(TheAnalysisState().ActiveFlag(), 0);
}

// The tempo stream takes its source with it when freed; without one (no effects
// library) the source is freed on its own, and nothing is freed twice.
TEST_F(TrackAnalysisTest, FreesTheSourceOnlyWhenNoTempoStreamTookIt) {
  engine_.script.lengthBytes = Bytes(60);
  Quiet(1);
  engine_.script.tempoFails = true;
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(engine_.freed, std::vector<uint32_t>{11});

  engine_.freed.clear();
  engine_.script.openFails = true;
  EXPECT_EQ(Run(), "");
  EXPECT_TRUE(engine_.freed.empty());
  EXPECT_EQ(TheAnalysisState().ActiveFlag(), 0);
}

TEST(HistogramSize, IsTheLengthInMinutesTimes10050) {
  EXPECT_EQ(HistogramSizeFor(180 * 176400), 30150);  // three minutes
  EXPECT_EQ(HistogramSizeFor(60 * 176400), 10050);
  EXPECT_EQ(HistogramSizeFor(526), 0);
  EXPECT_EQ(HistogramSizeFor(527), 1);
  EXPECT_LT(HistogramSizeFor(-1), 1);
  EXPECT_EQ(HistogramSizeFor(int64_t{7 * 3600} * 176400), 420 * 10050);  // seven hours, past 2^32 bytes
  EXPECT_EQ(HistogramSizeFor(INT64_MAX), INT32_MAX);
}

// A steady 500 ms pulse: chunks of level 8000 every half second over silence. Each
// pulse is an onset for classes 0 to 7 (8000 > 7000 but not > 8000).
TEST_F(TrackAnalysisTest, SteadyPulseGivesItsPeriod) {
  engine_.script.lengthBytes = Bytes(30);
  for (int beat = 1; beat <= 40; ++beat) {
    LoudAt(beat * 0.5, 8000);
    Quiet(20);
  }
  EXPECT_EQ(Run(), "500|0");
}

// Exactly twice the background is not an onset. After long silence the background is
// all but 0, so a chunk of 16384 leaves it at 4096; a next chunk of 12288 makes it
// (3 x 4096 + 12288) / 4 = 6144, exactly half of 12288, while 12289 is an onset. The
// scripted positions put every 16384 chunk 20 s after the last accepted onset (longer
// than the 10050 ms histogram of a minute, so never counted) and every second chunk
// 500 ms after it.
class TwiceTheBackground : public TrackAnalysisTest, public ::testing::WithParamInterface<int> {};

TEST_P(TwiceTheBackground, IsAnOnsetOnlyWhenStrictlyAbove) {
  engine_.script.lengthBytes = Bytes(60);
  for (int beat = 0; beat < 20; ++beat) {
    Quiet(100);
    LoudAt(beat * 0.5 + 20.0, 16384);
    LoudAt(beat * 0.5 + 0.5, static_cast<int16_t>(GetParam()));
  }
  EXPECT_EQ(Run(), GetParam() == 12288 ? "0|0" : "500|0");
}

INSTANTIATE_TEST_SUITE_P(Levels, TwiceTheBackground, ::testing::Values(12288, 12289));

// The interval must exceed 300 ms: pulses 299 ms apart leave the last onset time in
// place, so every second pulse is measured from the older one (598 ms).
TEST_F(TrackAnalysisTest, TooShortIntervalsAreSkippedWithoutMovingTheLastOnset) {
  engine_.script.lengthBytes = Bytes(60);
  for (int i = 1; i <= 41; ++i) {
    LoudAt(i * 0.299, 9000);
    Quiet(40);
  }
  EXPECT_EQ(Run(), "598|0");
}

// Past 2^24 bytes a float no longer holds every byte position, so the time of a chunk
// is taken from the position itself, rounded once. Positions that are multiples of
// 11025 bytes are whole sixteenths of a second, exact in a float, so pulses nine
// sixteenths apart measure exactly 562.5 ms: bin 563 (half up). Rounding an odd
// position to a float first would move it by a byte and split the pulses between bins
// 562 and 563.
TEST_F(TrackAnalysisTest, TimesPastTwoToThe24BytesComeFromTheExactPosition) {
  engine_.script.lengthBytes = Bytes(600);  // H = 100500 ms, so the first pulse counts
  constexpr uint32_t kSixteenth = 11025;
  constexpr uint32_t kFirst = 1523;  // 1523 x 11025 = 16791075, past 2^24
  static_assert(kFirst * kSixteenth > (1u << 24));
  for (uint32_t pulse = 0; pulse < 13; ++pulse) {
    LoudAt((kFirst + 9 * pulse) / 16.0, 500);
    Quiet(20);
  }
  EXPECT_EQ(Run(), "563|0");
}

// A level of exactly 1000 does not take part in the 1000 class; 1001 does. 100 pulses
// are 100 accepted onsets at level 1000 (class 0 only) and 200 at 1001 (classes 0 and
// 1), which shows in the pauses (every 20) and progress updates (every 100).
TEST_F(TrackAnalysisTest, ClassThresholdsAreStrict) {
  for (int16_t level : {int16_t{1000}, int16_t{1001}}) {
    engine_ = FakeEngine{};
    host_ = RecordingHost{};
    cursor_ = 0;
    engine_.script.lengthBytes = Bytes(60);
    for (int i = 1; i <= 100; ++i) {
      LoudAt(i * 0.5, level);
      Quiet(20);
    }
    EXPECT_EQ(Run(), "500|0");
    EXPECT_EQ(host_.pauses, level == 1000 ? 5 : 10) << level;
    EXPECT_EQ(host_.progress.size(), level == 1000 ? 2u : 3u) << level;
  }
}

// Progress moves every 100 accepted onsets (counted over all classes), and the pause
// comes every 20.
TEST_F(TrackAnalysisTest, ProgressEveryHundredAcceptedOnsets) {
  engine_.script.lengthBytes = Bytes(60);
  // Level 5000: classes 0 to 4 accept each pulse, five onsets per pulse.
  for (int i = 1; i <= 40; ++i) {
    LoudAt(i * 0.5, 5000);
    Quiet(20);
  }
  Run();
  // 40 pulses; the first is 500 ms after the start, so all 200 onsets are accepted.
  ASSERT_EQ(host_.progress.size(), 3u);
  // The 100th onset is the last class of pulse 20 at 10 s: 10 / 60 s = 16.67 -> 17.
  EXPECT_EQ(host_.progress[0], 17);
  EXPECT_EQ(host_.progress[1], 33);  // 20 s of 60
  EXPECT_EQ(host_.progress[2], 100);
  EXPECT_EQ(host_.pauses, 10);
}

// A seven-hour track is read over its whole length, past 2^31 and 2^32 bytes (12174 s
// and 24347.9 s). A pulse at 100 s and pulses every 1000 s after it carry each class's
// last onset to 24000 s (each interval is below H, 4221 s); only the half-second pulses
// from 24360 s on can give a period. A length and positions cut to 32 bits would give
// a 14-minute H, no interval of 1000 s, and positions past 2^32 that fall 12 s after
// the start, before the last onset at 100 s: no pulse there would count.
TEST_F(TrackAnalysisTest, SevenHourTrackIsReadPastTwoToThe32Bytes) {
  engine_.script.lengthBytes = Bytes(7 * 3600);
  ASSERT_GT(engine_.script.lengthBytes, uint64_t{1} << 32);
  LoudAt(100, 8000);
  Quiet(20);
  for (int stone = 1; stone <= 24; ++stone) {
    LoudAt(stone * 1000.0, 8000);
    Quiet(20);
  }
  // Half seconds are exact in a float at these times.
  for (int beat = 0; beat < 40; ++beat) {
    LoudAt(24360.0 + beat * 0.5, 8000);
    Quiet(20);
  }
  EXPECT_EQ(Run(), "500|0");
  // Eight classes take each pulse. The 100th onset is at the stone of 12000 s (48 %),
  // the 200th at that of 24000 s (95 %), the 300th, 400th and 500th at 24366, 24372
  // and 24378.5 s (97 %).
  EXPECT_EQ(host_.progress, (std::vector<int>{48, 95, 97, 97, 97, 100}));
}

TEST_F(TrackAnalysisTest, StopRequestEndsWithinOneChunkAndReleasesTheStream) {
  engine_.script.lengthBytes = Bytes(60);
  Quiet(50);
  host_.stopAfterChunks = 3;
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(engine_.next, 3u);
  EXPECT_EQ(engine_.freed, std::vector<uint32_t>{22});
  EXPECT_EQ(TheAnalysisState().ActiveFlag(), 0);
}

// With the gain stage attached, the engine runs it on every block before the analysis
// sees it: the stage pulls a steady level toward its smoothed level of 0, so the pulses
// no longer read as they do without it.
TEST_F(TrackAnalysisTest, GainStageRunsInsideTheReadsOfTheRetryPass) {
  engine_.script.lengthBytes = Bytes(30);
  for (int beat = 1; beat <= 40; ++beat) {
    LoudAt(beat * 0.5, 8000);
    Quiet(20);
  }
  const std::string plain = Run(0);
  fake->next = 0;
  fake->dsp = nullptr;
  const std::string withGain = Run(1);
  EXPECT_EQ(plain, "500|0");
  EXPECT_NE(fake->dsp, nullptr);
  EXPECT_NE(withGain, plain);
}

}  // namespace
}  // namespace tempo
