// The process-wide analysis state and the allocation of its gain curve.
#include "tempo/AnalysisState.h"

#include <algorithm>
#include <new>

namespace tempo {

bool AnalysisState::AllocateGainCurve() {
  if (curve_ == nullptr) {
    curve_.reset(new (std::nothrow) float[kCurveRows * kCurveColumns]);
    if (curve_ == nullptr) {
      return false;
    }
  }
  std::fill_n(curve_.get(), kCurveRows * kCurveColumns, 0.0f);
  return true;
}

AnalysisState& TheAnalysisState() {
  static AnalysisState state;
  return state;
}

}  // namespace tempo
