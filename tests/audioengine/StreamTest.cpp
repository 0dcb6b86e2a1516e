// Stream behaviour: whole-frame delivery, DSPs, position and activity, tempo streams,
// release, bad handles and use from several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

using namespace testaudio;

namespace {

// 1000 stereo frames counting up from 1 on the left and down from -1 on the right.
class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 1000; ++i) {
      samples_.push_back(static_cast<int16_t>(i));
      samples_.push_back(static_cast<int16_t>(-i));
    }
    path_ = dir_.File("count.wav");
    WriteFile(path_, Wav16(2, 44100, samples_));
  }

  uint32_t Open() { return BASS_StreamCreateFile(0, path_.c_str(), 0, 0, BASS_STREAM_DECODE); }

  ScratchDir dir_;
  std::string path_;
  std::vector<int16_t> samples_;
};

TEST_F(StreamTest, RequestsAreCutToWholeFrames) {
  const uint32_t stream = Open();
  ASSERT_NE(stream, 0u);
  std::vector<int16_t> buffer(300, 0x7777);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 441), 440u);
  EXPECT_EQ(buffer[220], 0x7777);  // the 441st byte is not written
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 3), 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 440u);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 7), 4u);
  // The left channel stays on even samples: frame 111 is (111, -111).
  EXPECT_EQ(buffer[0], 111);
  EXPECT_EQ(buffer[1], -111);
  BASS_StreamFree(stream);
}

TEST_F(StreamTest, OddRequestSizesDeliverEveryFrameOnce) {
  for (uint32_t request : {4u, 441u, 443u, 1001u, 65535u}) {
    const uint32_t stream = Open();
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(ReadToEnd(stream, request), samples_) << "request " << request;
    BASS_StreamFree(stream);
  }
}

TEST_F(StreamTest, LengthPositionAndActivityFollowTheReads) {
  const uint32_t stream = Open();
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(BASS_ChannelGetLength(stream), 4000u);
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
  std::vector<uint8_t> buffer(4000);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 3996), 3996u);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 441), 4u);
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 4000u);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 441), 0u);
  BASS_StreamFree(stream);
}

TEST_F(StreamTest, SetPositionRestartsAtAnyWholeFrame) {
  const uint32_t stream = Open();
  ASSERT_NE(stream, 0u);
  ReadToEnd(stream, 441);
  ASSERT_EQ(BASS_ChannelSetPosition(stream, 0), 1);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(ReadToEnd(stream, 441), samples_);
  ASSERT_EQ(BASS_ChannelSetPosition(stream, 400), 1);
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 400u);
  int16_t frame[2];
  EXPECT_EQ(BASS_ChannelGetData(stream, frame, 4), 4u);
  EXPECT_EQ(frame[0], 101);
  EXPECT_EQ(BASS_ChannelSetPosition(stream, 402), 0);   // inside a frame
  EXPECT_EQ(BASS_ChannelSetPosition(stream, 4004), 0);  // past the end
  EXPECT_EQ(BASS_ChannelGetPosition(stream), 404u);
  BASS_StreamFree(stream);
}

void ENGINEAPI Negate(uint32_t, uint32_t, void* buffer, uint32_t lengthBytes, void*) {
  auto* samples = static_cast<int16_t*>(buffer);
  for (uint32_t i = 0; i < lengthBytes / 2; ++i) samples[i] = static_cast<int16_t>(-samples[i]);
}

struct DspLog {
  std::thread::id thread;
  std::vector<int> order;
  uint32_t channel = 0;
  uint32_t bytes = 0;
};

void ENGINEAPI RecordFirst(uint32_t, uint32_t channel, void* buffer, uint32_t lengthBytes, void* user) {
  auto* log = static_cast<DspLog*>(user);
  log->thread = std::this_thread::get_id();
  log->order.push_back(static_cast<int16_t*>(buffer)[0]);
  log->channel = channel;
  log->bytes += lengthBytes;
}

TEST_F(StreamTest, DspChangesTheBlockInPlaceBeforeDelivery) {
  const uint32_t source = Open();
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  DspLog log;
  // Higher priority runs first: the recorder sees the samples before they are negated.
  ASSERT_NE(BASS_ChannelSetDSP(tempo, Negate, nullptr, 0), 0u);
  ASSERT_NE(BASS_ChannelSetDSP(tempo, RecordFirst, &log, 5), 0u);
  const std::vector<int16_t> out = ReadToEnd(tempo, 441);
  ASSERT_EQ(out.size(), samples_.size());
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], -samples_[i]) << i;
  EXPECT_EQ(log.thread, std::this_thread::get_id());
  EXPECT_EQ(log.channel, tempo);
  EXPECT_EQ(log.bytes, 4000u);
  ASSERT_FALSE(log.order.empty());
  EXPECT_EQ(log.order[0], 1);
  EXPECT_EQ(log.order[1], 111);
  BASS_StreamFree(tempo);
}

TEST_F(StreamTest, TempoStreamPassesTheSourceOnUnchanged) {
  const uint32_t source = Open();
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  EXPECT_EQ(BASS_ChannelSetAttributes(tempo, -1, 100, -101), 1);
  EXPECT_EQ(BASS_SetVolume(100), 1);
  EXPECT_EQ(BASS_ChannelGetLength(tempo), 4000u);
  EXPECT_EQ(BASS_ChannelSetPosition(tempo, 0), 1);
  EXPECT_EQ(ReadToEnd(tempo, 441), samples_);
  EXPECT_EQ(BASS_ChannelGetPosition(tempo), 4000u);
  EXPECT_EQ(BASS_ChannelSetPosition(tempo, 0), 1);
  EXPECT_EQ(ReadToEnd(tempo, 441), samples_);
  BASS_StreamFree(tempo);
}

TEST_F(StreamTest, FreeingTheTempoStreamFreesItsSource) {
  const uint32_t source = Open();
  const uint32_t tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
  ASSERT_NE(tempo, 0u);
  EXPECT_EQ(BASS_StreamFree(tempo), 1);
  EXPECT_EQ(BASS_ChannelGetLength(source), ~uint64_t{0});
  EXPECT_EQ(BASS_StreamFree(source), 0);
  EXPECT_EQ(BASS_StreamFree(tempo), 0);
}

TEST_F(StreamTest, FreeReleasesEveryStreamAndDsp) {
  const uint32_t a = Open();
  const uint32_t b = BASS_FX_TempoCreate(Open(), BASS_STREAM_DECODE);
  ASSERT_NE(BASS_ChannelSetDSP(b, Negate, nullptr, 0), 0u);
  EXPECT_EQ(BASS_Free(), 1);
  for (uint32_t stream : {a, b}) {
    EXPECT_EQ(BASS_ChannelIsActive(stream), 0u);
    EXPECT_EQ(BASS_StreamFree(stream), 0);
  }
  EXPECT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
}

TEST(StreamHandles, UnknownHandlesFailWithoutHarm) {
  int16_t buffer[4];
  for (uint32_t handle : {0u, 1u, 0xFFFFFFFFu, 0x7FFF0000u}) {
    EXPECT_EQ(BASS_ChannelGetData(handle, buffer, sizeof buffer), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ChannelGetLength(handle), ~uint64_t{0});
    EXPECT_EQ(BASS_ChannelGetPosition(handle), ~uint64_t{0});
    EXPECT_EQ(BASS_ChannelIsActive(handle), 0u);
    EXPECT_EQ(BASS_ChannelSetPosition(handle, 0), 0);
    EXPECT_EQ(BASS_ChannelSetAttributes(handle, -1, 100, -101), 0);
    EXPECT_EQ(BASS_ChannelSetDSP(handle, Negate, nullptr, 0), 0u);
    EXPECT_EQ(BASS_FX_TempoCreate(handle, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_StreamFree(handle), 0);
  }
}

TEST_F(StreamTest, ThreadsReadAndFreeConcurrently) {
  std::vector<std::thread> threads;
  std::vector<int> matches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &matches] {
      for (int round = 0; round < 20; ++round) {
        const uint32_t tempo = BASS_FX_TempoCreate(Open(), BASS_STREAM_DECODE);
        if (tempo == 0) continue;
        std::vector<int16_t> out;
        std::vector<int16_t> buffer(221);
        while (BASS_ChannelIsActive(tempo) != 0) {
          const uint32_t got = BASS_ChannelGetData(tempo, buffer.data(), 441);
          if (got == 0xFFFFFFFFu) break;
          out.insert(out.end(), buffer.begin(), buffer.begin() + got / 2);
        }
        if (out == samples_) ++matches[t];
        BASS_StreamFree(tempo);
      }
    });
  }
  // Meanwhile, stale handles are freed and read from a fifth thread.
  std::thread vandal([] {
    int16_t buffer[2];
    for (uint32_t handle = 0x10000; handle < 0x10400; ++handle) {
      BASS_ChannelGetData(handle + 0x100000, buffer, 4);
      BASS_StreamFree(handle + 0x100000);
    }
  });
  for (auto& thread : threads) thread.join();
  vandal.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(matches[t], 20) << "thread " << t;
}

}  // namespace
