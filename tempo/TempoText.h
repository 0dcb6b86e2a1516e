// Texts of the batch driver: reading the analysis result, turning a beat period into a
// tempo, and the two-decimal display of a tempo.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tempo {

// Field `index` (1-based) of an analysis result such as "1000|500"; a field that is
// not present reads as empty text.
std::string_view ResultField(std::string_view result, int index);

// The period in milliseconds that a field holds, or nothing when the field gives no
// value: the text "0", empty text, or no leading decimal digits at all.
std::optional<int> FieldPeriodMs(std::string_view field);

// The driver's rule for a pass: it found a beat when its first field gives a period;
// a first pass that did not leads to the retry pass with the gain stage.
bool FindsBeat(std::string_view result);

// Beats per minute of a period: 60000 / periodMs as the nearest float.
float TempoFromPeriod(int periodMs);

// The value FormatTempo shows, as a number: the nearest hundredth, halfway cases up.
double ShownTempo(float bpm);

// Two decimals, halfway cases rounded up on the float's exact value (78.125 -> "78.13").
std::string FormatTempo(float bpm);

}  // namespace tempo
