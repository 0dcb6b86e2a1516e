// DSPs that change their own stream while it runs them (adding or removing DSPs,
// freeing the stream or the engine), and many streams decoded at once on many threads.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

// What each DSP does when it is called, and how often it was called.
struct DspAction {
  enum Kind { Count, RemoveSelf, RemoveOther, AddCounter, FreeStream, FreeSource, FreeEngine } kind = Count;
  uint32_t target = 0;  // the DSP to remove or the stream to free
  std::vector<DspAction>* added = nullptr;
  int calls = 0;
  uint32_t handle = 0;
};

void ENGINEAPI Act(uint32_t handle, uint32_t channel, void*, uint32_t, void* user) {
  auto* action = static_cast<DspAction*>(user);
  ++action->calls;
  switch (action->kind) {
    case DspAction::Count:
      break;
    case DspAction::RemoveSelf:
      EXPECT_EQ(BASS_ChannelRemoveDSP(channel, handle), 1);
      break;
    case DspAction::RemoveOther:
      if (action->calls == 1) {
        EXPECT_EQ(BASS_ChannelRemoveDSP(channel, action->target), 1);
      }
      break;
    case DspAction::AddCounter:
      if (action->calls == 1) {
        for (DspAction& added : *action->added) added.handle = BASS_ChannelSetDSP(channel, Act, &added, 100);
      }
      break;
    case DspAction::FreeStream:
      if (action->calls == 1) {
        EXPECT_EQ(BASS_StreamFree(channel), 1);
      }
      break;
    case DspAction::FreeSource:
      if (action->calls == 1) {
        EXPECT_EQ(BASS_StreamFree(action->target), 1);
      }
      break;
    case DspAction::FreeEngine:
      if (action->calls == 1) {
        EXPECT_EQ(BASS_Free(), 1);
      }
      break;
  }
}

class DspSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("noise.wav");
    WriteClickWav(path_, ClickWav{.seconds = 0.5});
    source_ = BASS_StreamCreateFile(0, path_.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(source_, 0u);
    tempo_ = BASS_FX_TempoCreate(source_, BASS_STREAM_DECODE);
    ASSERT_NE(tempo_, 0u);
  }
  void TearDown() override { BASS_StreamFree(tempo_); }

  uint32_t Set(DspAction& action, int32_t priority) {
    action.handle = BASS_ChannelSetDSP(tempo_, Act, &action, priority);
    EXPECT_NE(action.handle, 0u);
    return action.handle;
  }

  // Reads 441-byte blocks until the stream ends or fails; returns the blocks delivered.
  int ReadBlocks() {
    uint8_t buffer[441];
    int blocks = 0;
    while (BASS_ChannelIsActive(tempo_) != 0) {
      const uint32_t got = BASS_ChannelGetData(tempo_, buffer, sizeof buffer);
      if (got == 0 || got == 0xFFFFFFFFu) break;
      ++blocks;
    }
    return blocks;
  }

  ScratchDir dir_;
  std::string path_;
  uint32_t source_ = 0;
  uint32_t tempo_ = 0;
};

TEST_F(DspSafety, DspThatRemovesItselfRunsOnceAndTheOthersGoOn) {
  DspAction first{.kind = DspAction::RemoveSelf};
  DspAction counter;
  Set(first, 10);
  Set(counter, 0);
  const int blocks = ReadBlocks();
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(counter.calls, blocks);
}

TEST_F(DspSafety, DspRemovedByAnEarlierOneIsNotCalledAgainEvenForThatBlock) {
  DspAction later;
  DspAction remover{.kind = DspAction::RemoveOther};
  remover.target = Set(later, 0);
  Set(remover, 10);
  const int blocks = ReadBlocks();
  EXPECT_EQ(later.calls, 0);
  EXPECT_EQ(remover.calls, blocks);
}

TEST_F(DspSafety, DspsAddedInsideACallbackRunFromTheNextBlock) {
  // Enough new DSPs that the list has to grow while it is being walked.
  std::vector<DspAction> added(16);
  DspAction adder{.kind = DspAction::AddCounter, .added = &added};
  DspAction later;
  Set(adder, 10);
  Set(later, 0);
  const int blocks = ReadBlocks();
  EXPECT_EQ(adder.calls, blocks);
  EXPECT_EQ(later.calls, blocks);
  for (const DspAction& dsp : added) {
    EXPECT_NE(dsp.handle, 0u);
    EXPECT_EQ(dsp.calls, blocks - 1);
  }
}

struct FreeCase {
  const char* name;
  DspAction::Kind kind;
};

class DspFrees : public DspSafety, public ::testing::WithParamInterface<FreeCase> {};

TEST_P(DspFrees, FreeInsideTheCallbackEndsTheStreamAfterTheBlock) {
  DspAction freer{.kind = GetParam().kind, .target = source_};
  DspAction later;
  Set(freer, 10);
  Set(later, 0);
  uint8_t buffer[441];
  const uint32_t got = BASS_ChannelGetData(tempo_, buffer, sizeof buffer);
  EXPECT_EQ(freer.calls, 1);
  if (GetParam().kind == DspAction::FreeSource) {
    // The tempo stream lives on but its source is gone: it ends at the next read.
    EXPECT_EQ(got, 440u);
    EXPECT_EQ(later.calls, 1);
    EXPECT_EQ(BASS_ChannelGetData(tempo_, buffer, sizeof buffer), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(tempo_), 0u);
  } else {
    // The stream is gone: its block is still delivered, nothing after it.
    EXPECT_EQ(got, 440u);
    EXPECT_EQ(later.calls, 0);
    EXPECT_EQ(BASS_ChannelGetData(tempo_, buffer, sizeof buffer), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetLength(source_), ~uint64_t{0});
  }
  EXPECT_EQ(freer.calls, 1);
}

INSTANTIATE_TEST_SUITE_P(Engine, DspFrees,
                         ::testing::Values(FreeCase{"OwnStream", DspAction::FreeStream},
                                           FreeCase{"SourceStream", DspAction::FreeSource},
                                           FreeCase{"Engine", DspAction::FreeEngine}),
                         [](const ::testing::TestParamInfo<FreeCase>& p) { return std::string(p.param.name); });

// Each thread opens, decodes and frees its own streams of every kind (16-bit 44.1 kHz
// WAV, resampled WAV, MP3 when lame is there) while the others do the same; every
// decode must equal the same file's decode on one thread.
TEST(ParallelStreams, ThreadsDecodeTheSameAsOneThread) {
  ScratchDir dir;
  std::vector<std::string> files = {dir.File("a.wav"), dir.File("b.wav")};
  WriteClickWav(files[0], ClickWav{.periodMs = 400.0, .seconds = 3.0});
  WriteClickWav(files[1], ClickWav{.periodMs = 500.0, .seconds = 3.0, .rateHz = 22050, .channels = 1});
  if (HaveTool("lame")) {
    files.push_back(dir.File("c.mp3"));
    ASSERT_EQ(RunCommand("lame --quiet -b 128 '" + files[0] + "' '" + files[2] + "'"), 0);
    files.push_back(dir.File("d.mp3"));
    ASSERT_EQ(RunCommand("lame --quiet --resample 32 '" + files[1] + "' '" + files[3] + "'"), 0);
  }
  auto decode = [](const std::string& file) {
    const uint32_t tempo =
        BASS_FX_TempoCreate(BASS_StreamCreateFile(0, file.c_str(), 0, 0, BASS_STREAM_DECODE), BASS_STREAM_DECODE);
    std::vector<int16_t> out;
    if (tempo == 0) return out;
    std::vector<int16_t> buffer(221);
    while (BASS_ChannelIsActive(tempo) != 0) {
      const uint32_t got = BASS_ChannelGetData(tempo, buffer.data(), 441);
      if (got == 0xFFFFFFFFu) break;
      out.insert(out.end(), buffer.begin(), buffer.begin() + got / 2);
    }
    BASS_StreamFree(tempo);
    return out;
  };
  std::vector<std::vector<int16_t>> expected;
  for (const std::string& file : files) {
    expected.push_back(decode(file));
    ASSERT_FALSE(expected.back().empty()) << file;
  }
  constexpr int kThreads = 6;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t round = 0; round < 2 * files.size(); ++round) {
        const size_t which = (round + static_cast<size_t>(t)) % files.size();
        if (decode(files[which]) != expected[which]) ++mismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
