// The tempo inside the range a user counts in: the answer to the half/double question.
#pragma once

#include <optional>
#include <string_view>

#include <string>

namespace tempo {

// The tempo range a user counts in, inclusive at both ends, in beats per minute.
struct TempoRange {
  double minBpm = 0.0;
  double maxBpm = 0.0;
};

// "MIN-MAX" with decimal numbers ("." as the decimal point), 0 < MIN <= MAX.
std::optional<TempoRange> ParseRange(std::string_view text);

// A number in plain decimal notation ("70", "85.5"); nothing for any other text.
std::optional<double> ParseDecimal(std::string_view text);

// The tempo in the range: the primary when it lies in it, else the alternative when it
// does, else the primary doubled or halved until it does. Nothing when there is no
// primary (0) or no value lands in the range (possible when the range is narrower than
// an octave). A value lies in the range when its two-decimal display does.
std::optional<float> TempoInRange(float primaryBpm, float alternativeBpm, const TempoRange& range);

}  // namespace tempo
