// Files that are not regular files (FIFOs, devices, pipes, folders) are refused at once
// with a reason, and the engine's error codes and exception barrier.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <new>
#include <stdexcept>
#include <thread>

#include "audioengine/EngineApi.h"
#include "tests/TestHelpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testaudio;

namespace {

struct OpenOutcome {
  uint32_t stream;
  int error;
};

// Opens `path` on another thread; when the open has not come back after two seconds,
// `unblock` is run so that the thread can end, and the test fails.
OpenOutcome OpenWithin2s(const std::string& path, const std::function<void()>& unblock) {
  auto opened = std::async(std::launch::async, [path] {
    const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    return OpenOutcome{stream, BASS_ErrorGetCode()};
  });
  if (opened.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
    ADD_FAILURE() << path << ": the open did not return";
    unblock();
  }
  return opened.get();
}

#ifndef _WIN32
class Fifo : public ::testing::TestWithParam<const char*> {};

TEST_P(Fifo, IsRefusedWithoutWaitingForAWriter) {
  ScratchDir dir;
  const std::string path = dir.File(GetParam());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const OpenOutcome outcome = OpenWithin2s(path, [&path] {
    // A writer that closes at once lets a blocked reader's open return.
    const int fd = open(path.c_str(), O_RDWR);
    if (fd >= 0) close(fd);
  });
  EXPECT_EQ(outcome.stream, 0u);
  EXPECT_EQ(outcome.error, BASS_ERROR_NOTFILE);
}

INSTANTIATE_TEST_SUITE_P(Engine, Fifo, ::testing::Values("beat.wav", "beat.mp3"));

class Device : public ::testing::TestWithParam<const char*> {};

TEST_P(Device, NamedLikeAudioIsRefused) {
  ScratchDir dir;
  const std::string path = dir.File("track.mp3");
  ASSERT_EQ(symlink(GetParam(), path.c_str()), 0);
  const OpenOutcome outcome = OpenWithin2s(path, [] {});
  EXPECT_EQ(outcome.stream, 0u);
  EXPECT_EQ(outcome.error, BASS_ERROR_NOTFILE);
}

INSTANTIATE_TEST_SUITE_P(Engine, Device, ::testing::Values("/dev/null", "/dev/zero", "/dev/urandom"));
#else
class Device : public ::testing::TestWithParam<const char*> {};

TEST_P(Device, ConsoleAndNullDevicesAreRefused) {
  const OpenOutcome outcome = OpenWithin2s(GetParam(), [] {});
  EXPECT_EQ(outcome.stream, 0u);
  EXPECT_NE(outcome.error, BASS_OK);
}

INSTANTIATE_TEST_SUITE_P(Engine, Device, ::testing::Values("NUL", "CON", "COM1", "nul.mp3"));

TEST(NamedPipe, IsRefusedWithoutReadingFromIt) {
  const std::string name = "\\\\.\\pipe\\temposcout-engine-" + std::to_string(GetCurrentProcessId());
  HANDLE server =
      CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const OpenOutcome outcome = OpenWithin2s(name, [server] { DisconnectNamedPipe(server); });
  EXPECT_EQ(outcome.stream, 0u);
  EXPECT_EQ(outcome.error, BASS_ERROR_NOTFILE);
  CloseHandle(server);
}
#endif

TEST(FileErrors, EachFailureNamesItsReason) {
  ScratchDir dir;
  const std::string text = dir.File("notes.mp3");
  WriteFile(text, Bytes(20000, 'a'));
  EXPECT_EQ(BASS_StreamCreateFile(0, dir.File("missing.wav").c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_StreamCreateFile(0, text.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  EXPECT_EQ(BASS_ChannelGetLength(12345), ~uint64_t{0});
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_StreamCreateFile(1, text.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_FX_TempoCreate(0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_SetVolume(100), 1);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST(FileErrors, ErrorCodeBelongsToTheCallingThread) {
  EXPECT_EQ(BASS_StreamFree(777), 0);
  ASSERT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  int other = -2;
  std::thread([&other] {
    BASS_SetVolume(50);
    other = BASS_ErrorGetCode();
  }).join();
  EXPECT_EQ(other, BASS_OK);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// A DSP that throws: the exception stays inside the engine and the read fails.
struct ThrowingDsp {
  const char* name;
  DSPPROC proc;
  int error;
};

const ThrowingDsp kThrowingDsps[] = {
    {"runtime_error", [](uint32_t, uint32_t, void*, uint32_t, void*) { throw std::runtime_error("dsp"); },
     BASS_ERROR_UNKNOWN},
    {"bad_alloc", [](uint32_t, uint32_t, void*, uint32_t, void*) { throw std::bad_alloc(); }, BASS_ERROR_MEM},
};

class Throwing : public ::testing::TestWithParam<ThrowingDsp> {};

TEST_P(Throwing, DspExceptionBecomesAFailedRead) {
  ScratchDir dir;
  const std::string path = dir.File("tone.wav");
  WriteFile(path, Wav16(2, 44100, std::vector<int16_t>(2000, 100)));
  const uint32_t stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  ASSERT_NE(BASS_ChannelSetDSP(stream, GetParam().proc, nullptr, 0), 0u);
  std::vector<uint8_t> buffer(400);
  uint32_t got = 0;
  EXPECT_NO_THROW(got = BASS_ChannelGetData(stream, buffer.data(), 400));
  EXPECT_EQ(got, 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), GetParam().error);
  EXPECT_EQ(BASS_StreamFree(stream), 1);
}

INSTANTIATE_TEST_SUITE_P(Engine, Throwing, ::testing::ValuesIn(kThrowingDsps),
                         [](const ::testing::TestParamInfo<ThrowingDsp>& p) { return std::string(p.param.name); });

}  // namespace
