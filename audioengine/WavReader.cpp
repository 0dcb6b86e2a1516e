// RIFF WAVE parsing and sample decoding to stereo.
#include "audioengine/WavReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace audioengine {

namespace {

constexpr uint16_t kFormatPcm = 0x0001;
constexpr uint16_t kFormatFloat = 0x0003;
constexpr uint16_t kFormatALaw = 0x0006;
constexpr uint16_t kFormatMuLaw = 0x0007;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr unsigned kMaxChannels = 8;
// The fixed tail shared by the KSDATAFORMAT_SUBTYPE GUIDs of PCM and IEEE float; the
// first two bytes hold the format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr size_t kBlockFrames = 4096;

// Numbers in a chunk: little-endian, or big-endian in a RIFX file.
struct Endian {
  bool big = false;
  uint16_t U16(const uint8_t* p) const {
    return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  uint32_t U32(const uint8_t* p) const {
    return big ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
               : uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  uint64_t U64(const uint8_t* p) const {
    return big ? uint64_t{U32(p)} << 32 | U32(p + 4) : U32(p) | uint64_t{U32(p + 4)} << 32;
  }
};

// The GUID tail is always little-endian.
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

enum class Container { None, Riff, Rifx, Rf64 };

// RIFF (also written "riff"), big-endian RIFX, and RF64 or BW64 for files past 4 GiB.
Container ContainerOf(const uint8_t* id) {
  if (std::memcmp(id, "RIFF", 4) == 0 || std::memcmp(id, "riff", 4) == 0) return Container::Riff;
  if (std::memcmp(id, "RIFX", 4) == 0) return Container::Rifx;
  if (std::memcmp(id, "RF64", 4) == 0 || std::memcmp(id, "BW64", 4) == 0) return Container::Rf64;
  return Container::None;
}

bool ReadAt(FileRange& file, uint64_t position, void* buffer, size_t count) {
  return file.Seek(position) && file.Read(buffer, count) == count;
}

// Checks the "fmt " body and fills the format fields; false for what we cannot decode.
bool ParseFormatChunk(const uint8_t* body, uint32_t sizeBytes, Endian endian, WavFormat& format) {
  if (sizeBytes < 16) return false;
  uint16_t tag = endian.U16(body);
  const unsigned channels = endian.U16(body + 2);
  const uint32_t rate = endian.U32(body + 4);
  const unsigned bits = endian.U16(body + 14);
  if (tag == kFormatExtensible) {
    if (sizeBytes < 40 || endian.U16(body + 16) < 22) return false;
    format.channelMask = endian.U32(body + 20);
    if (std::memcmp(body + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) return false;
    tag = endian.big ? endian.U16(body + 24) : Le16(body + 24);
  }
  if (channels == 0 || channels > kMaxChannels) return false;
  if (rate < static_cast<uint32_t>(kMinWavRateHz) || rate > static_cast<uint32_t>(kMaxWavRateHz)) return false;
  if (bits == 0) return false;
  const unsigned bytesPerSample = (bits + 7) / 8;
  if (tag == kFormatPcm) {
    // Sizes between whole bytes (12, 20 bits) are left-justified in their container.
    if (bytesPerSample > 4) return false;
    format.kind = SampleKind::Int;
  } else if (tag == kFormatFloat) {
    if (bits != 32 && bits != 64) return false;
    format.kind = SampleKind::Float;
  } else if (tag == kFormatALaw || tag == kFormatMuLaw) {
    if (bits != 8) return false;
    format.kind = tag == kFormatALaw ? SampleKind::ALaw : SampleKind::MuLaw;
  } else {
    return false;
  }
  format.bytesPerSample = bytesPerSample;
  format.channels = channels;
  format.rateHz = static_cast<long>(rate);
  return true;
}

class WavInput final : public StereoInput {
 public:
  WavInput(std::unique_ptr<FileRange> file, const WavFormat& format)
      : file_(std::move(file)),
        format_(format),
        frameBytes_(format.bytesPerSample * format.channels),
        lengthFrames_(format.dataBytes / frameBytes_),
        weights_(StereoMixWeights(format.channels, format.channelMask)),
        direct16_(format.kind == SampleKind::Int && format.bytesPerSample == 2 && format.channels == 2 &&
                  !format.bigEndian) {
    file_->Seek(format_.dataOffset);
  }

  long RateHz() const override { return format_.rateHz; }
  uint64_t LengthFrames() const override { return lengthFrames_; }

  size_t ReadInt16(int16_t* stereo, size_t frames) override {
    if (direct16_) {
      // 16-bit stereo is already the output layout (little-endian host).
      const size_t want = static_cast<size_t>(std::min<uint64_t>(frames, lengthFrames_ - positionFrames_));
      const size_t got = file_->Read(stereo, want * kFrameBytes) / kFrameBytes;
      positionFrames_ += got;
      return got;
    }
    return Convert(frames, [stereo](size_t frame, double left, double right) {
      stereo[2 * frame] = RoundToInt16(left);
      stereo[2 * frame + 1] = RoundToInt16(right);
    });
  }

  size_t ReadFloat(float* stereo, size_t frames) override {
    return Convert(frames, [stereo](size_t frame, double left, double right) {
      stereo[2 * frame] = static_cast<float>(left / 32768.0);
      stereo[2 * frame + 1] = static_cast<float>(right / 32768.0);
    });
  }

  bool SeekFrame(uint64_t frame) override {
    if (frame > lengthFrames_ || !file_->Seek(format_.dataOffset + frame * frameBytes_)) return false;
    positionFrames_ = frame;
    return true;
  }

 private:
  template <typename Store>
  size_t Convert(size_t frames, Store store) {
    size_t done = 0;
    while (done < frames && positionFrames_ < lengthFrames_) {
      const size_t block =
          static_cast<size_t>(std::min<uint64_t>({frames - done, kBlockFrames, lengthFrames_ - positionFrames_}));
      block_.resize(block * frameBytes_);
      const size_t got = file_->Read(block_.data(), block_.size()) / frameBytes_;
      if (format_.bigEndian && format_.bytesPerSample > 1) {
        for (size_t at = 0; at + format_.bytesPerSample <= got * frameBytes_; at += format_.bytesPerSample) {
          std::reverse(block_.begin() + static_cast<ptrdiff_t>(at),
                       block_.begin() + static_cast<ptrdiff_t>(at + format_.bytesPerSample));
        }
      }
      for (size_t i = 0; i < got; ++i) {
        const uint8_t* frame = block_.data() + i * frameBytes_;
        double left = 0.0;
        double right = 0.0;
        for (unsigned channel = 0; channel < format_.channels; ++channel) {
          const double level =
              SampleLevel(frame + channel * format_.bytesPerSample, format_.kind, format_.bytesPerSample);
          left += weights_[channel].left * level;
          right += weights_[channel].right * level;
        }
        store(done + i, left, right);
      }
      done += got;
      positionFrames_ += got;
      if (got < block) break;  // the file ended early (it shrank while open)
    }
    return done;
  }

  std::unique_ptr<FileRange> file_;
  WavFormat format_;
  unsigned frameBytes_;
  uint64_t lengthFrames_;
  std::vector<ChannelWeight> weights_;
  bool direct16_;
  uint64_t positionFrames_ = 0;
  std::vector<uint8_t> block_;
};

}  // namespace

bool LooksLikeWav(FileRange& file) {
  uint8_t id[4];
  return ReadAt(file, 0, id, sizeof id) && ContainerOf(id) != Container::None;
}

bool ParseWavHeader(FileRange& file, WavFormat& format) {
  uint8_t riff[12];
  if (!ReadAt(file, 0, riff, sizeof riff)) return false;
  const Container container = ContainerOf(riff);
  if (container == Container::None) return false;
  if (std::memcmp(riff + 8, "WAVE", 4) != 0 && std::memcmp(riff + 8, "wave", 4) != 0) return false;
  const Endian endian{container == Container::Rifx};
  format.bigEndian = endian.big;
  const uint64_t fileBytes = file.SizeBytes();
  bool haveFormat = false;
  bool haveData = false;
  // RF64: the real size of the data chunk, from the "ds64" chunk that comes first.
  bool haveDs64 = false;
  uint64_t ds64DataBytes = 0;
  uint64_t position = 12;
  // Every step moves at least 8 bytes forward, so the walk ends at the end of the file.
  while (position + 8 <= fileBytes && !(haveFormat && haveData)) {
    uint8_t header[8];
    if (!ReadAt(file, position, header, sizeof header)) return false;
    const uint32_t sizeBytes = endian.U32(header + 4);
    const uint64_t body = position + 8;
    const uint64_t available = fileBytes - body;
    uint64_t chunkBytes = sizeBytes;
    if (container == Container::Rf64 && std::memcmp(header, "ds64", 4) == 0 && !haveDs64) {
      uint8_t ds64[24];
      if (sizeBytes < sizeof ds64 || !ReadAt(file, body, ds64, sizeof ds64)) return false;
      ds64DataBytes = endian.U64(ds64 + 8);
      haveDs64 = true;
    } else if (std::memcmp(header, "fmt ", 4) == 0 && !haveFormat) {
      uint8_t chunk[40] = {};
      const size_t want = static_cast<size_t>(std::min<uint64_t>({sizeBytes, sizeof chunk, available}));
      if (!ReadAt(file, body, chunk, want)) return false;
      if (!ParseFormatChunk(chunk, static_cast<uint32_t>(want), endian, format)) return false;
      haveFormat = true;
    } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
      format.dataOffset = body;
      if (haveDs64 && sizeBytes == 0xFFFFFFFFu) chunkBytes = ds64DataBytes;
      const bool toEnd = chunkBytes == 0 || chunkBytes == 0xFFFFFFFFu;
      format.dataBytes = toEnd ? available : std::min<uint64_t>(chunkBytes, available);
      haveData = true;
      // Nothing after a data chunk of unknown size can be found.
      if (toEnd) break;
    }
    // Chunks are padded to an even size.
    position = body + chunkBytes + (chunkBytes & 1u);
  }
  if (!haveFormat || !haveData) return false;
  const uint64_t frameBytes = uint64_t{format.bytesPerSample} * format.channels;
  format.dataBytes -= format.dataBytes % frameBytes;
  return true;
}

std::unique_ptr<StereoInput> OpenWav(std::unique_ptr<FileRange> file) {
  WavFormat format;
  if (file == nullptr || !ParseWavHeader(*file, format)) return nullptr;
  return std::make_unique<WavInput>(std::move(file), format);
}

}  // namespace audioengine
