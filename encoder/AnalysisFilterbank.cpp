#include "encoder/AnalysisFilterbank.h"

#include <cmath>
#include <cstring>

namespace brannoc {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Ties the spectrum's scale to the quantizer's gain convention: a full-scale 16-bit input decodes
// back to full scale.
constexpr double kSpectrumScale = 0.223;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double half = x / 2.0;
    for (int k = 1; k < 200; ++k) {
        term *= (half / k) * (half / k);
        sum += term;
        if (term < sum * 1e-21) break;
    }
    return sum;
}

// The prototype lowpass of the 32-band cosine-modulated filterbank: a Kaiser-windowed sinc of 511
// taps centred on delay 256, its cutoff chosen so that neighbouring bands are power complementary.
struct Tables {
    float window[512];     // prototype with the sign of every odd 64-sample segment turned
    float matrix[32][32];  // cos((2i + 1) n pi / 64): the 64-point matrixing folded by its symmetries
    float longWindow[4][36];
    float longCos[18][36];
    float shortCos[6][12];
    float shortWindow[12];
    float cs[8], ca[8];

    Tables() {
        double h[512];
        const double beta = 11.0;  // the shape that best matches the decoders' synthesis window (measured)
        auto design = [&](double cutoff) {
            double sum = 0;
            for (int n = 0; n < 512; ++n) {
                if (n == 0) {
                    h[n] = 0;
                    continue;
                }
                const double m = n - 256.0;
                const double r = m / 256.0;
                const double w = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(beta);
                const double s = m == 0 ? 2.0 * cutoff : std::sin(2.0 * kPi * cutoff * m) / (kPi * m);
                h[n] = w * s;
                sum += h[n];
            }
            for (double& v : h) v /= sum;
        };
        auto response = [&](double f) {
            double acc = 0;
            for (int n = 1; n < 512; ++n) acc += h[n] * std::cos(2.0 * kPi * f * (n - 256.0));
            return acc;
        };
        // Bisection on the cutoff (cycles per sample) for |H(1/128)|^2 = 1/2.
        double lo = 1.0 / 256, hi = 1.0 / 64;
        for (int it = 0; it < 40; ++it) {
            const double mid = 0.5 * (lo + hi);
            design(mid);
            const double g = response(1.0 / 128.0);
            if (g * g > 0.5)
                hi = mid;
            else
                lo = mid;
        }
        design(0.5 * (lo + hi));
        for (int n = 0; n < 512; ++n) window[n] = static_cast<float>(h[n] * (((n / 64) & 1) ? -1.0 : 1.0));
        for (int i = 0; i < 32; ++i)
            for (int n = 0; n < 32; ++n) matrix[i][n] = static_cast<float>(std::cos((2 * i + 1) * n * kPi / 64.0));

        for (int i = 0; i < 36; ++i) {
            const double normal = std::sin(kPi / 36.0 * (i + 0.5));
            longWindow[0][i] = static_cast<float>(normal);
            double start, stop;
            if (i < 18)
                start = normal;
            else if (i < 24)
                start = 1.0;
            else if (i < 30)
                start = std::sin(kPi / 12.0 * (i - 18 + 0.5));
            else
                start = 0.0;
            if (i < 6)
                stop = 0.0;
            else if (i < 12)
                stop = std::sin(kPi / 12.0 * (i - 6 + 0.5));
            else if (i < 18)
                stop = 1.0;
            else
                stop = normal;
            longWindow[1][i] = static_cast<float>(start);
            longWindow[3][i] = static_cast<float>(stop);
            longWindow[2][i] = 0.0f;
        }
        for (int k = 0; k < 18; ++k)
            for (int n = 0; n < 36; ++n)
                longCos[k][n] =
                    static_cast<float>(kSpectrumScale * std::cos(kPi / 72.0 * (2 * n + 1 + 18) * (2 * k + 1)));
        for (int k = 0; k < 6; ++k)
            for (int n = 0; n < 12; ++n)
                shortCos[k][n] =
                    static_cast<float>(3.0 * kSpectrumScale * std::cos(kPi / 24.0 * (2 * n + 1 + 6) * (2 * k + 1)));
        for (int n = 0; n < 12; ++n) shortWindow[n] = static_cast<float>(std::sin(kPi / 12.0 * (n + 0.5)));
        const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
        for (int i = 0; i < 8; ++i) {
            const double d = std::sqrt(1.0 + c[i] * c[i]);
            cs[i] = static_cast<float>(1.0 / d);
            ca[i] = static_cast<float>(c[i] / d);
        }
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}
}  // namespace

AnalysisFilterbank::AnalysisFilterbank() {
    T();
    Reset();
}

void AnalysisFilterbank::Reset() {
    std::memset(history_, 0, sizeof(history_));
    std::memset(subband_, 0, sizeof(subband_));
}

void AnalysisFilterbank::FilterGranule(const float* pcm, int stride) {
    const Tables& t = T();
    for (int sb = 0; sb < 32; ++sb) std::memcpy(subband_[sb], subband_[sb] + 18, 18 * sizeof(float));
    // The last 512 samples of the previous granule stay in front of the 576 new ones.
    std::memmove(history_, history_ + 576, 512 * sizeof(float));
    for (int i = 0; i < 576; ++i) history_[512 + i] = pcm[i * stride];
    for (int slot = 0; slot < 18; ++slot) {
        // Newest sample of this slot: index 512 + 32 * slot + 31; X[n] is the sample n steps older.
        const float* newest = history_ + 512 + 32 * slot + 31;
        float y[64];
        for (int k = 0; k < 64; ++k) {
            float acc = 0;
            for (int j = 0; j < 8; ++j) {
                const int n = k + 64 * j;
                acc += t.window[n] * newest[-n];
            }
            y[k] = acc;
        }
        // cos((2i + 1)(k - 16) pi / 64) is even around k = 16, changes sign around k = 48 and is 0 there.
        float c[32];
        c[0] = y[16];
        for (int n = 1; n <= 16; ++n) c[n] = y[16 + n] + y[16 - n];
        for (int n = 17; n < 32; ++n) c[n] = y[16 + n] - y[80 - n];
        for (int i = 0; i < 32; ++i) {
            float acc = 0;
            const float* m = t.matrix[i];
            for (int n = 0; n < 32; ++n) acc += m[n] * c[n];
            subband_[i][18 + slot] = ((slot & 1) && (i & 1)) ? -acc : acc;
        }
    }
}

void AnalysisFilterbank::Transform(int blockType, const int* shortEdges, float* lines) const {
    const Tables& t = T();
    if (blockType != 2) {
        const float* w = t.longWindow[blockType];
        for (int sb = 0; sb < 32; ++sb) {
            float z[36];
            for (int n = 0; n < 36; ++n) z[n] = w[n] * subband_[sb][n];
            for (int k = 0; k < 18; ++k) {
                float acc = 0;
                const float* c = t.longCos[k];
                for (int n = 0; n < 36; ++n) acc += c[n] * z[n];
                lines[sb * 18 + k] = acc;
            }
        }
        for (int sb = 1; sb < 32; ++sb) {
            for (int i = 0; i < 8; ++i) {
                float& lower = lines[sb * 18 - 1 - i];
                float& upper = lines[sb * 18 + i];
                const float l = lower, u = upper;
                lower = t.cs[i] * l + t.ca[i] * u;
                upper = t.cs[i] * u - t.ca[i] * l;
            }
        }
        return;
    }
    float windows[3][192];
    for (int sb = 0; sb < 32; ++sb) {
        for (int w = 0; w < 3; ++w) {
            float z[12];
            for (int n = 0; n < 12; ++n) z[n] = t.shortWindow[n] * subband_[sb][6 + 6 * w + n];
            for (int k = 0; k < 6; ++k) {
                float acc = 0;
                for (int n = 0; n < 12; ++n) acc += t.shortCos[k][n] * z[n];
                windows[w][sb * 6 + k] = acc;
            }
        }
    }
    int out = 0;
    for (int b = 0; b < 13; ++b)
        for (int w = 0; w < 3; ++w)
            for (int i = shortEdges[b]; i < shortEdges[b + 1]; ++i) lines[out++] = windows[w][i];
}

}  // namespace brannoc
