#include "encoder/SbrQmf.h"

#include <cmath>
#include <cstring>

namespace brannoc {

namespace {

constexpr double kPi = 3.14159265358979323846;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-20 * sum) break;
    }
    return sum;
}

// Symmetric lowpass prototype with its passband edge at half a band (pi / 128), Kaiser-windowed so
// that a band's neighbours two bands away are far down; scaled to unit gain at DC.
std::vector<double> MakeWindow() {
    constexpr int kLength = 640;
    constexpr double kBeta = 9.0;
    std::vector<double> c(kLength + 1, 0.0);
    const double i0 = BesselI0(kBeta);
    double sum = 0.0;
    for (int m = 1; m < kLength; ++m) {
        const double t = m - kLength / 2.0;
        const double sinc = t == 0.0 ? 1.0 / 128.0 : std::sin(kPi * t / 128.0) / (kPi * t);
        const double r = t / (kLength / 2.0);
        const double w = BesselI0(kBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) / i0;
        c[static_cast<size_t>(m)] = sinc * w;
        sum += c[static_cast<size_t>(m)];
    }
    for (int m = 1; m < kLength; ++m) {
        // The modulation changes sign every 128 samples; fold that into the window.
        const double sign = ((m - 1) / 128) % 2 == 0 ? 1.0 : -1.0;
        c[static_cast<size_t>(m)] *= sign / sum;
    }
    return c;
}

// Complex modulation exp(i pi / 128 (k + 0.5)(2n - 0.25)) over the 128 folded samples.
struct Modulation {
    float cosTable[64][128];
    float sinTable[64][128];
    Modulation() {
        for (int k = 0; k < 64; ++k)
            for (int n = 0; n < 128; ++n) {
                const double a = kPi / 128.0 * (k + 0.5) * (2.0 * n - 0.25);
                cosTable[k][n] = static_cast<float>(std::cos(a));
                sinTable[k][n] = static_cast<float>(std::sin(a));
            }
    }
};

const Modulation& Mod() {
    static const Modulation tables;
    return tables;
}

}  // namespace

const std::vector<double>& SbrQmfWindow() {
    static const std::vector<double> window = MakeWindow();
    return window;
}

bool SbrQmfInit(SbrQmfBank& bank, int frameLength) {
    if (frameLength < 64 || frameLength % 64 != 0) return false;
    bank.slots = frameLength / 64;
    std::memset(bank.line, 0, sizeof(bank.line));
    const std::vector<double>& c = SbrQmfWindow();
    for (int k = 0; k < 128; ++k)
        for (int n = 0; n < SbrQmfBank::kTaps; ++n)
            bank.window[k][n] = static_cast<float>(c[static_cast<size_t>(k + 1 + 128 * n)]);
    return true;
}

void SbrQmfAnalyse(SbrQmfBank& bank, const float* input, float* re, float* im) {
    const Modulation& mod = Mod();
    float u[128];
    for (int slot = 0; slot < bank.slots; ++slot) {
        std::memmove(bank.line, bank.line + 64, sizeof(float) * (SbrQmfBank::kLine - 64));
        std::memcpy(bank.line + SbrQmfBank::kLine - 64, input + slot * 64, sizeof(float) * 64);
        // Fold newest-first: sample age m = 639 - line index weighs with c[m]; the window's
        // symmetry makes that c[k + 1 + 128 n] for line[k + 128 n], with k = 127 - folded index.
        for (int k = 0; k < 128; ++k) {
            float acc = 0.0f;
            for (int n = 0; n < SbrQmfBank::kTaps; ++n) acc += bank.line[k + 128 * n] * bank.window[k][n];
            u[127 - k] = acc;
        }
        for (int k = 0; k < 64; ++k) {
            float accRe = 0.0f, accIm = 0.0f;
            const float* c = mod.cosTable[k];
            const float* s = mod.sinTable[k];
            for (int n = 0; n < 128; ++n) {
                accRe += u[n] * c[n];
                accIm += u[n] * s[n];
            }
            re[slot * 64 + k] = 2.0f * accRe;
            im[slot * 64 + k] = 2.0f * accIm;
        }
    }
}

void SbrQmfEnergies(float* energies, const float* re, const float* im, int bands, int slots) {
    for (int i = 0; i < bands * slots; ++i) energies[i] = re[i] * re[i] + im[i] * im[i];
}

}  // namespace brannoc
