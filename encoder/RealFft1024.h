#pragma once
#include <complex>

namespace brannoc {

// A 1024-point transform pair for real blocks: Forward gives bins 0..512 (the rest follow by
// symmetry), Inverse takes them back, unnormalised (a round trip scales by 1024).
class RealFft1024 {
public:
    static constexpr int kSize = 1024;
    RealFft1024();
    void Forward(const float* in, std::complex<float>* bins) const;   // 513 bins
    void Inverse(const std::complex<float>* bins, float* out) const;  // from 513 bins

private:
    void Transform(std::complex<float>* a, bool inverse) const;
    std::complex<float> twiddle_[kSize / 2];
    int reversed_[kSize];
};

}  // namespace brannoc
