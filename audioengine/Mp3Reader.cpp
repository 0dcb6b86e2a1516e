// MPEG audio decoding with libmpg123, reading the file through our own FileRange.
#include "audioengine/Mp3Reader.h"

#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audioengine/MpegFrames.h"
#include "audioengine/SampleConvert.h"

namespace audioengine {

namespace {

mpg123_ssize_t ReadCallback(void* handle, void* buffer, size_t count) {
  return static_cast<mpg123_ssize_t>(static_cast<FileRange*>(handle)->Read(buffer, count));
}

off_t SeekCallback(void* handle, off_t offset, int whence) {
  auto* file = static_cast<FileRange*>(handle);
  long long base = 0;
  if (whence == SEEK_CUR)
    base = static_cast<long long>(file->PositionBytes());
  else if (whence == SEEK_END)
    base = static_cast<long long>(file->SizeBytes());
  else if (whence != SEEK_SET)
    return -1;
  const long long target = base + static_cast<long long>(offset);
  if (target < 0 || !file->Seek(static_cast<uint64_t>(target))) return -1;
  return static_cast<off_t>(target);
}

// Consecutive reads without progress after which a stream is taken to be stuck.
constexpr int kMaxIdleReads = 64;
constexpr size_t kSkipFrames = 4096;
constexpr size_t kSegmentFrames = 4096;

class Mp3Input final : public StereoInput {
 public:
  ~Mp3Input() override {
    if (handle_ != nullptr) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
    if (resampler_ != nullptr) syn123_del(resampler_);
  }

  bool Open(std::unique_ptr<FileRange> file) {
    file_ = std::move(file);
    // Our own search for the first frame: libmpg123 alone would take a few false frames
    // in any file for audio, and gives up on long junk before the first frame.
    const uint64_t audioEnd = MpegAudioEnd(*file_);
    uint64_t first = 0;
    if (!FindFirstMpegFrame(*file_, audioEnd, first)) return false;
    const bool unbroken = MpegFramesUnbroken(*file_, first, audioEnd);
    if (!file_->DropFront(first)) return false;
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return false;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // The rate stays the file's own; resampling to 44100 Hz is done afterwards.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    // Garbage of any length between frames is skipped rather than ending the stream.
    mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    // 44100 Hz files are decoded straight to 16 bits, the others to float for the
    // resampler.
    for (size_t i = 0; i < rateCount; ++i) {
      mpg123_format(handle_, rates[i], MPG123_STEREO, EncodingFor(rates[i]));
    }
    if (mpg123_replace_reader_handle(handle_, ReadCallback, SeekCallback, nullptr) != MPG123_OK) return false;
    if (!Restart()) return false;
    rateHz_ = segmentRate_;
    encoding_ = segmentEncoding_;
    if (unbroken) {
      if (mpg123_scan(handle_) != MPG123_OK) return false;
      const off_t length = mpg123_length(handle_);
      if (length < 0) return false;
      lengthFrames_ = static_cast<uint64_t>(length);
      return mpg123_seek(handle_, 0, SEEK_SET) >= 0;
    }
    // A damaged file (garbage or false headers between frames, a change of rate, a cut
    // last frame): only decoding it tells how much audio libmpg123 finds in it.
    std::vector<float> scratch(2 * kSkipFrames);
    uint64_t frames = 0;
    for (size_t got; (got = Decode(scratch.data(), kSkipFrames)) > 0;) frames += got;
    lengthFrames_ = frames;
    return frames > 0 && Restart();
  }

  long RateHz() const override { return rateHz_; }
  uint64_t LengthFrames() const override { return lengthFrames_; }

  size_t ReadInt16(int16_t* stereo, size_t frames) override {
    if (encoding_ != MPG123_ENC_SIGNED_16) return 0;
    return Decode(stereo, frames);
  }

  size_t ReadFloat(float* stereo, size_t frames) override {
    if (encoding_ != MPG123_ENC_FLOAT_32) return 0;
    return Decode(stereo, frames);
  }

  // Seeking reopens the stream and decodes up to the frame: libmpg123's own seek
  // keeps filter history from before it, so a restart after the end would not give
  // the same samples as the first pass.
  bool SeekFrame(uint64_t frame) override {
    if (frame > lengthFrames_ || !Restart()) return false;
    if (segmentRate_ != rateHz_ || segmentEncoding_ != encoding_) return false;
    std::vector<float> scratch(2 * kSkipFrames);
    for (uint64_t skipped = 0; skipped < frame;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kSkipFrames, frame - skipped));
      const size_t got = Decode(scratch.data(), want);
      if (got == 0) return false;
      skipped += got;
    }
    return true;
  }

 private:
  static int EncodingFor(long rate) { return rate == kOutputRate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32; }
  static size_t FrameBytes(int encoding) { return encoding == MPG123_ENC_SIGNED_16 ? 4 : 8; }

  // Opens the stream from its first frame, with the first frame's format.
  bool Restart() {
    mpg123_close(handle_);
    ended_ = true;
    pending_.clear();
    pendingFrame_ = 0;
    if (!file_->Seek(0) || mpg123_open_handle(handle_, file_.get()) != MPG123_OK) return false;
    int channels = 0;
    if (mpg123_getformat(handle_, &segmentRate_, &channels, &segmentEncoding_) != MPG123_OK) return false;
    if (channels != 2 || segmentEncoding_ != EncodingFor(segmentRate_)) return false;
    ended_ = false;
    return true;
  }

  // Takes the format libmpg123 now decodes to; audio of another rate than the first
  // frame's goes through a resampler to that rate.
  void ChangeFormat() {
    int channels = 0;
    if (mpg123_getformat(handle_, &segmentRate_, &channels, &segmentEncoding_) != MPG123_OK || channels != 2 ||
        segmentEncoding_ != EncodingFor(segmentRate_)) {
      ended_ = true;
      return;
    }
    if (resampler_ != nullptr) syn123_del(resampler_);
    resampler_ = nullptr;
    if (segmentRate_ == rateHz_) return;
    int error = SYN123_OK;
    resampler_ = syn123_new(rateHz_, 2, MPG123_ENC_FLOAT_32, 0, &error);
    if (resampler_ == nullptr || syn123_setup_resample(resampler_, segmentRate_, rateHz_, 2, 0, 0) != SYN123_OK) {
      ended_ = true;
      return;
    }
    segmentMaxIn_ = std::min<size_t>(kSegmentFrames, syn123_resample_maxincount(segmentRate_, rateHz_));
    if (segmentMaxIn_ == 0) ended_ = true;
  }

  // One mpg123_read; the end is handled here. What a read that reports a new format
  // delivered is still in the format before the change, so the caller converts it first
  // and only then applies the change.
  size_t ReadDecoder(unsigned char* out, size_t bytes, bool& formatChanged) {
    size_t got = 0;
    const int result = mpg123_read(handle_, out, bytes, &got);
    formatChanged = result == MPG123_NEW_FORMAT;
    if (!formatChanged && result != MPG123_OK) ended_ = true;  // MPG123_DONE, or an error libmpg123 cannot resync past
    return got;
  }

  // Decodes a block of a segment at another rate into `pending_`, at the first rate.
  void DecodeOtherRate() {
    const size_t frameBytes = FrameBytes(segmentEncoding_);
    segment_.resize(segmentMaxIn_ * frameBytes);
    bool formatChanged = false;
    const size_t frames = ReadDecoder(segment_.data(), segment_.size(), formatChanged) / frameBytes;
    if (frames > 0 && resampler_ != nullptr) Resample(frames);
    if (formatChanged) ChangeFormat();
  }

  // Resamples the first frames of `segment_` (in the segment's encoding) into `pending_`.
  void Resample(size_t frames) {
    segmentFloat_.resize(2 * frames);
    if (segmentEncoding_ == MPG123_ENC_SIGNED_16) {
      for (size_t i = 0; i < 2 * frames; ++i) {
        int16_t sample;
        std::memcpy(&sample, segment_.data() + 2 * i, 2);
        segmentFloat_[i] = static_cast<float>(sample) / 32768.0f;
      }
    } else {
      std::memcpy(segmentFloat_.data(), segment_.data(), 2 * frames * sizeof(float));
    }
    pending_.resize(2 * syn123_resample_count(segmentRate_, rateHz_, frames));
    const size_t made = syn123_resample(resampler_, pending_.data(), segmentFloat_.data(), frames);
    pending_.resize(2 * made);
    pendingFrame_ = 0;
  }

  size_t Decode(void* stereo, size_t frames) {
    const size_t frameBytes = FrameBytes(encoding_);
    auto* out = static_cast<unsigned char*>(stereo);
    size_t done = 0;
    int idle = 0;
    while (done < frames && idle < kMaxIdleReads) {
      const size_t before = done;
      if (pendingFrame_ < pending_.size() / 2) {
        const size_t take = std::min(frames - done, pending_.size() / 2 - pendingFrame_);
        const float* from = pending_.data() + 2 * pendingFrame_;
        if (encoding_ == MPG123_ENC_SIGNED_16) {
          auto* to = reinterpret_cast<int16_t*>(out) + 2 * done;
          for (size_t i = 0; i < 2 * take; ++i) to[i] = RoundToInt16(static_cast<double>(from[i]) * 32768.0);
        } else {
          std::memcpy(reinterpret_cast<float*>(out) + 2 * done, from, 2 * take * sizeof(float));
        }
        pendingFrame_ += take;
        done += take;
      } else if (ended_) {
        break;
      } else if (segmentRate_ == rateHz_) {
        // mpg123 fills whole frames of our format.
        bool formatChanged = false;
        done += ReadDecoder(out + done * frameBytes, (frames - done) * frameBytes, formatChanged) / frameBytes;
        if (formatChanged) ChangeFormat();
      } else {
        DecodeOtherRate();
      }
      idle = done == before && pendingFrame_ >= pending_.size() / 2 ? idle + 1 : 0;
    }
    return done;
  }

  std::unique_ptr<FileRange> file_;
  mpg123_handle* handle_ = nullptr;
  long rateHz_ = 0;  // the first frame's rate and encoding: the input's format
  int encoding_ = 0;
  long segmentRate_ = 0;  // what libmpg123 decodes to now
  int segmentEncoding_ = 0;
  syn123_handle* resampler_ = nullptr;
  size_t segmentMaxIn_ = 0;
  std::vector<unsigned char> segment_;
  std::vector<float> segmentFloat_;
  std::vector<float> pending_;  // resampled audio not yet delivered
  size_t pendingFrame_ = 0;
  uint64_t lengthFrames_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<StereoInput> OpenMp3(std::unique_ptr<FileRange> file) {
  if (file == nullptr) return nullptr;
  auto input = std::make_unique<Mp3Input>();
  if (!input->Open(std::move(file))) return nullptr;
  return input;
}

}  // namespace audioengine
