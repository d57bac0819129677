#include "encoder/SbrQmf.h"

#include "encoder/SbrQmfWindow.h"

#include <cmath>
#include <complex>
#include <cstring>

namespace brannoc {

namespace {

constexpr double kPi = 3.14159265358979323846;
using Complex = std::complex<float>;

// Twiddles of the 64-point DCT-IV computed through a 32-point complex FFT.
struct Dct4Tables {
    Complex pre[32];   // exp(-i pi (n + 0.25) / 64)
    Complex post[32];  // exp(-i pi k / 64)
    Complex fft[16];   // exp(-2 pi i k / 32)
    int reversed[32];  // bit-reversed order of 5 bits
    Dct4Tables() {
        for (int n = 0; n < 32; ++n) {
            const double a = kPi * (n + 0.25) / 64.0;
            pre[n] = Complex(static_cast<float>(std::cos(a)), static_cast<float>(-std::sin(a)));
            const double b = kPi * n / 64.0;
            post[n] = Complex(static_cast<float>(std::cos(b)), static_cast<float>(-std::sin(b)));
            int r = 0;
            for (int b = 0; b < 5; ++b) r |= ((n >> b) & 1) << (4 - b);
            reversed[n] = r;
        }
        for (int k = 0; k < 16; ++k) {
            const double a = 2.0 * kPi * k / 32.0;
            fft[k] = Complex(static_cast<float>(std::cos(a)), static_cast<float>(-std::sin(a)));
        }
    }
};

const Dct4Tables& Tables() {
    static const Dct4Tables tables;
    return tables;
}

// out[k] = sum_n in[n] cos(pi / 64 (n + 0.5)(k + 0.5)), k, n = 0..63.
void Dct4(const float* in, float* out) {
    const Dct4Tables& t = Tables();
    Complex z[32];
    for (int n = 0; n < 32; ++n) z[t.reversed[n]] = Complex(in[2 * n], in[63 - 2 * n]) * t.pre[n];
    for (int size = 2; size <= 32; size *= 2) {
        const int half = size / 2, step = 32 / size;
        for (int start = 0; start < 32; start += size)
            for (int j = 0; j < half; ++j) {
                const Complex w = t.fft[j * step] * z[start + j + half];
                z[start + j + half] = z[start + j] - w;
                z[start + j] += w;
            }
    }
    for (int k = 0; k < 32; ++k) {
        const Complex y = z[k] * t.post[k];
        out[2 * k] = y.real();
        out[63 - 2 * k] = -y.imag();
    }
}

}  // namespace

bool SbrQmfInit(SbrQmfBank& bank, int frameLength) {
    if (frameLength < 64 || frameLength % 64 != 0) return false;
    bank.slots = frameLength / 64;
    std::memset(bank.line, 0, sizeof(bank.line));
    for (int j = 0; j < 128; ++j)
        for (int n = 0; n < SbrQmfBank::kTaps; ++n) bank.window[j][n] = kSbrQmfWindow[j + 128 * n];
    return true;
}

void SbrQmfAnalyse(SbrQmfBank& bank, const float* input, float* re, float* im) {
    float u[128], r[64], s[64], t[64];
    for (int slot = 0; slot < bank.slots; ++slot) {
        std::memmove(bank.line, bank.line + 64, sizeof(float) * (SbrQmfBank::kLine - 64));
        std::memcpy(bank.line + SbrQmfBank::kLine - 64, input + slot * 64, sizeof(float) * 64);
        // u[j] sums the samples of age j + 128 n, each weighed with the window coefficient of its age;
        // the window's sign blocks fold the modulation, which changes sign every 128 samples.
        for (int j = 0; j < 128; ++j) {
            float acc = 0.0f;
            for (int n = 0; n < SbrQmfBank::kTaps; ++n)
                acc += bank.line[SbrQmfBank::kLine - 1 - j - 128 * n] * bank.window[j][n];
            u[j] = acc;
        }
        // X[k] = sum_j u[j] exp(i pi / 128 (k + 0.5)(2 j + 1)): the cosine part is a DCT-IV of the
        // odd fold, the sine part a DCT-IV of the reversed even fold with alternating signs.
        for (int n = 0; n < 64; ++n) {
            r[n] = u[n] - u[127 - n];
            s[63 - n] = u[n] + u[127 - n];
        }
        Dct4(r, re + slot * 64);
        Dct4(s, t);
        for (int k = 0; k < 64; ++k) im[slot * 64 + k] = (k & 1) ? -t[k] : t[k];
    }
}

void SbrQmfEnergies(float* energies, const float* re, const float* im, int bands, int slots) {
    for (int i = 0; i < bands * slots; ++i) energies[i] = re[i] * re[i] + im[i] * im[i];
}

}  // namespace brannoc
