// Result parsing and tempo formatting for the batch driver.
#include "tempo/TempoText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tempo {

std::string_view ResultField(std::string_view result, int index) {
  for (int i = 1; i < index; ++i) {
    const size_t bar = result.find('|');
    if (bar == std::string_view::npos) return {};
    result.remove_prefix(bar + 1);
  }
  return result.substr(0, result.find('|'));
}

std::optional<int> FieldPeriodMs(std::string_view field) {
  // Decimal digits up to the first other character; a period needs at least one.
  int64_t value = 0;
  size_t digits = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    if (value < 1'000'000'000) value = value * 10 + (c - '0');
    ++digits;
  }
  // Zero has no tempo (and would divide by zero); an unbounded number is clamped so it
  // still reads as a vanishingly slow tempo rather than overflowing.
  if (digits == 0 || value == 0) return std::nullopt;
  return static_cast<int>(value > 1'000'000'000 ? 1'000'000'000 : value);
}

bool FindsBeat(std::string_view result) {
  return FieldPeriodMs(ResultField(result, 1)).has_value();
}

float TempoFromPeriod(int periodMs) {
  // Both operands are exact in single precision up to 2^24, and IEEE division rounds
  // correctly, so this is the float nearest to 60000 / periodMs.
  if (periodMs <= (1 << 24)) return 60000.0f / static_cast<float>(periodMs);
  return static_cast<float>(60000.0 / periodMs);
}

double ShownTempo(float bpm) {
  return std::floor(static_cast<double>(bpm) * 100.0 + 0.5) / 100.0;
}

std::string FormatTempo(float bpm) {
  // A float times 100 is exact in double precision (24 + 7 significant bits), so the
  // halfway test sees the float's true value: 78.125f shows as 78.13, where printf's
  // "%.2f" would round the tie to even and show 78.12.
  const double hundredths = std::floor(static_cast<double>(bpm) * 100.0 + 0.5);
  const bool negative = hundredths < 0;
  const long long magnitude = static_cast<long long>(negative ? -hundredths : hundredths);
  char text[48];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", negative ? "-" : "", magnitude / 100, magnitude % 100);
  return text;
}

}  // namespace tempo
