#include "encoder/AnalysisFilterbank.h"

#include <cmath>
#include <cstring>

namespace brannoc {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Ties the spectrum's scale to the quantizer's gain convention: a full-scale 16-bit input decodes
// back to full scale.
constexpr double kSpectrumScale = 0.223;

// The analysis window of the standard filterbank, first half, as the decoders' synthesis window
// holds it: D = 32 C in units of 2^-16 (exact: the standard's values are multiples of 2^-16). The
// second half mirrors it, D[512 - i] = -D[i], except at multiples of 64 where the sign stays.
constexpr int kWindowHalf[257] = {
    0,      -1,     -1,     -1,     -1,     -1,     -1,     -2,     -2,     -2,     -2,     -3,     -3,     -4,
    -4,     -5,     -5,     -6,     -7,     -7,     -8,     -9,     -10,    -11,    -13,    -14,    -16,    -17,
    -19,    -21,    -24,    -26,    -29,    -31,    -35,    -38,    -41,    -45,    -49,    -53,    -58,    -63,
    -68,    -73,    -79,    -85,    -91,    -97,    -104,   -111,   -117,   -125,   -132,   -139,   -147,   -154,
    -161,   -169,   -176,   -183,   -190,   -196,   -202,   -208,   213,    218,    222,    225,    227,    228,
    228,    227,    224,    221,    215,    208,    200,    189,    177,    163,    146,    127,    106,    83,
    57,     29,     -2,     -36,    -72,    -111,   -153,   -197,   -244,   -294,   -347,   -401,   -459,   -519,
    -581,   -645,   -711,   -779,   -848,   -919,   -991,   -1064,  -1137,  -1210,  -1283,  -1356,  -1428,  -1498,
    -1567,  -1634,  -1698,  -1759,  -1817,  -1870,  -1919,  -1962,  -2001,  -2032,  -2057,  -2075,  -2085,  -2087,
    -2080,  -2063,  2037,   2000,   1952,   1893,   1822,   1739,   1644,   1535,   1414,   1280,   1131,   970,
    794,    605,    402,    185,    -45,    -288,   -545,   -814,   -1095,  -1388,  -1692,  -2006,  -2330,  -2663,
    -3004,  -3351,  -3705,  -4063,  -4425,  -4788,  -5153,  -5517,  -5879,  -6237,  -6589,  -6935,  -7271,  -7597,
    -7910,  -8209,  -8491,  -8755,  -8998,  -9219,  -9416,  -9585,  -9727,  -9838,  -9916,  -9959,  -9966,  -9935,
    -9863,  -9750,  -9592,  -9389,  -9139,  -8840,  -8492,  -8092,  -7640,  -7134,  6574,   5959,   5288,   4561,
    3776,   2935,   2037,   1082,   70,     -998,   -2122,  -3300,  -4533,  -5818,  -7154,  -8540,  -9975,  -11455,
    -12980, -14548, -16155, -17799, -19478, -21189, -22929, -24694, -26482, -28289, -30112, -31947, -33791, -35640,
    -37489, -39336, -41176, -43006, -44821, -46617, -48390, -50137, -51853, -53534, -55178, -56778, -58333, -59838,
    -61289, -62684, -64019, -65290, -66494, -67629, -68692, -69679, -70590, -71420, -72169, -72835, -73415, -73908,
    -74313, -74630, -74856, -74992, 75038,
};

// The filterbank's tables: the standard window C (its prototype lowpass carries the sign of every
// odd 64-sample segment), the matrixing, and the MDCT windows and kernels.
struct Tables {
    float window[512];     // C, scaled so that the prototype's DC gain is 1
    float matrix[32][32];  // cos((2i + 1) n pi / 64): the 64-point matrixing folded by its symmetries
    float longWindow[4][36];
    float longCos[18][36];
    float shortCos[6][12];
    float shortWindow[12];
    float cs[8], ca[8];

    Tables() {
        double win[512];
        for (int i = 0; i < 257; ++i) win[i] = kWindowHalf[i] / (65536.0 * 32.0);
        for (int i = 1; i < 256; ++i) win[512 - i] = (i % 64 == 0) ? win[i] : -win[i];
        // The prototype (C with the segment signs undone) sums to 2; the spectrum's scale below
        // assumes a DC gain of 1.
        double sum = 0;
        for (int n = 0; n < 512; ++n) sum += win[n] * (((n / 64) & 1) ? -1.0 : 1.0);
        for (int n = 0; n < 512; ++n) window[n] = static_cast<float>(win[n] / sum);
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
