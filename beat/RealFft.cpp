// KissFFT's real transform behind RealFft; its complex type stays in this file.
#include "beat/RealFft.h"

#include <kiss_fftr.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

namespace beat {

struct RealFft::State {
  kiss_fftr_cfg forward = nullptr;
  kiss_fftr_cfg inverse = nullptr;
  std::vector<kiss_fft_cpx> bins;
  ~State() {
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
  }
};

RealFft::RealFft(size_t size) : size_(size), state_(std::make_unique<State>()) {
  if (size < 2 || size % 2 != 0) throw std::invalid_argument("RealFft: size must be even");
  state_->forward = kiss_fftr_alloc(static_cast<int>(size), 0, nullptr, nullptr);
  state_->inverse = kiss_fftr_alloc(static_cast<int>(size), 1, nullptr, nullptr);
  if (state_->forward == nullptr || state_->inverse == nullptr) throw std::bad_alloc();
  state_->bins.resize(bins());
}

RealFft::~RealFft() = default;

void RealFft::Forward(const float* in, std::complex<float>* out) {
  kiss_fftr(state_->forward, in, state_->bins.data());
  for (size_t k = 0; k < state_->bins.size(); ++k) out[k] = {state_->bins[k].r, state_->bins[k].i};
}

void RealFft::Inverse(const std::complex<float>* in, float* out) {
  for (size_t k = 0; k < state_->bins.size(); ++k) state_->bins[k] = {in[k].real(), in[k].imag()};
  kiss_fftri(state_->inverse, state_->bins.data(), out);
}

}  // namespace beat
