// The entry points of the engine library "bass": decoding streams over files, DSPs,
// and fed streams for the tempo add-on. No audio device is ever opened: the program
// only decodes.
#include "audioengine/AudioInput.h"
#include "audioengine/EngineApi.h"
#include "audioengine/StreamTable.h"

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

void ReleaseFeed(void* user) {
  auto* fed = static_cast<std::pair<FeedProcs, void*>*>(user);
  if (fed->first.release != nullptr) fed->first.release(fed->second);
  delete fed;
}

}  // namespace

extern "C" {

BASS_API int ENGINEAPI BASS_Init(int32_t, uint32_t, uint32_t, void*, const void*) {
  return 1;
}

BASS_API int ENGINEAPI BASS_Free(void) {
  FreeAllStreams();
  return 1;
}

BASS_API int ENGINEAPI BASS_SetVolume(uint32_t volume) {
  return volume <= 100 ? 1 : 0;
}

BASS_API uint32_t ENGINEAPI BASS_StreamCreateFile(int mem, const void* file, uint64_t offset, uint64_t length,
                                                  uint32_t /*flags: every stream is a decoding stream*/) {
  // Streams from memory blocks are not offered.
  if (mem != 0 || file == nullptr) return 0;
  std::unique_ptr<PcmSource> source = OpenAudioFile(static_cast<const char*>(file), offset, length);
  if (source == nullptr) return 0;
  return AddStream(std::make_shared<Stream>(std::move(source), nullptr, nullptr));
}

BASS_API int ENGINEAPI BASS_StreamFree(uint32_t stream) {
  return FreeStream(stream) ? 1 : 0;
}

BASS_API int ENGINEAPI BASS_ChannelSetAttributes(uint32_t channel, int32_t, int32_t, int32_t) {
  // Rate, volume and pan only matter for playback; decoded data stays as it is.
  return FindStream(channel) != nullptr ? 1 : 0;
}

BASS_API uint32_t ENGINEAPI BASS_ChannelSetDSP(uint32_t channel, DSPPROC proc, void* user, int32_t priority) {
  if (proc == nullptr) return 0;
  std::shared_ptr<Stream> stream = FindStream(channel);
  if (stream == nullptr) return 0;
  const uint32_t dsp = NewDspHandle(channel);
  stream->AddDsp(dsp, proc, user, priority);
  return dsp;
}

BASS_API int ENGINEAPI BASS_ChannelRemoveDSP(uint32_t channel, uint32_t dsp) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  if (stream == nullptr || StreamOfDsp(dsp) != channel) return 0;
  return stream->RemoveDsp(dsp) ? 1 : 0;
}

BASS_API uint64_t ENGINEAPI BASS_ChannelGetLength(uint32_t channel) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  return stream != nullptr ? stream->LengthBytes() : ~uint64_t{0};
}

BASS_API int ENGINEAPI BASS_ChannelSetPosition(uint32_t channel, uint64_t position) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  return stream != nullptr && stream->SetPosition(position) ? 1 : 0;
}

BASS_API uint64_t ENGINEAPI BASS_ChannelGetPosition(uint32_t channel) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  return stream != nullptr ? stream->PositionBytes() : ~uint64_t{0};
}

BASS_API uint32_t ENGINEAPI BASS_ChannelIsActive(uint32_t channel) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  return stream != nullptr && stream->IsActive() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

BASS_API uint32_t ENGINEAPI BASS_ChannelGetData(uint32_t channel, void* buffer, uint32_t lengthBytes) {
  std::shared_ptr<Stream> stream = FindStream(channel);
  if (stream == nullptr || (buffer == nullptr && lengthBytes >= kFrameBytes)) return 0xFFFFFFFFu;
  return stream->GetData(channel, buffer, lengthBytes);
}

BASS_API uint32_t ENGINEAPI TSEngine_StreamCreateFed(const FeedProcs* procs, void* user, uint64_t lengthBytes) {
  if (procs == nullptr || procs->read == nullptr || procs->seek == nullptr) return 0;
  auto* fed = new std::pair<FeedProcs, void*>(*procs, user);
  auto source = std::make_unique<FedSource>(*procs, user, lengthBytes);
  return AddStream(std::make_shared<Stream>(std::move(source), ReleaseFeed, fed));
}

}  // extern "C"
