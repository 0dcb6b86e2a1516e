// The state one track analysis shares with its gain stage: the analysis active flag
// and the gain curve with its size and slope. One process-wide instance is reachable
// through TheAnalysisState(); analyses that run at once, and tests, make their own.
#pragma once

#include <cstdint>
#include <memory>

namespace tempo {

class AnalysisState {
 public:
  static constexpr int32_t kCurveRows = 201;
  static constexpr int32_t kCurveColumns = 2;

  AnalysisState() = default;
  AnalysisState(const AnalysisState&) = delete;
  AnalysisState& operator=(const AnalysisState&) = delete;

  // Allocates the zero-filled curve (201 rows of threshold and gain). Returns false
  // when memory is short; an existing curve is cleared.
  bool AllocateGainCurve();
  bool HasGainCurve() const { return curve_ != nullptr; }

  // Column 0 of a row: the level threshold in 16-bit sample units.
  float Threshold(int32_t row) const { return curve_[row * kCurveColumns]; }
  // Column 1 of a row: the gain of that row.
  float Gain(int32_t row) const { return curve_[row * kCurveColumns + 1]; }
  void SetThreshold(int32_t row, float value) { curve_[row * kCurveColumns] = value; }
  void SetGain(int32_t row, float value) { curve_[row * kCurveColumns + 1] = value; }

  int32_t CurveSize() const { return curveSize_; }
  float CurveSlope() const { return curveSlope_; }

  // 1 while a track analysis runs; the gain stage leaves audio alone otherwise.
  int32_t ActiveFlag() const { return activeFlag_; }
  void SetActiveFlag(int32_t flag) { activeFlag_ = flag; }

 private:
  // Only the curve builder sets size and slope, after checking the size fits the table.
  friend int32_t BuildGainCurve(AnalysisState& state, int32_t size, float slope, int32_t peakRow);

  std::unique_ptr<float[]> curve_;
  int32_t curveSize_ = 0;
  float curveSlope_ = 0.0f;
  int32_t activeFlag_ = 0;
};

// The single instance the program uses: the start-up code builds its curve, the track
// analysis sets its flag and the gain stage reads both from inside the engine.
AnalysisState& TheAnalysisState();

}  // namespace tempo
