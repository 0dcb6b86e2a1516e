// Opening a file by its content and bringing its audio to 16-bit stereo at 44100 Hz,
// resampling other rates with libsyn123.
#include "audioengine/AudioInput.h"

#include <syn123.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "audioengine/EngineApi.h"
#include "audioengine/FfmpegReader.h"
#include "audioengine/Mp3Reader.h"
#include "audioengine/SampleConvert.h"
#include "audioengine/WavReader.h"

namespace audioengine {

namespace {

class DirectSource final : public PcmSource {
 public:
  explicit DirectSource(std::unique_ptr<StereoInput> input) : input_(std::move(input)) {}
  uint64_t LengthFrames() const override { return input_->LengthFrames(); }
  size_t Read(int16_t* stereo, size_t frames) override { return input_->ReadInt16(stereo, frames); }
  bool SeekFrame(uint64_t frame) override { return input_->SeekFrame(frame); }

 private:
  std::unique_ptr<StereoInput> input_;
};

// The resampler's output length follows exactly from the input length, so the stream
// length is known before decoding. Seeking restarts from the beginning and skips
// forward, because the filter history makes any other start point inexact.
class ResampledSource final : public PcmSource {
 public:
  explicit ResampledSource(std::unique_ptr<StereoInput> input) : input_(std::move(input)) {}
  ~ResampledSource() override {
    if (resampler_ != nullptr) syn123_del(resampler_);
  }

  bool Init() {
    const long inRate = input_->RateHz();
    const uint64_t inFrames = input_->LengthFrames();
    if (inFrames > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    const off_t total = syn123_resample_total(inRate, kOutputRate, static_cast<off_t>(inFrames));
    if (total < 0) return false;
    lengthFrames_ = static_cast<uint64_t>(total);
    const size_t maxIn = syn123_resample_maxincount(inRate, kOutputRate);
    if (maxIn == 0) return false;
    blockFrames_ = std::min<size_t>(kBlockFrames, maxIn);
    in_.resize(blockFrames_ * 2);
    out_.resize(syn123_resample_count(inRate, kOutputRate, blockFrames_) * 2);
    return !out_.empty() && Restart();
  }

  uint64_t LengthFrames() const override { return lengthFrames_; }

  size_t Read(int16_t* stereo, size_t frames) override {
    size_t done = 0;
    while (done < frames && producedFrames_ < lengthFrames_) {
      if (pendingFrame_ == pendingFrames_ && !Refill()) break;
      const size_t take = static_cast<size_t>(
          std::min<uint64_t>({frames - done, pendingFrames_ - pendingFrame_, lengthFrames_ - producedFrames_}));
      const float* from = out_.data() + 2 * pendingFrame_;
      for (size_t i = 0; i < 2 * take; ++i) {
        stereo[2 * done + i] = RoundToInt16(static_cast<double>(from[i]) * 32768.0);
      }
      pendingFrame_ += take;
      done += take;
      producedFrames_ += take;
    }
    return done;
  }

  bool SeekFrame(uint64_t frame) override {
    if (frame > lengthFrames_ || !Restart()) return false;
    std::vector<int16_t> scratch(2 * kBlockFrames);
    while (producedFrames_ < frame) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockFrames, frame - producedFrames_));
      if (Read(scratch.data(), want) == 0) return false;
    }
    return true;
  }

 private:
  static constexpr size_t kBlockFrames = 4096;

  bool Restart() {
    if (!input_->SeekFrame(0)) return false;
    if (resampler_ != nullptr) syn123_del(resampler_);
    int error = SYN123_OK;
    resampler_ = syn123_new(kOutputRate, 2, MPG123_ENC_FLOAT_32, 0, &error);
    if (resampler_ == nullptr) return false;
    if (syn123_setup_resample(resampler_, input_->RateHz(), kOutputRate, 2, 0, 0) != SYN123_OK) return false;
    consumedFrames_ = 0;
    producedFrames_ = 0;
    pendingFrame_ = 0;
    pendingFrames_ = 0;
    inputDone_ = false;
    return true;
  }

  // Resamples the next block of input; false when nothing more can come.
  bool Refill() {
    pendingFrame_ = 0;
    pendingFrames_ = 0;
    while (pendingFrames_ == 0) {
      if (inputDone_) {
        // The resampler may come out a frame or two short of the computed total at the
        // very end; the missing tail is silence, so the length stays exact. An input
        // that ended early (a damaged file) just ends.
        if (consumedFrames_ < input_->LengthFrames()) return false;
        const size_t pad = static_cast<size_t>(std::min<uint64_t>(lengthFrames_ - producedFrames_, out_.size() / 2));
        if (pad == 0) return false;
        std::fill(out_.begin(), out_.begin() + 2 * pad, 0.0f);
        pendingFrames_ = pad;
        return true;
      }
      const size_t got = input_->ReadFloat(in_.data(), blockFrames_);
      consumedFrames_ += got;
      if (got < blockFrames_) inputDone_ = true;
      if (got > 0) pendingFrames_ = syn123_resample(resampler_, out_.data(), in_.data(), got);
    }
    return true;
  }

  std::unique_ptr<StereoInput> input_;
  syn123_handle* resampler_ = nullptr;
  uint64_t lengthFrames_ = 0;
  size_t blockFrames_ = 0;
  std::vector<float> in_;
  std::vector<float> out_;
  uint64_t consumedFrames_ = 0;
  uint64_t producedFrames_ = 0;
  size_t pendingFrame_ = 0;
  size_t pendingFrames_ = 0;
  bool inputDone_ = false;
};

}  // namespace

std::unique_ptr<PcmSource> MakePcmSource(std::unique_ptr<StereoInput> input) {
  if (input == nullptr) return nullptr;
  if (input->RateHz() == kOutputRate) return std::make_unique<DirectSource>(std::move(input));
  auto resampled = std::make_unique<ResampledSource>(std::move(input));
  if (!resampled->Init()) return nullptr;
  return resampled;
}

std::unique_ptr<PcmSource> OpenAudioFile(const char* path, uint64_t offset, uint64_t lengthBytes, int& error) {
  auto file = std::make_unique<FileRange>();
  const FileOpenResult opened = file->Open(path, offset, lengthBytes);
  if (opened != FileOpenResult::Ok) {
    error = opened == FileOpenResult::NotRegular ? BASS_ERROR_NOTFILE : BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  std::unique_ptr<PcmSource> source;
  if (LooksLikeWav(*file)) {
    source = MakePcmSource(OpenWav(std::move(file)));
  } else if (LooksLikeFfmpegContainer(*file)) {
    source = MakePcmSource(OpenWithFfmpeg(std::move(file)));
  } else if (file->Seek(0)) {
    // MPEG audio first, so every file the MP3 reader takes keeps its decoding; what it
    // refuses (raw AAC, containers without a signature at the start) goes to FFmpeg.
    source = MakePcmSource(OpenMp3(std::move(file)));
    if (source == nullptr) {
      auto again = std::make_unique<FileRange>();
      if (again->Open(path, offset, lengthBytes) == FileOpenResult::Ok)
        source = MakePcmSource(OpenWithFfmpeg(std::move(again)));
    }
  }
  error = source != nullptr ? BASS_OK : BASS_ERROR_FILEFORM;
  return source;
}

}  // namespace audioengine
