// MPEG audio decoding with libmpg123, reading the file through our own FileRange.
#include "audioengine/Mp3Reader.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <vector>

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

class Mp3Input final : public StereoInput {
 public:
  ~Mp3Input() override {
    if (handle_ != nullptr) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
  }

  bool Open(std::unique_ptr<FileRange> file) {
    file_ = std::move(file);
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return false;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // The rate stays the file's own; resampling to 44100 Hz is done afterwards.
    mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    // 44100 Hz files are decoded straight to 16 bits, the others to float for the
    // resampler.
    for (size_t i = 0; i < rateCount; ++i) {
      const int encoding = rates[i] == kOutputRate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32;
      mpg123_format(handle_, rates[i], MPG123_STEREO, encoding);
    }
    if (mpg123_replace_reader_handle(handle_, ReadCallback, SeekCallback, nullptr) != MPG123_OK) return false;
    if (mpg123_open_handle(handle_, file_.get()) != MPG123_OK) return false;
    int channels = 0;
    if (mpg123_getformat(handle_, &rateHz_, &channels, &encoding_) != MPG123_OK) return false;
    if (channels != 2 || (encoding_ != MPG123_ENC_SIGNED_16 && encoding_ != MPG123_ENC_FLOAT_32)) return false;
    if (mpg123_scan(handle_) != MPG123_OK) return false;
    const off_t length = mpg123_length(handle_);
    if (length < 0) return false;
    lengthFrames_ = static_cast<uint64_t>(length);
    return mpg123_seek(handle_, 0, SEEK_SET) >= 0;
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
    if (frame > lengthFrames_) return false;
    mpg123_close(handle_);
    ended_ = true;
    if (!file_->Seek(0) || mpg123_open_handle(handle_, file_.get()) != MPG123_OK) return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate != rateHz_ ||
        encoding != encoding_) {
      return false;
    }
    ended_ = false;
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
  size_t Decode(void* stereo, size_t frames) {
    const size_t frameBytes = encoding_ == MPG123_ENC_SIGNED_16 ? 4 : 8;
    auto* out = static_cast<unsigned char*>(stereo);
    const size_t wantBytes = frames * frameBytes;
    size_t doneBytes = 0;
    int idle = 0;
    while (!ended_ && doneBytes < wantBytes && idle < kMaxIdleReads) {
      size_t got = 0;
      const int result = mpg123_read(handle_, out + doneBytes, wantBytes - doneBytes, &got);
      doneBytes += got;
      idle = got == 0 ? idle + 1 : 0;
      if (result == MPG123_NEW_FORMAT) {
        // A stream whose format changes midway (files joined together) ends where the
        // format changes: its samples could not be told apart afterwards.
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        mpg123_getformat(handle_, &rate, &channels, &encoding);
        if (rate != rateHz_ || channels != 2 || encoding != encoding_) ended_ = true;
      } else if (result != MPG123_OK) {
        ended_ = true;  // MPG123_DONE, or a decoding error: what was decoded stands
      }
    }
    // mpg123 fills whole frames of our format; drop a torn frame if one ever shows.
    return doneBytes / frameBytes;
  }

  std::unique_ptr<FileRange> file_;
  mpg123_handle* handle_ = nullptr;
  long rateHz_ = 0;
  int encoding_ = 0;
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
