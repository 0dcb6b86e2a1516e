// The entry points of the engine library "bass": decoding streams over files, DSPs,
// and fed streams for the tempo add-on. No audio device is ever opened: the program
// only decodes.
#include "audioengine/AudioInput.h"
#include "audioengine/EngineApi.h"
#include "audioengine/EntryGuard.h"
#include "audioengine/StreamTable.h"

#include <new>

using namespace audioengine;

namespace {

// A stream whose frames come from the procedures of a FeedProcs, in whole frames.
class FedSource final : public PcmSource {
 public:
  FedSource(const FeedProcs& procs, void* user, uint64_t lengthBytes)
      : procs_(procs), user_(user), lengthFrames_(lengthBytes / kFrameBytes) {}

  uint64_t LengthFrames() const override { return lengthFrames_; }

  size_t Read(int16_t* stereo, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      const size_t want = std::min<size_t>(frames - done, 0x10000000u / kFrameBytes);
      const uint32_t got = procs_.read(user_, stereo + 2 * done, static_cast<uint32_t>(want * kFrameBytes));
      if (got == 0 || got == 0xFFFFFFFFu || got > want * kFrameBytes) break;
      done += got / kFrameBytes;
      if (got % kFrameBytes != 0) break;
    }
    return done;
  }

  bool SeekFrame(uint64_t frame) override { return procs_.seek(user_, frame * kFrameBytes) != 0; }

 private:
  FeedProcs procs_;
  void* user_;
  uint64_t lengthFrames_;
};

// The outcome of each thread's last engine call.
thread_local int lastError = BASS_OK;

template <typename Result>
Result Fail(int code, Result failure) {
  lastError = code;
  return failure;
}

// Runs an entry point's body so that no exception leaves the library: out of memory
// and anything else thrown become the failure value with an error code. The body sets
// its own error code; success clears it.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) noexcept {
  lastError = BASS_OK;
  return audioengine::GuardedEntry(failure, body, [](int code) { lastError = code; });
}

void ReleaseFeed(void* user) {
  auto* fed = static_cast<std::pair<FeedProcs, void*>*>(user);
  if (fed->first.release != nullptr) fed->first.release(fed->second);
  delete fed;
}

}  // namespace

extern "C" {

BASS_API int ENGINEAPI BASS_Init(int32_t, uint32_t, uint32_t, void*, const void*) {
  return Guarded(0, [] { return 1; });
}

BASS_API int ENGINEAPI BASS_Free(void) {
  return Guarded(0, [] {
    FreeAllStreams();
    return 1;
  });
}

BASS_API int ENGINEAPI BASS_ErrorGetCode(void) {
  return lastError;
}

BASS_API void ENGINEAPI TSEngine_SetError(int code) {
  lastError = code;
}

BASS_API int ENGINEAPI BASS_SetVolume(uint32_t volume) {
  return Guarded(0, [&] { return volume <= 100 ? 1 : Fail(BASS_ERROR_ILLPARAM, 0); });
}

BASS_API uint32_t ENGINEAPI BASS_StreamCreateFile(int mem, const void* file, uint64_t offset, uint64_t length,
                                                  uint32_t /*flags: every stream is a decoding stream*/) {
  return Guarded(0u, [&]() -> uint32_t {
    // Streams from memory blocks are not offered.
    if (mem != 0) return Fail(BASS_ERROR_NOTAVAIL, 0u);
    if (file == nullptr) return Fail(BASS_ERROR_ILLPARAM, 0u);
    int error = BASS_OK;
    std::unique_ptr<PcmSource> source = OpenAudioFile(static_cast<const char*>(file), offset, length, error);
    if (source == nullptr) return Fail(error, 0u);
    return AddStream(std::make_shared<Stream>(std::move(source), nullptr, nullptr));
  });
}

BASS_API int ENGINEAPI BASS_StreamFree(uint32_t stream) {
  return Guarded(0, [&] { return FreeStream(stream) ? 1 : Fail(BASS_ERROR_HANDLE, 0); });
}

BASS_API int ENGINEAPI BASS_ChannelSetAttributes(uint32_t channel, int32_t, int32_t, int32_t) {
  // Rate, volume and pan only matter for playback; decoded data stays as it is.
  return Guarded(0, [&] { return FindStream(channel) != nullptr ? 1 : Fail(BASS_ERROR_HANDLE, 0); });
}

BASS_API uint32_t ENGINEAPI BASS_ChannelSetDSP(uint32_t channel, DSPPROC proc, void* user, int32_t priority) {
  return Guarded(0u, [&]() -> uint32_t {
    if (proc == nullptr) return Fail(BASS_ERROR_ILLPARAM, 0u);
    std::shared_ptr<Stream> stream = FindStream(channel);
    if (stream == nullptr) return Fail(BASS_ERROR_HANDLE, 0u);
    const uint32_t dsp = NewDspHandle(channel);
    stream->AddDsp(dsp, proc, user, priority);
    return dsp;
  });
}

BASS_API int ENGINEAPI BASS_ChannelRemoveDSP(uint32_t channel, uint32_t dsp) {
  return Guarded(0, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    if (stream == nullptr || StreamOfDsp(dsp) != channel) return Fail(BASS_ERROR_HANDLE, 0);
    return stream->RemoveDsp(dsp) ? 1 : Fail(BASS_ERROR_HANDLE, 0);
  });
}

BASS_API uint64_t ENGINEAPI BASS_ChannelGetLength(uint32_t channel) {
  return Guarded(~uint64_t{0}, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    return stream != nullptr ? stream->LengthBytes() : Fail(BASS_ERROR_HANDLE, ~uint64_t{0});
  });
}

BASS_API int ENGINEAPI BASS_ChannelSetPosition(uint32_t channel, uint64_t position) {
  return Guarded(0, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    if (stream == nullptr) return Fail(BASS_ERROR_HANDLE, 0);
    return stream->SetPosition(position) ? 1 : Fail(BASS_ERROR_POSITION, 0);
  });
}

BASS_API uint64_t ENGINEAPI BASS_ChannelGetPosition(uint32_t channel) {
  return Guarded(~uint64_t{0}, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    return stream != nullptr ? stream->PositionBytes() : Fail(BASS_ERROR_HANDLE, ~uint64_t{0});
  });
}

BASS_API uint32_t ENGINEAPI BASS_ChannelIsActive(uint32_t channel) {
  return Guarded(BASS_ACTIVE_STOPPED, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    if (stream == nullptr) return Fail(BASS_ERROR_HANDLE, BASS_ACTIVE_STOPPED);
    return stream->IsActive() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
  });
}

BASS_API uint32_t ENGINEAPI BASS_ChannelGetData(uint32_t channel, void* buffer, uint32_t lengthBytes) {
  return Guarded(0xFFFFFFFFu, [&] {
    std::shared_ptr<Stream> stream = FindStream(channel);
    if (stream == nullptr) return Fail(BASS_ERROR_HANDLE, 0xFFFFFFFFu);
    if (buffer == nullptr && lengthBytes >= kFrameBytes) return Fail(BASS_ERROR_ILLPARAM, 0xFFFFFFFFu);
    const uint32_t got = stream->GetData(channel, buffer, lengthBytes);
    if (got == 0 && !stream->IsActive()) lastError = BASS_ERROR_ENDED;
    return got;
  });
}

BASS_API uint32_t ENGINEAPI TSEngine_StreamCreateFed(const FeedProcs* procs, void* user, uint64_t lengthBytes) {
  return Guarded(0u, [&]() -> uint32_t {
    if (procs == nullptr || procs->read == nullptr || procs->seek == nullptr) return Fail(BASS_ERROR_ILLPARAM, 0u);
    auto fed = std::make_unique<std::pair<FeedProcs, void*>>(*procs, user);
    auto source = std::make_unique<FedSource>(*procs, user, lengthBytes);
    auto stream = std::make_shared<Stream>(std::move(source), ReleaseFeed, fed.get());
    fed.release();
    return AddStream(std::move(stream));
  });
}

}  // extern "C"
