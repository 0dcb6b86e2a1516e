// Sample decoding, rounding and the stereo mix-down weights.
#include "audioengine/SampleConvert.h"

#include <cstring>

namespace audioengine {

namespace {

// G.711 A-law: the byte's even bits are inverted; three exponent bits, four mantissa
// bits and the sign (set for positive values) give a 13-bit value, here in 16-bit units.
int ALawToLinear(uint8_t code) {
  code ^= 0x55;
  const int exponent = (code >> 4) & 7;
  int magnitude = (code & 0x0F) << 4;
  magnitude += exponent == 0 ? 8 : 0x108;
  if (exponent > 1) magnitude <<= exponent - 1;
  return (code & 0x80) != 0 ? magnitude : -magnitude;
}

// G.711 mu-law: the byte is stored inverted; the biased 14-bit value, here in 16-bit units.
int MuLawToLinear(uint8_t code) {
  code = static_cast<uint8_t>(~code);
  const int exponent = (code >> 4) & 7;
  const int magnitude = ((((code & 0x0F) << 3) + 0x84) << exponent) - 0x84;
  return (code & 0x80) != 0 ? -magnitude : magnitude;
}

}  // namespace

double SampleLevel(const uint8_t* sample, SampleKind kind, unsigned bytesPerSample) {
  if (kind == SampleKind::ALaw) return ALawToLinear(sample[0]);
  if (kind == SampleKind::MuLaw) return MuLawToLinear(sample[0]);
  if (kind == SampleKind::Float) {
    if (bytesPerSample == 4) {
      uint32_t bits =
          uint32_t{sample[0]} | uint32_t{sample[1]} << 8 | uint32_t{sample[2]} << 16 | uint32_t{sample[3]} << 24;
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return static_cast<double>(value) * 32768.0;
    }
    uint64_t bits = 0;
    for (unsigned i = 0; i < 8; ++i) bits |= uint64_t{sample[i]} << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value * 32768.0;
  }
  switch (bytesPerSample) {
    case 1:
      return (static_cast<int>(sample[0]) - 128) * 256.0;
    case 2:
      return static_cast<int16_t>(uint16_t(sample[0] | sample[1] << 8));
    case 3: {
      // Sign-extend the 24-bit value through the top byte of a 32-bit word.
      const uint32_t raw = uint32_t{sample[0]} << 8 | uint32_t{sample[1]} << 16 | uint32_t{sample[2]} << 24;
      return static_cast<int32_t>(raw) / 65536.0;
    }
    default: {
      const uint32_t raw =
          uint32_t{sample[0]} | uint32_t{sample[1]} << 8 | uint32_t{sample[2]} << 16 | uint32_t{sample[3]} << 24;
      return static_cast<int32_t>(raw) / 65536.0;
    }
  }
}

uint32_t DefaultChannelMask(unsigned channels) {
  switch (channels) {
    case 1:
      return 0x4;  // centre
    case 2:
      return 0x3;  // front left, front right
    case 3:
      return 0x7;  // + centre
    case 4:
      return 0x33;  // front pair, back pair
    case 5:
      return 0x37;  // front pair, centre, back pair
    case 6:
      return 0x3F;  // 5.1
    case 7:
      return 0x13F;  // 5.1 + back centre
    case 8:
      return 0x63F;  // 7.1: 5.1 + side pair
    default:
      return 0;
  }
}

std::vector<ChannelWeight> StereoMixWeights(unsigned channels, uint32_t channelMask) {
  std::vector<ChannelWeight> weights(channels, ChannelWeight{0.0, 0.0});
  if (channels == 1) {
    weights[0] = {1.0, 1.0};
    return weights;
  }
  if (channels == 2) {
    weights[0] = {1.0, 0.0};
    weights[1] = {0.0, 1.0};
    return weights;
  }
  // Speaker bits in channel order: bit 0 front left, 1 front right, 2 centre, 3 LFE,
  // 4 back left, 5 back right, 6/7 front left/right of centre, 8 back centre,
  // 9/10 side left/right, 11 top centre, 12-14 top front left/centre/right,
  // 15-17 top back left/centre/right.
  constexpr uint32_t kLeftSpeakers = (1u << 0) | (1u << 4) | (1u << 6) | (1u << 9) | (1u << 12) | (1u << 15);
  constexpr uint32_t kRightSpeakers = (1u << 1) | (1u << 5) | (1u << 7) | (1u << 10) | (1u << 14) | (1u << 17);
  uint32_t mask = channelMask != 0 ? channelMask : DefaultChannelMask(channels);
  for (unsigned channel = 0; channel < channels; ++channel) {
    uint32_t speaker = 0;
    if (mask != 0) {
      speaker = mask & (~mask + 1);  // lowest speaker bit left: this channel's speaker
      mask &= mask - 1;
    }
    if (speaker & kLeftSpeakers) {
      weights[channel] = {1.0, 0.0};
    } else if (speaker & kRightSpeakers) {
      weights[channel] = {0.0, 1.0};
    } else {
      // Centre speakers and channels the mask does not name.
      weights[channel] = {0.5, 0.5};
    }
  }
  double leftSum = 0.0;
  double rightSum = 0.0;
  for (const ChannelWeight& w : weights) {
    leftSum += w.left;
    rightSum += w.right;
  }
  // A layout with speakers on one side only feeds that side to both.
  for (ChannelWeight& w : weights) {
    if (leftSum == 0.0) w.left = w.right;
    if (rightSum == 0.0) w.right = w.left;
  }
  if (leftSum == 0.0) leftSum = rightSum;
  if (rightSum == 0.0) rightSum = leftSum;
  for (ChannelWeight& w : weights) {
    w.left /= leftSum;
    w.right /= rightSum;
  }
  return weights;
}

}  // namespace audioengine
