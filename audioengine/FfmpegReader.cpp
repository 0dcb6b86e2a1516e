// Decoding through libavformat and libavcodec, the file read through our own FileRange;
// samples are turned into levels and mixed down exactly as the WAV reader does.
#include "audioengine/FfmpegReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "audioengine/SampleConvert.h"

namespace audioengine {

namespace {

// Sample rates outside this range are refused rather than resampled, as for WAV.
constexpr long kMinRateHz = 1000;
constexpr long kMaxRateHz = 768000;
constexpr int kIoBufferBytes = 64 * 1024;
// Packets in a row that fail to decode, after which the rest of the stream is taken to
// be unreadable.
constexpr int kMaxBadPackets = 1000;
// More frames per byte of file than a container's stated length may claim.
constexpr uint64_t kMaxFramesPerByte = 1024;

bool ReadAt(FileRange& file, uint64_t position, void* buffer, size_t count) {
  return file.Seek(position) && file.Read(buffer, count) == count;
}

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const size_t got = static_cast<FileRange*>(opaque)->Read(buffer, static_cast<size_t>(size));
  return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
  auto* file = static_cast<FileRange*>(opaque);
  if ((whence & AVSEEK_SIZE) != 0) return static_cast<int64_t>(file->SizeBytes());
  whence &= ~AVSEEK_FORCE;
  int64_t base = 0;
  if (whence == SEEK_CUR)
    base = static_cast<int64_t>(file->PositionBytes());
  else if (whence == SEEK_END)
    base = static_cast<int64_t>(file->SizeBytes());
  else if (whence != SEEK_SET)
    return -1;
  if (offset > INT64_MAX - base) return -1;
  const int64_t target = base + offset;
  if (target < 0 || !file->Seek(static_cast<uint64_t>(target))) return -1;
  return target;
}

// Each of libavcodec's sample formats (packed or planar alike) and how one of its
// samples reads as a level in 16-bit units, the way SampleLevel reads the same sample
// from a WAV file.
struct U8Sample {
  using Raw = uint8_t;
  static double Level(Raw v) { return (static_cast<int>(v) - 128) * 256.0; }
};
struct S16Sample {
  using Raw = int16_t;
  static double Level(Raw v) { return v; }
};
struct S32Sample {
  using Raw = int32_t;
  static double Level(Raw v) { return v / 65536.0; }
};
struct FloatSample {
  using Raw = float;
  static double Level(Raw v) { return static_cast<double>(v) * 32768.0; }
};
struct DoubleSample {
  using Raw = double;
  static double Level(Raw v) { return v * 32768.0; }
};

// The level of sample `index` of a channel whose samples start at `data`.
template <typename Sample>
double LevelAt(const uint8_t* data, size_t index) {
  typename Sample::Raw v;
  std::memcpy(&v, data + sizeof v * index, sizeof v);
  return Sample::Level(v);
}

// Mixes `count` frames to stereo, handing each frame's left and right levels to `store`.
// Channel c's sample of frame i is at channelData[c] + i * stride samples. `Channels`
// fixes the channel count at compile time for the common layouts (0: `channels` says).
// Every channel adds its weighted level in channel order, so the sums are the same
// whatever the layout of the samples in memory.
template <typename Sample, unsigned Channels, typename Store>
void MixToStereo(const uint8_t* const* channelData, size_t stride, unsigned channels, const ChannelWeight* weights,
                 size_t count, Store& store) {
  const unsigned n = Channels != 0 ? Channels : channels;
  for (size_t i = 0; i < count; ++i) {
    double left = 0.0;
    double right = 0.0;
    for (unsigned c = 0; c < n; ++c) {
      const double level = LevelAt<Sample>(channelData[c], i * stride);
      left += weights[c].left * level;
      right += weights[c].right * level;
    }
    store(i, left, right);
  }
}

// MixToStereo with the channel count fixed where it is one of the common ones.
template <typename Sample, typename Store>
void MixFrames(const uint8_t* const* channelData, size_t stride, unsigned channels, const ChannelWeight* weights,
               size_t count, Store& store) {
  switch (channels) {
    case 1:
      MixToStereo<Sample, 1>(channelData, stride, channels, weights, count, store);
      break;
    case 2:
      MixToStereo<Sample, 2>(channelData, stride, channels, weights, count, store);
      break;
    default:
      MixToStereo<Sample, 0>(channelData, stride, channels, weights, count, store);
      break;
  }
}

bool SupportedFormat(int format) {
  switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
      return true;
    default:
      return false;
  }
}

// The WAVE speaker mask of a layout: FFmpeg's first 18 channel bits are the same speakers.
uint32_t SpeakerMask(const AVChannelLayout& layout) {
  if (layout.order != AV_CHANNEL_ORDER_NATIVE) return 0;
  const uint64_t mask = layout.u.mask & 0x3FFFFu;
  // A mask naming other channels than it has would misplace them: use the default.
  if (static_cast<int>(__builtin_popcountll(mask)) != layout.nb_channels) return 0;
  return static_cast<uint32_t>(mask);
}

class FfmpegInput final : public StereoInput {
 public:
  ~FfmpegInput() override { Close(); }

  bool Open(std::unique_ptr<FileRange> file) {
    file_ = std::move(file);
    if (!Restart()) return false;
    const AVCodecParameters* par = format_->streams[stream_]->codecpar;
    rateHz_ = par->sample_rate;
    if (rateHz_ < kMinRateHz || rateHz_ > kMaxRateHz) return false;
    if (!KnownLength(lengthFrames_)) {
      // The container only estimates its length (raw AAC) or gives none: the durations of
      // its packets tell how much audio there is, read by the demuxer alone; decoding it
      // does when a packet states no duration. Should a packet then fail to decode, the
      // audio ends there, as a truncated file's does.
      const std::optional<uint64_t> counted = PacketLength();
      if (!Restart()) return false;
      if (counted) {
        lengthFrames_ = *counted;
      } else {
        lengthFrames_ = UINT64_MAX;  // no end for Skip but the audio's
        lengthFrames_ = Skip(UINT64_MAX);
        if (!Restart()) return false;
      }
    }
    return lengthFrames_ > 0;
  }

  long RateHz() const override { return rateHz_; }
  uint64_t LengthFrames() const override { return lengthFrames_; }

  size_t ReadInt16(int16_t* stereo, size_t frames) override {
    return Convert(
        frames,
        [stereo](size_t frame, double left, double right) {
          stereo[2 * frame] = RoundToInt16(left);
          stereo[2 * frame + 1] = RoundToInt16(right);
        },
        stereo);
  }

  size_t ReadFloat(float* stereo, size_t frames) override {
    return Convert(frames, [stereo](size_t frame, double left, double right) {
      stereo[2 * frame] = static_cast<float>(left / 32768.0);
      stereo[2 * frame + 1] = static_cast<float>(right / 32768.0);
    });
  }

  // Seeking reopens the file and decodes up to the frame: the decoders' state from
  // before a seek point would not give the same samples as the first pass.
  bool SeekFrame(uint64_t frame) override {
    if (frame > lengthFrames_) return false;
    if (positionFrames_ != 0 || frameAt_ != 0 || frame_->nb_samples != 0 || ended_) {
      if (!Restart()) return false;
    }
    return Skip(frame) == frame;
  }

 private:
  void Close() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_ != nullptr) avformat_close_input(&format_);
    if (io_ != nullptr) {
      av_freep(&io_->buffer);
      avio_context_free(&io_);
    }
  }

  // Opens the file from its start: the demuxer, the default audio stream and its decoder.
  bool Restart() {
    Close();
    positionFrames_ = 0;
    frameAt_ = 0;
    ended_ = true;
    badPackets_ = 0;
    draining_ = false;
    if (!file_->Seek(0)) return false;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) return false;
    io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, file_.get(), ReadPacket, nullptr, SeekFile);
    if (io_ == nullptr) {
      av_free(buffer);
      return false;
    }
    format_ = avformat_alloc_context();
    if (format_ == nullptr) return false;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // On failure avformat_open_input frees the context.
    if (avformat_open_input(&format_, "", nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ < 0 || decoder == nullptr) return false;
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
      if (static_cast<int>(i) != stream_) format_->streams[i]->discard = AVDISCARD_ALL;
    }
    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr) return false;
    if (avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0) return false;
    // One thread: the same samples on every machine and every run.
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (frame_ == nullptr || packet_ == nullptr) return false;
    ended_ = false;
    return true;
  }

  // The stream's length in frames when the container records it (rather than estimating
  // it from the bit rate) and it is plausible for the file's size.
  bool KnownLength(uint64_t& frames) const {
    if (format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return false;
    const AVStream* stream = format_->streams[stream_];
    int64_t length = AV_NOPTS_VALUE;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
      length = av_rescale_q(stream->duration, stream->time_base, AVRational{1, static_cast<int>(rateHz_)});
    } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
      length = av_rescale(format_->duration, rateHz_, AV_TIME_BASE);
    }
    if (length <= 0) return false;
    frames = static_cast<uint64_t>(length);
    // No codec packs more than a few hundred frames into a byte, even of silence: a
    // header claiming more (damaged, or made to mislead) is not believed, and the audio
    // is counted instead.
    return frames / kMaxFramesPerByte <= file_->SizeBytes();
  }

  // The stream's length in frames from the durations of its packets, or nothing when a
  // packet states none.
  std::optional<uint64_t> PacketLength() {
    const AVStream* stream = format_->streams[stream_];
    int64_t ticks = 0;
    bool complete = true;
    while (complete && av_read_frame(format_, packet_) >= 0) {
      if (packet_->stream_index == stream_) {
        if (packet_->duration > 0 && packet_->duration <= INT64_MAX - ticks) {
          ticks += packet_->duration;
        } else {
          complete = false;
        }
      }
      av_packet_unref(packet_);
    }
    if (!complete) return std::nullopt;
    return static_cast<uint64_t>(av_rescale_q(ticks, stream->time_base, AVRational{1, static_cast<int>(rateHz_)}));
  }

  // The next decoded frame into frame_; false at the end of the audio or when the stream
  // cannot be read further.
  bool NextFrame() {
    av_frame_unref(frame_);
    frameAt_ = 0;
    while (!ended_) {
      const int received = avcodec_receive_frame(codec_, frame_);
      if (received == 0) {
        if (frame_->sample_rate != rateHz_ || !SupportedFormat(frame_->format) ||
            frame_->ch_layout.nb_channels < 1) {
          // A change of rate mid-stream, or samples we cannot read: the audio ends here.
          ended_ = true;
          break;
        }
        if (frame_->nb_samples <= 0) continue;
        return true;
      }
      if (received == AVERROR_EOF || draining_) {
        ended_ = true;
        break;
      }
      if (received != AVERROR(EAGAIN)) {
        if (++badPackets_ > kMaxBadPackets) ended_ = true;
      }
      // The decoder wants more input.
      const int read = av_read_frame(format_, packet_);
      if (read < 0) {
        // The end of the file or a demuxer that cannot go on: drain what the decoder holds.
        draining_ = true;
        avcodec_send_packet(codec_, nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) {
        const int sent = avcodec_send_packet(codec_, packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
          // A damaged packet: skip it, as players do, unless nothing decodes any more.
          if (++badPackets_ > kMaxBadPackets) ended_ = true;
        } else {
          badPackets_ = 0;
        }
      }
      av_packet_unref(packet_);
    }
    av_frame_unref(frame_);
    return false;
  }

  // Decodes up to `frames` frames without converting them; how many there were.
  uint64_t Skip(uint64_t frames) {
    uint64_t done = 0;
    while (done < frames && positionFrames_ < lengthFrames_) {
      if (frameAt_ >= static_cast<size_t>(frame_->nb_samples) && !NextFrame()) break;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(
          {frames - done, static_cast<uint64_t>(frame_->nb_samples) - frameAt_, lengthFrames_ - positionFrames_}));
      frameAt_ += take;
      done += take;
      positionFrames_ += take;
    }
    return done;
  }

  // `direct`, when given, is where 16-bit stereo frames go as they are.
  template <typename Store>
  size_t Convert(size_t frames, Store store, int16_t* direct = nullptr) {
    size_t done = 0;
    while (done < frames && positionFrames_ < lengthFrames_) {
      if (frameAt_ >= static_cast<size_t>(frame_->nb_samples) && !NextFrame()) break;
      const auto format = static_cast<AVSampleFormat>(frame_->format);
      const unsigned channels = static_cast<unsigned>(frame_->ch_layout.nb_channels);
      if (channels != weightChannels_) {
        weights_ = StereoMixWeights(channels, SpeakerMask(frame_->ch_layout));
        weightChannels_ = channels;
      }
      const bool planar = av_sample_fmt_is_planar(format) != 0;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(
          {frames - done, static_cast<uint64_t>(frame_->nb_samples) - frameAt_, lengthFrames_ - positionFrames_}));
      if (direct != nullptr && channels == 2 && (format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_S16P)) {
        // 16-bit stereo needs no mixing: the weights are 1 and 0, so the mix gives each
        // sample back unchanged.
        int16_t* to = direct + 2 * done;
        if (planar) {
          const auto* left = reinterpret_cast<const int16_t*>(frame_->extended_data[0]) + frameAt_;
          const auto* right = reinterpret_cast<const int16_t*>(frame_->extended_data[1]) + frameAt_;
          for (size_t i = 0; i < take; ++i) {
            to[2 * i] = left[i];
            to[2 * i + 1] = right[i];
          }
        } else {
          std::memcpy(to, frame_->extended_data[0] + 4 * frameAt_, 4 * take);
        }
        frameAt_ += take;
        done += take;
        positionFrames_ += take;
        continue;
      }
      // Where each channel's first sample to take is, and how far apart its samples are.
      const size_t bytes = static_cast<size_t>(av_get_bytes_per_sample(format));
      channelData_.resize(channels);
      for (unsigned c = 0; c < channels; ++c) {
        channelData_[c] = planar ? frame_->extended_data[c] + bytes * frameAt_
                                 : frame_->extended_data[0] + bytes * (frameAt_ * channels + c);
      }
      const size_t stride = planar ? 1 : channels;
      auto at = [&store, done](size_t i, double left, double right) { store(done + i, left, right); };
      switch (format) {
        case AV_SAMPLE_FMT_U8:
        case AV_SAMPLE_FMT_U8P:
          MixFrames<U8Sample>(channelData_.data(), stride, channels, weights_.data(), take, at);
          break;
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P:
          MixFrames<S16Sample>(channelData_.data(), stride, channels, weights_.data(), take, at);
          break;
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S32P:
          MixFrames<S32Sample>(channelData_.data(), stride, channels, weights_.data(), take, at);
          break;
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_FLTP:
          MixFrames<FloatSample>(channelData_.data(), stride, channels, weights_.data(), take, at);
          break;
        default:
          // NextFrame lets through no other format than these and doubles.
          MixFrames<DoubleSample>(channelData_.data(), stride, channels, weights_.data(), take, at);
          break;
      }
      frameAt_ += take;
      done += take;
      positionFrames_ += take;
    }
    return done;
  }

  std::unique_ptr<FileRange> file_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_ = -1;
  long rateHz_ = 0;
  uint64_t lengthFrames_ = 0;
  uint64_t positionFrames_ = 0;
  size_t frameAt_ = 0;  // the next sample of frame_ to deliver
  std::vector<ChannelWeight> weights_;
  std::vector<const uint8_t*> channelData_;  // Convert's per-channel read positions
  unsigned weightChannels_ = 0;
  int badPackets_ = 0;
  bool draining_ = false;
  bool ended_ = true;
};

// The size of the ID3v2 tags at `position`, 0 when none starts there.
uint64_t Id3v2Bytes(FileRange& file, uint64_t position) {
  uint8_t header[10];
  if (!ReadAt(file, position, header, sizeof header) || std::memcmp(header, "ID3", 3) != 0) return 0;
  if (((header[6] | header[7] | header[8] | header[9]) & 0x80) != 0) return 0;
  const uint64_t body = uint64_t{header[6]} << 21 | uint64_t{header[7]} << 14 | uint64_t{header[8]} << 7 | header[9];
  return 10 + body + ((header[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace

bool LooksLikeFfmpegContainer(FileRange& file) {
  static constexpr uint8_t kAsfGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static constexpr uint8_t kEbml[4] = {0x1A, 0x45, 0xDF, 0xA3};
  uint64_t start = 0;
  // FLAC files are sometimes written with ID3v2 tags in front; a few of them in a row
  // are skipped, as the MP3 reader does.
  for (int tags = 0; tags < 8; ++tags) {
    const uint64_t bytes = Id3v2Bytes(file, start);
    if (bytes == 0) break;
    start += bytes;
  }
  uint8_t head[16] = {};
  if (!ReadAt(file, start, head, sizeof head)) return false;
  return std::memcmp(head, "fLaC", 4) == 0 || std::memcmp(head, "OggS", 4) == 0 ||
         std::memcmp(head, "wvpk", 4) == 0 || std::memcmp(head, "MAC ", 4) == 0 ||
         std::memcmp(head + 4, "ftyp", 4) == 0 || std::memcmp(head, kEbml, 4) == 0 ||
         std::memcmp(head, kAsfGuid, 16) == 0 ||
         (std::memcmp(head, "FORM", 4) == 0 &&
          (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0));
}

std::unique_ptr<StereoInput> OpenWithFfmpeg(std::unique_ptr<FileRange> file) {
  if (file == nullptr) return nullptr;
  // FFmpeg's messages would go to the program's standard error: the engine reports its
  // failures through its error codes only.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  auto input = std::make_unique<FfmpegInput>();
  if (!input->Open(std::move(file))) return nullptr;
  return input;
}

}  // namespace audioengine
