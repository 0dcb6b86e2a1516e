// Rounding helpers for the tempo code: floats stored into integers round to the
// nearest integer with ties to even, as the default FPU rounding mode does.
#pragma once

#include <cmath>
#include <cstdint>

namespace tempo {

// Rounds half to even and saturates, so that no value (not even a runaway gain)
// turns the conversion into undefined behaviour.
inline int32_t RoundToInt32(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  const double rounded = std::nearbyint(value);
  if (rounded <= -2147483648.0) {
    return INT32_MIN;
  }
  if (rounded >= 2147483647.0) {
    return INT32_MAX;
  }
  return static_cast<int32_t>(rounded);
}

}  // namespace tempo
