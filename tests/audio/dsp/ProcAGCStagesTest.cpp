// Each stage of the broadcast processor switched on alone: it changes what it is for by the amount
// its settings say, and leaves the rest of the signal as it was.
#include "audio/dsp/ProcAGC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace kelvar {
namespace {

constexpr int kRate = 44100;
constexpr size_t kLookahead = 88;  // the processor's fixed 2 ms delay at 44100 Hz

// A block with every stage off and the drives and gains at 0 dB; a test switches on its stage.
struct Bare {
    TAGCParams* P = nullptr;
    Bare() {
        API_AGC_Init(&P);
        P->GatedAGC = P->StereoExpander = P->BassEQ = P->PreEmphasis = P->MultiBand = P->DualBand = P->Clipper = 0;
        P->MultiBandDrive = P->DualBandDrive = 0;
        P->Link01 = P->Link23 = P->Link34 = 0;
        API_AGC_Apply(P, AGCApply::All);
    }
    ~Bare() { API_AGC_Quit(&P); }
    Bare(const Bare&) = delete;
    Bare& operator=(const Bare&) = delete;

    // Stereo float frames (full scale 1.0) through the processor as 16-bit audio; the output is
    // realigned by the look-ahead.
    std::vector<float> Run(const std::vector<float>& in) {
        std::vector<int16_t> pcm(in.size() + 2 * kLookahead, 0);
        for (size_t i = 0; i < in.size(); ++i)
            pcm[i] = static_cast<int16_t>(std::lround(std::clamp(in[i], -1.0f, 1.0f) * 32767.0f));
        for (size_t pos = 0; pos < pcm.size() / 2; pos += 1024) {
            const int32_t n = static_cast<int32_t>(std::min<size_t>(1024, pcm.size() / 2 - pos));
            EXPECT_EQ(API_AGC_Process(P, pcm.data() + 2 * pos, n, 16, 2, kRate), n);
        }
        std::vector<float> out(in.size());
        for (size_t i = 0; i < out.size(); ++i) out[i] = pcm[i + 2 * kLookahead] / 32767.0f;
        return out;
    }
};

struct Part {
    double hz, left, right;  // amplitudes, full scale 1.0
};

// Sums of sines, `seconds` long; parts with equal left and right are centred.
std::vector<float> Tones(std::initializer_list<Part> parts, double seconds) {
    const size_t frames = static_cast<size_t>(kRate * seconds);
    std::vector<float> v(2 * frames, 0.0f);
    for (const Part& p : parts)
        for (size_t i = 0; i < frames; ++i) {
            const double s = std::sin(2 * M_PI * p.hz * static_cast<double>(i) / kRate);
            v[2 * i] += static_cast<float>(p.left * s);
            v[2 * i + 1] += static_cast<float>(p.right * s);
        }
    return v;
}

// Level in dB (0 dB = amplitude 1) of the sine at hz in one channel over [from, from + count)
// seconds, or of mid (L + R) / 2 and side (L - R) / 2 with channel 2 and 3.
double ToneDb(const std::vector<float>& v, int channel, double hz, double from, double count) {
    const size_t a = static_cast<size_t>(from * kRate), n = static_cast<size_t>(count * kRate);
    std::complex<double> acc = 0;
    for (size_t i = a; i < a + n; ++i) {
        const double l = v[2 * i], r = v[2 * i + 1];
        const double x = channel == 0 ? l : channel == 1 ? r : channel == 2 ? (l + r) / 2 : (l - r) / 2;
        acc += x * std::polar(1.0, -2 * M_PI * hz * static_cast<double>(i) / kRate);
    }
    return 20 * std::log10(2 * std::abs(acc) / static_cast<double>(n) + 1e-12);
}

double Db(double amplitude) { return 20 * std::log10(amplitude); }

TEST(ProcAGCStages, StereoExpanderRaisesTheSideByDepthTimesLevelAndKeepsTheMid) {
    struct Row {
        int depth;
        float level;
        double sideGain;  // 1 + depth / 20 x level / 100
    };
    for (const Row& r : {Row{6, 50.0f, 1.15}, Row{20, 100.0f, 2.0}, Row{10, 0.0f, 1.0}}) {
        SCOPED_TRACE(r.depth);
        Bare b;
        b.P->StereoExpander = 1;
        b.P->StereoExpanderDepth = r.depth;
        b.P->StereoExpanderLevel = r.level;
        b.P->StereoExpanderThreshold = -30.0f;
        API_AGC_Apply(b.P, AGCApply::StereoExpander);
        // A centred 440 Hz tone and a 1 kHz tone mostly on the left: the side holds only the latter.
        const auto in = Tones({{440, 0.2, 0.2}, {1000, 0.2, 0.05}}, 1.5);
        const auto out = b.Run(in);
        EXPECT_NEAR(ToneDb(out, 3, 1000, 0.5, 1.0) - ToneDb(in, 3, 1000, 0.5, 1.0), Db(r.sideGain), 0.1);
        EXPECT_NEAR(ToneDb(out, 2, 1000, 0.5, 1.0), ToneDb(in, 2, 1000, 0.5, 1.0), 0.05);
        EXPECT_NEAR(ToneDb(out, 0, 440, 0.5, 1.0), ToneDb(in, 0, 440, 0.5, 1.0), 0.05);
        EXPECT_LT(ToneDb(out, 3, 440, 0.5, 1.0), -70.0) << "a centred tone stays centred";
    }
    // Near-mono material under the threshold is left alone.
    Bare b;
    b.P->StereoExpander = 1;
    b.P->StereoExpanderDepth = 20;
    b.P->StereoExpanderLevel = 100.0f;
    b.P->StereoExpanderThreshold = -10.0f;
    API_AGC_Apply(b.P, AGCApply::StereoExpander);
    const auto in = Tones({{440, 0.3, 0.3}, {1000, 0.02, 0.01}}, 1.5);
    EXPECT_NEAR(ToneDb(b.Run(in), 3, 1000, 0.5, 1.0), ToneDb(in, 3, 1000, 0.5, 1.0), 0.1);
}

TEST(ProcAGCStages, BassEqualiserLiftsOrCutsItsBandByItsGain) {
    struct Row {
        int type, gain;
        double hz;  // where the full gain applies
    };
    for (const Row& r : {Row{0, 6, 20}, Row{0, 12, 20}, Row{0, -6, 20}, Row{1, 6, 80}, Row{1, -9, 80}}) {
        SCOPED_TRACE(std::to_string(r.type) + " " + std::to_string(r.gain));
        Bare b;
        b.P->BassEQ = 1;
        b.P->BassEqType = r.type;
        b.P->BassEQFreq = 80;
        b.P->BassEQGain = r.gain;
        API_AGC_Apply(b.P, AGCApply::BassEQ);
        const auto in = Tones({{r.hz, 0.1, 0.1}, {3000, 0.1, 0.1}}, 1.5);
        const auto out = b.Run(in);
        EXPECT_NEAR(ToneDb(out, 0, r.hz, 0.5, 1.0) - ToneDb(in, 0, r.hz, 0.5, 1.0), r.gain, 0.5);
        EXPECT_NEAR(ToneDb(out, 1, 3000, 0.5, 1.0), ToneDb(in, 1, 3000, 0.5, 1.0), 0.1) << "the mids stay";
    }
}

TEST(ProcAGCStages, PreEmphasisTiltsTheTopByItsTimeConstant) {
    // The first-order lift of the time constant, 10 log10(1 + (2 pi f tau)^2).
    const auto lift = [](double tau, double hz) { return 10 * std::log10(1 + std::pow(2 * M_PI * hz * tau, 2)); };
    double top[2];
    for (int type : {0, 1}) {
        SCOPED_TRACE(type);
        const double tau = type == 1 ? 75e-6 : 50e-6;
        Bare b;
        b.P->PreEmphasis = 1;
        b.P->PreEmpType = type;
        API_AGC_Apply(b.P, AGCApply::All);
        const auto in = Tones({{100, 0.05, 0.05}, {1000, 0.05, 0.05}, {5000, 0.05, 0.05}, {10000, 0.05, 0.05}}, 1.5);
        const auto out = b.Run(in);
        const auto gain = [&](double hz) { return ToneDb(out, 0, hz, 0.5, 1.0) - ToneDb(in, 0, hz, 0.5, 1.0); };
        EXPECT_NEAR(gain(100), 0.0, 0.05);
        for (double hz : {1000.0, 5000.0}) EXPECT_NEAR(gain(hz), lift(tau, hz), 0.3) << hz;
        // Higher up the digital filter rises somewhat faster than the analogue curve.
        top[type] = gain(10000);
        EXPECT_GT(top[type], lift(tau, 10000) - 0.3);
        EXPECT_LT(top[type], lift(tau, 10000) + 2.0);
    }
    EXPECT_NEAR(top[1] - top[0], lift(75e-6, 10000) - lift(50e-6, 10000), 0.5) << "75 us tilts more than 50 us";
}

// A tone in the band under test steps from quiet to loud while a quiet tone plays steadily in a
// band further away: the loud part comes down, the quiet part and the other band stay.
TEST(ProcAGCStages, EachBandCompressorNarrowsItsOwnBandsRange) {
    struct Row {
        bool five;
        int band;
        double hz, otherHz;
    };
    const Row rows[] = {{true, 0, 60, 800},    {true, 1, 200, 3000}, {true, 2, 800, 60},  {true, 3, 3000, 200},
                        {true, 4, 10000, 200}, {false, 0, 80, 3000}, {false, 1, 3000, 80}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.five ? "five-band " : "dual-band ") + std::to_string(r.band));
        Bare b;
        if (r.five) {
            b.P->MultiBand = 1;
        } else {
            b.P->DualBand = 1;
        }
        API_AGC_Apply(b.P, AGCApply::All);
        // Quiet first, then loud (the slow detectors would take many seconds to release).
        const double loud = 0.5, quiet = 0.02;
        std::vector<float> in = Tones({{r.hz, loud, loud}}, 4.0);
        for (size_t i = 0; i < static_cast<size_t>(2 * 2.0 * kRate); ++i) in[i] *= static_cast<float>(quiet / loud);
        const std::vector<float> other = Tones({{r.otherHz, 0.01, 0.01}}, 4.0);
        for (size_t i = 0; i < in.size(); ++i) in[i] += other[i];
        const auto out = b.Run(in);

        const double quietOut = ToneDb(out, 0, r.hz, 1.0, 1.0), loudOut = ToneDb(out, 0, r.hz, 3.0, 1.0);
        EXPECT_LT(loudOut - quietOut, Db(loud / quiet) - 6.0) << "the band's range shrinks";
        EXPECT_LT(loudOut, Db(loud) - 3.0);
        EXPECT_NEAR(quietOut, Db(quiet), 0.5) << "under the thresholds nothing changes";
        for (double at : {1.0, 3.0})
            EXPECT_NEAR(ToneDb(out, 1, r.otherHz, at, 1.0), Db(0.01), 0.3) << "the other band at " << at << " s";
    }
}

}  // namespace
}  // namespace kelvar
