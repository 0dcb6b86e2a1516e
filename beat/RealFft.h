// A real-input FFT of one fixed size, over KissFFT: forward to the n/2+1 bins of the
// spectrum and back, without the 1/n scaling on the way back.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>

namespace beat {

class RealFft {
 public:
  // `size` must be even.
  explicit RealFft(size_t size);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  size_t size() const { return size_; }
  size_t bins() const { return size_ / 2 + 1; }
  // in: size() samples; out: bins() values.
  void Forward(const float* in, std::complex<float>* out);
  // in: bins() values; out: size() samples, scaled by size().
  void Inverse(const std::complex<float>* in, float* out);

 private:
  struct State;
  size_t size_;
  std::unique_ptr<State> state_;
};

}  // namespace beat
