// The adaptive gain stage of the retry pass: a sample callback that rewrites decoded
// 16-bit samples in place through the gain curve, and the curve it reads.
#pragma once

#include <cstdint>

#include "tempo/AnalysisState.h"

namespace tempo {

// Fills rows 1 to size + 1 of the state's curve: thresholds 32767 / k falling with the
// row, gains rising by 1.3 x slope a row up to the peak row and falling after it.
// Stores size and slope. Returns 1, or 0 (curve untouched) when the state has no
// curve or the size would reach past its 201 rows.
int32_t BuildGainCurve(AnalysisState& state, int32_t size, float slope, int32_t peakRow);

// Start-up: allocates the zero-filled curve of a state and builds it with (100, 0.05, 90).
// Returns 1, or 0 when the curve could not be allocated.
int32_t InitGainCurve(AnalysisState& state);
// The same for the program's process-wide state.
int32_t InitGainCurve();

// Processes one block of interleaved signed 16-bit little-endian samples in place.
// A trailing odd byte is left alone; nothing happens unless the active flag is 1.
void RunGainStage(AnalysisState& state, void* buffer, uint32_t lengthBytes);

// The engine's DSP callback; handle and channel carry nothing the stage needs. It works
// on the AnalysisState that `user` points to, or on TheAnalysisState() when user is 0.
void GainStage(uint32_t handle, uint32_t channel, void* buffer, uint32_t lengthBytes, void* user);

}  // namespace tempo
