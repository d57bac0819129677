#include "encoder/RealFft1024.h"

#include <cmath>
#include <utility>

namespace brannoc {

RealFft1024::RealFft1024() {
    for (int i = 0; i < kSize / 2; ++i) {
        const double a = -2.0 * 3.14159265358979323846 * i / kSize;
        twiddle_[i] = std::complex<float>(static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)));
    }
    for (int i = 0; i < kSize; ++i) {
        int r = 0;
        for (int b = 0; b < 10; ++b) r |= ((i >> b) & 1) << (9 - b);
        reversed_[i] = r;
    }
}

void RealFft1024::Transform(std::complex<float>* a, bool inverse) const {
    for (int i = 0; i < kSize; ++i)
        if (i < reversed_[i]) std::swap(a[i], a[reversed_[i]]);
    for (int len = 2; len <= kSize; len <<= 1) {
        const int step = kSize / len;
        for (int i = 0; i < kSize; i += len)
            for (int k = 0; k < len / 2; ++k) {
                std::complex<float> w = twiddle_[k * step];
                if (inverse) w = std::conj(w);
                const std::complex<float> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
    }
}

void RealFft1024::Forward(const float* in, std::complex<float>* bins) const {
    std::complex<float> a[kSize];
    for (int i = 0; i < kSize; ++i) a[i] = in[i];
    Transform(a, false);
    for (int i = 0; i <= kSize / 2; ++i) bins[i] = a[i];
}

void RealFft1024::Inverse(const std::complex<float>* bins, float* out) const {
    std::complex<float> a[kSize];
    for (int i = 0; i <= kSize / 2; ++i) a[i] = bins[i];
    for (int i = kSize / 2 + 1; i < kSize; ++i) a[i] = std::conj(bins[kSize - i]);
    Transform(a, true);
    for (int i = 0; i < kSize; ++i) out[i] = a[i].real();
}

}  // namespace brannoc
