// The tempo inside a range: parsing "MIN-MAX" and choosing primary, alternative or an
// octave of the primary.
#include "tempo/Range.h"

#include "tempo/TempoText.h"

#include <cmath>

namespace tempo {

namespace {

bool InRange(float bpm, const TempoRange& range) {
  const double shown = ShownTempo(bpm);
  return shown >= range.minBpm && shown <= range.maxBpm;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  // Digits, at most one point, at least one digit; no sign, exponent or locale.
  double value = 0.0;
  double scale = 0.0;
  bool anyDigit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      anyDigit = true;
      if (scale == 0.0) {
        value = value * 10.0 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10.0;
      }
    } else if (c == '.' && scale == 0.0) {
      scale = 0.1;
    } else {
      return std::nullopt;
    }
  }
  if (!anyDigit || text.size() > 32) return std::nullopt;
  return value;
}

std::optional<TempoRange> ParseRange(std::string_view text) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const std::optional<double> minBpm = ParseDecimal(text.substr(0, dash));
  const std::optional<double> maxBpm = ParseDecimal(text.substr(dash + 1));
  if (!minBpm || !maxBpm || *minBpm <= 0.0 || *minBpm > *maxBpm) return std::nullopt;
  return TempoRange{*minBpm, *maxBpm};
}

std::optional<float> TempoInRange(float primaryBpm, float alternativeBpm, const TempoRange& range) {
  if (!(primaryBpm > 0.0f)) return std::nullopt;
  if (InRange(primaryBpm, range)) return primaryBpm;
  if (alternativeBpm > 0.0f && InRange(alternativeBpm, range)) return alternativeBpm;
  // Doubling and halving a float are exact, so the octave keeps the primary's digits.
  float bpm = primaryBpm;
  if (ShownTempo(bpm) < range.minBpm) {
    for (int step = 0; step < 64 && ShownTempo(bpm) < range.minBpm; ++step) bpm *= 2.0f;
  } else {
    for (int step = 0; step < 64 && ShownTempo(bpm) > range.maxBpm; ++step) bpm /= 2.0f;
  }
  if (InRange(bpm, range)) return bpm;
  return std::nullopt;
}

}  // namespace tempo
