// The broadcast processor. Signal path, in control steps of 32 frames, as floats at full
// scale 1.0 (a fixed 2 ms look-ahead delay is always in the path, so switching the clipper
// never moves the audio in time):
//  1. Gated AGC: a feed-forward gain rider on K-weighted loudness of the input. A 3 s
//     (short-term) detector sets where the gain should go, a 400 ms (momentary) detector gates
//     it: below the gate level the gain is frozen, so pauses and fades are not pulled up. The
//     gain moves only outside a 1 dB window, at most 2 dB/s up and 6 dB/s down, from -20 dB to
//     the maximum gain: slow enough to ride songs, not beats.
//  2. Stereo expander: side signal raised by up to 6 dB (depth x level), faded in over 6 dB
//     above the threshold so near-mono material and noise are left alone.
//  3. Bass EQ: low shelf or peak (RBJ biquad).
//  4. Five-band and 5. dual-band compressors: Linkwitz-Riley crossovers (4th order, with
//     all-pass phase matching so the bands sum flat), per band a drive and three processors in
//     series, each a soft-knee feed-forward compressor on a 5 ms RMS detector with attack,
//     hold and release, plus an optional slow detector (Attack2/Release2) that the fast one
//     never releases below: transients recover fast, sustained compression slowly, so the
//     bands don't pump. Five-band gain reductions are linked between neighbours by the links.
//  6. Pre-emphasis (50 or 75 us, shelved near the top of the band), ahead of the clipper so
//     the clipper controls the emphasised peaks.
//  7. Clipper: a look-ahead peak limiter (2 ms minimum filter and matching ramp, 60 ms
//     release) holds peaks 0.5 dB under the ceiling; a soft clipper rounds what is left above
//     90% of it; a hard clamp at the ceiling is the guarantee.
//  8. Output level.
// Every setting is sanitised when taken over (not a number, zero ratios, absurd times), and a
// step that still comes out non-finite resets the filters and is muted.
#include "audio/dsp/ProcAGC.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace kelvar {

namespace {

constexpr int MaxChannels = 8;
constexpr int Step = 32;
constexpr int MinRate = 4000;
constexpr int MaxRate = 384000;
constexpr uint32_t BlockMagic = 0x4B414743u;
constexpr double AGCTarget = -18.0;
constexpr double AGCMaxCut = 20.0;
constexpr double AGCWindow = 1.0;
constexpr double AGCRate = 0.3;
constexpr double AGCMaxUp = 2.0;
constexpr double AGCMaxDown = 6.0;
constexpr double LookaheadMs = 2.0;
constexpr int MaxLookahead = MaxRate * 2 / 1000 + 1;
constexpr double LimiterMarginDb = -0.5;
constexpr double SoftKnee = 0.9;
constexpr float CompKneeDb = 6.0f;

const double MultiBandSplits[AGCMultiBands - 1] = {100.0, 400.0, 1600.0, 6000.0};
constexpr double DualBandSplit = 200.0;

double Sanitize(double v, double lo, double hi, double fallback) {
    if (!std::isfinite(v)) {
        if (std::isnan(v)) return fallback;
        return v > 0 ? hi : lo;
    }
    return std::clamp(v, lo, hi);
}

bool IsOn(int32_t v) { return v == 1; }

// Time constant in ms as a one-pole coefficient; 0 ms follows at once.
float Coef(double ms, double rate) {
    if (!(ms > 0.0)) return 1.0f;
    return static_cast<float>(1.0 - std::exp(-1000.0 / (ms * rate)));
}

double DbToLin(double db) { return std::pow(10.0, db / 20.0); }

struct TBiquadCoef {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

struct TBiquad {
    double z1 = 0, z2 = 0;
    inline float Run(const TBiquadCoef& c, float xf) {
        const double x = xf;
        const double y = c.b0 * x + z1;
        z1 = c.b1 * x - c.a1 * y + z2;
        z2 = c.b2 * x - c.a2 * y;
        return static_cast<float>(y);
    }
    void Reset() { z1 = z2 = 0; }
};

TBiquadCoef Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
    TBiquadCoef c;
    c.b0 = b0 / a0;
    c.b1 = b1 / a0;
    c.b2 = b2 / a0;
    c.a1 = a1 / a0;
    c.a2 = a2 / a0;
    return c;
}

double SafeFreq(double f, double rate) { return std::clamp(f, 10.0, 0.45 * rate); }

TBiquadCoef LowPass(double f, double q, double rate) {
    const double w = 2 * M_PI * SafeFreq(f, rate) / rate, cs = std::cos(w), al = std::sin(w) / (2 * q);
    return Normalise((1 - cs) / 2, 1 - cs, (1 - cs) / 2, 1 + al, -2 * cs, 1 - al);
}

TBiquadCoef HighPass(double f, double q, double rate) {
    const double w = 2 * M_PI * SafeFreq(f, rate) / rate, cs = std::cos(w), al = std::sin(w) / (2 * q);
    return Normalise((1 + cs) / 2, -(1 + cs), (1 + cs) / 2, 1 + al, -2 * cs, 1 - al);
}

TBiquadCoef AllPass(double f, double q, double rate) {
    const double w = 2 * M_PI * SafeFreq(f, rate) / rate, cs = std::cos(w), al = std::sin(w) / (2 * q);
    return Normalise(1 - al, -2 * cs, 1 + al, 1 + al, -2 * cs, 1 - al);
}

TBiquadCoef LowShelf(double f, double gainDb, double rate) {
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w = 2 * M_PI * SafeFreq(f, rate) / rate, cs = std::cos(w);
    const double al = std::sin(w) / 2 * std::sqrt(2.0);  // shelf slope 1
    const double sa = 2 * std::sqrt(A) * al;
    return Normalise(A * ((A + 1) - (A - 1) * cs + sa), 2 * A * ((A - 1) - (A + 1) * cs),
                     A * ((A + 1) - (A - 1) * cs - sa), (A + 1) + (A - 1) * cs + sa, -2 * ((A - 1) + (A + 1) * cs),
                     (A + 1) + (A - 1) * cs - sa);
}

TBiquadCoef Peak(double f, double gainDb, double q, double rate) {
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w = 2 * M_PI * SafeFreq(f, rate) / rate, cs = std::cos(w), al = std::sin(w) / (2 * q);
    return Normalise(1 + al * A, -2 * cs, 1 - al * A, 1 + al / A, -2 * cs, 1 - al / A);
}

// The two stages of the loudness weighting, derived for any sample rate.
TBiquadCoef KShelf(double rate) {
    const double f0 = 1681.974450955533, G = 3.999843853973347, Q = 0.7071752369554196;
    const double K = std::tan(M_PI * std::min(f0, 0.45 * rate) / rate);
    const double Vh = std::pow(10.0, G / 20.0), Vb = std::pow(Vh, 0.4996667741545416);
    return Normalise(Vh + Vb * K / Q + K * K, 2 * (K * K - Vh), Vh - Vb * K / Q + K * K, 1 + K / Q + K * K,
                     2 * (K * K - 1), 1 - K / Q + K * K);
}

TBiquadCoef KHighPass(double rate) {
    const double f0 = 38.13547087602444, Q = 0.5003270373238773;
    const double K = std::tan(M_PI * f0 / rate);
    return Normalise(1, -2, 1, 1 + K / Q + K * K, 2 * (K * K - 1), 1 - K / Q + K * K);
}

// First-order shelf (1 + s/w1) / (1 + s/w2), bilinear with both corners pre-warped.
TBiquadCoef Emphasis(double tauSeconds, double rate) {
    const double f1 = 1.0 / (2 * M_PI * tauSeconds);
    const double f2 = std::min(20000.0, 0.45 * rate);
    const double A = 1.0 / std::tan(M_PI * std::min(f1, 0.9 * f2) / rate);
    const double B = 1.0 / std::tan(M_PI * f2 / rate);
    TBiquadCoef c;
    c.b0 = (1 + A) / (1 + B);
    c.b1 = (1 - A) / (1 + B);
    c.a1 = (1 - B) / (1 + B);
    return c;
}

// One band processor as taken over by Apply.
struct TProcSetting {
    bool On = false;
    float Slope = 0;  // 1 - 1/ratio
    float Threshold = 0;
    float Attack = 1, Release = 1, Attack2 = 1, Release2 = 1;
    bool Slow = false;
    int HoldSamples = 0;
};

struct TProcState {
    float Env = 0, Slow = 0;
    int Hold = 0;
    void Reset() {
        Env = Slow = 0;
        Hold = 0;
    }
};

TProcSetting TakeProcessor(const TAGCBandProcessor& p, double rate) {
    TProcSetting s;
    s.On = IsOn(p.Enabled);
    const double ratio = p.Ratio;
    if (std::isnan(ratio) || ratio <= 1.0)
        s.Slope = 0;
    else if (ratio >= 100.0)
        s.Slope = 1;  // a limiter
    else
        s.Slope = static_cast<float>(1.0 - 1.0 / ratio);
    s.Threshold = static_cast<float>(Sanitize(p.Threshold, -60.0, 6.0, 0.0));
    const auto ms = [](int32_t v) { return std::clamp<double>(v, 0.0, 60000.0); };
    s.Attack = Coef(ms(p.Attack), rate);
    s.Release = Coef(ms(p.Release), rate);
    s.Slow = p.Release2 > 0;
    s.Attack2 = Coef(ms(p.Attack2), rate);
    s.Release2 = Coef(ms(p.Release2), rate);
    s.HoldSamples = static_cast<int>(std::min<double>(p.Hold, 10000.0) * rate / 1000.0);
    return s;
}

// Gain reduction (dB, >= 0) that a processor asks for at this level.
inline float Target(const TProcSetting& s, float over) {
    if (s.Slope <= 0 || over <= -CompKneeDb / 2) return 0;
    if (over >= CompKneeDb / 2) return over * s.Slope;
    const float t = over + CompKneeDb / 2;
    return s.Slope * t * t / (2 * CompKneeDb);
}

inline float RunProcessor(const TProcSetting& s, TProcState& st, float target) {
    if (target >= st.Env) {
        st.Env += (target - st.Env) * s.Attack;
        st.Hold = s.HoldSamples;
    } else if (st.Hold > 0) {
        --st.Hold;
    } else {
        st.Env += (target - st.Env) * s.Release;
    }
    if (!s.Slow) return st.Env;
    st.Slow += (target - st.Slow) * (target > st.Slow ? s.Attack2 : s.Release2);
    return std::max(st.Env, st.Slow);
}

// A Linkwitz-Riley split: low = LP(LP(x)), high = HP(HP(x)); low + high is an all-pass.
struct TSplitCoef {
    TBiquadCoef Low, High, All;
};

TSplitCoef MakeSplit(double f, double rate) {
    const double q = M_SQRT1_2;
    return {LowPass(f, q, rate), HighPass(f, q, rate), AllPass(f, q, rate)};
}

struct TSplitState {
    TBiquad L1, L2, H1, H2;
    void Reset() {
        L1.Reset();
        L2.Reset();
        H1.Reset();
        H2.Reset();
    }
    inline void Run(const TSplitCoef& c, float x, float& low, float& high) {
        low = L2.Run(c.Low, L1.Run(c.Low, x));
        high = H2.Run(c.High, H1.Run(c.High, x));
    }
};

// A band compressor section with `Bands` bands.
template <int Bands>
struct TBandSection {
    TSplitCoef Split[Bands - 1];
    TProcSetting Proc[Bands][AGCBandProcessors];
    float Drive = 1.0f;  // linear
    float DriveDb = 0.0f;
    float Detect = 1.0f;  // RMS detector coefficient

    TSplitState SplitState[MaxChannels][Bands - 1];
    // Phase matching: band b passes the all-pass of every later split.
    TBiquad AllState[MaxChannels][Bands * Bands];
    TProcState ProcState[Bands][AGCBandProcessors];
    float Power[Bands] = {};

    void Reset() {
        for (auto& ch : SplitState)
            for (auto& s : ch) s.Reset();
        for (auto& ch : AllState)
            for (auto& s : ch) s.Reset();
        for (auto& b : ProcState)
            for (auto& p : b) p.Reset();
        std::fill(std::begin(Power), std::end(Power), 0.0f);
    }

    void Take(const double* splits, const TAGCBandProcessor (&procs)[Bands][AGCBandProcessors], double drive,
              double rate) {
        double fmax = 0.45 * rate;
        double f[Bands > 1 ? Bands - 1 : 1];
        for (int i = Bands - 2; i >= 0; --i) {
            f[i] = std::min(splits[i], fmax);
            fmax = f[i] * 0.5;
        }
        for (int i = 0; i < Bands - 1; ++i) Split[i] = MakeSplit(f[i], rate);
        for (int b = 0; b < Bands; ++b)
            for (int p = 0; p < AGCBandProcessors; ++p) Proc[b][p] = TakeProcessor(procs[b][p], rate);
        DriveDb = static_cast<float>(drive);
        Drive = static_cast<float>(DbToLin(drive));
        Detect = Coef(5.0, rate);
    }

    // Splits channel c's sample into bands (phase matched).
    inline void SplitSample(int c, float x, float* band) {
        float rest = x;
        for (int i = 0; i < Bands - 1; ++i) {
            float low, high;
            SplitState[c][i].Run(Split[i], rest, low, high);
            band[i] = low;
            rest = high;
        }
        band[Bands - 1] = rest;
        for (int b = 0; b < Bands - 2; ++b)
            for (int i = b + 1; i < Bands - 1; ++i) band[b] = AllState[c][b * Bands + i].Run(Split[i].All, band[b]);
    }

    // Gain reduction of band b (dB) from its detector.
    inline float BandReduction(int b) {
        const float level = 10.0f * std::log10(Power[b] + 1e-12f) + 3.0103f + DriveDb;
        float gr = 0;
        for (int p = 0; p < AGCBandProcessors; ++p) {
            const TProcSetting& s = Proc[b][p];
            if (!s.On) continue;
            gr += RunProcessor(s, ProcState[b][p], Target(s, level - gr - s.Threshold));
        }
        return gr;
    }
};

struct TEngine {
    double Rate = 0;
    int Channels = 0;

    // 1. gated AGC
    TBiquadCoef KS, KH;
    TBiquad KState[MaxChannels][2];
    double Momentary = 0, Short = 0;
    float MomCoef = 0, ShortCoef = 0;
    bool Seeded = false;
    double GainDb = 0;
    float GainLin = 1;
    // For the meters: written here, read by the host's window thread.
    std::atomic<float> GainShown{1.0f};
    std::atomic<int32_t> GatedShown{0};
    double GateLevel = -40, MaxGain = 15;

    // 2. stereo expander
    float Depth = 0, ExpThreshold = -30;
    float SidePower = 0, SideCoef = 0, SideGain = 1, SideSmooth = 0;

    // 3. bass EQ
    TBiquadCoef Bass;
    TBiquad BassState[MaxChannels];

    // 4, 5
    TBandSection<AGCMultiBands> Multi;
    TBandSection<AGCDualBands> Dual;

    // 6. pre-emphasis
    int EmpType = -1;
    TBiquadCoef Emp;
    TBiquad EmpState[MaxChannels];

    // 7. clipper
    float Ceiling = 1;
    int Lookahead = 1;
    float Delay[MaxChannels][MaxLookahead] = {};
    int DelayPos = 0;
    int64_t Counter = 0;
    int64_t MinIdx[MaxLookahead + 2] = {};
    float MinVal[MaxLookahead + 2] = {};
    int MinHead = 0, MinCount = 0;
    float Smoothed = 1, ReleaseCoef = 0;
    float Box[MaxLookahead] = {};
    int BoxPos = 0;
    double BoxSum = 0;

    // 8. output level
    float Output = 1;

    float Work[MaxChannels][Step];

    void ResetLimiter() {
        for (auto& ch : Delay) std::fill(std::begin(ch), std::end(ch), 0.0f);
        DelayPos = 0;
        MinHead = MinCount = 0;
        Smoothed = 1;
        std::fill(std::begin(Box), std::end(Box), 1.0f);
        BoxPos = 0;
        BoxSum = Lookahead;
    }

    void Flush() {
        for (auto& ch : KState)
            for (auto& s : ch) s.Reset();
        Momentary = Short = 0;
        Seeded = false;
        SidePower = 0;
        SideGain = 1;
        for (auto& s : BassState) s.Reset();
        for (auto& s : EmpState) s.Reset();
        Multi.Reset();
        Dual.Reset();
        ResetLimiter();
    }

    void SetRate(double rate, const TAGCParams& p) {
        Rate = rate;
        KS = KShelf(rate);
        KH = KHighPass(rate);
        MomCoef = Coef(400.0 / 2, rate);
        ShortCoef = Coef(3000.0 / 2, rate);
        SideCoef = Coef(50.0, rate);
        SideSmooth = Coef(20.0, rate);
        ReleaseCoef = Coef(60.0, rate);
        Lookahead = std::clamp(static_cast<int>(std::lround(LookaheadMs * rate / 1000.0)), 1, MaxLookahead);
        EmpType = -1;
        Apply(p, AGCApply::All);
        Flush();
    }

    void Apply(const TAGCParams& p, int32_t flags) {
        const double rate = Rate > 0 ? Rate : 44100.0;
        if (flags & AGCApply::BassEQ) {
            const double f = std::clamp(p.BassEQFreq, 20, 500);
            const double g = std::clamp(p.BassEQGain, -20, 20);
            Bass = p.BassEqType == 1 ? Peak(f, g, 1.0, rate) : LowShelf(f, g, rate);
        }
        if (flags & AGCApply::GatedAGC) {
            GateLevel = std::clamp(p.GateLevel, -120, 0);
            MaxGain = std::clamp(p.MaxGain, 0, 40);
        }
        if (flags & AGCApply::StereoExpander) {
            Depth = static_cast<float>(std::clamp(p.StereoExpanderDepth, 0, 20)) / 20.0f;
            ExpThreshold = static_cast<float>(Sanitize(p.StereoExpanderThreshold, -90.0, 0.0, -30.0));
        }
        if (flags & AGCApply::MultiBand)
            Multi.Take(MultiBandSplits, p.MultiBandProc, Sanitize(p.MultiBandDrive, -20.0, 20.0, 0.0), rate);
        if (flags & AGCApply::DualBand)
            Dual.Take(&DualBandSplit, p.DualBandProc, Sanitize(p.DualBandDrive, -20.0, 20.0, 0.0), rate);
        if (flags & AGCApply::Clipper) Ceiling = static_cast<float>(DbToLin(Sanitize(p.ClipperLevel, -20.0, 6.0, 0.0)));
    }

    void Process(const TAGCParams& p, int frames);
    void Limit(int frames, bool on);
};

void TEngine::Process(const TAGCParams& p, int n) {
    const int ch = Channels;

    if (IsOn(p.GatedAGC)) {
        double power = 0;
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            for (int c = 0; c < ch; ++c) {
                const float k = KState[c][1].Run(KH, KState[c][0].Run(KS, Work[c][i]));
                sum += static_cast<double>(k) * k;
            }
            Momentary += (sum - Momentary) * MomCoef;
            Short += (sum - Short) * ShortCoef;
            power += sum;
        }
        (void)power;
        const double mom = -0.691 + 10.0 * std::log10(Momentary + 1e-20);
        const bool open = mom >= GateLevel && mom > -70.0;
        GatedShown.store(open ? 0 : 1, std::memory_order_relaxed);
        if (open) {
            if (!Seeded) {
                Short = Momentary;
                Seeded = true;
            }
            const double level = -0.691 + 10.0 * std::log10(Short + 1e-20);
            const double err = AGCTarget - (level + GainDb);
            if (std::fabs(err) > AGCWindow) {
                const double rate = std::clamp(AGCRate * (err - std::copysign(AGCWindow, err)), -AGCMaxDown, AGCMaxUp);
                GainDb += rate * n / Rate;
            }
        }
        GainDb = std::clamp(GainDb, -AGCMaxCut, MaxGain);
        const float target = static_cast<float>(DbToLin(GainDb));
        const float step = (target - GainLin) / n;
        for (int i = 0; i < n; ++i) {
            GainLin += step;
            for (int c = 0; c < ch; ++c) Work[c][i] *= GainLin;
        }
        GainLin = target;
        GainShown.store(target, std::memory_order_relaxed);
    }

    if (IsOn(p.StereoExpander) && ch == 2) {
        const float level = static_cast<float>(Sanitize(p.StereoExpanderLevel, 0.0, 100.0, 0.0)) / 100.0f;
        const float sideDb = 10.0f * std::log10(SidePower + 1e-12f) + 3.0103f;
        const float fade = std::clamp((sideDb - (ExpThreshold - 6.0f)) / 6.0f, 0.0f, 1.0f);
        const float want = 1.0f + Depth * level * fade;
        for (int i = 0; i < n; ++i) {
            const float m = 0.5f * (Work[0][i] + Work[1][i]);
            const float s = 0.5f * (Work[0][i] - Work[1][i]);
            SidePower += (s * s - SidePower) * SideCoef;
            SideGain += (want - SideGain) * SideSmooth;
            Work[0][i] = m + s * SideGain;
            Work[1][i] = m - s * SideGain;
        }
    }

    if (IsOn(p.BassEQ))
        for (int c = 0; c < ch; ++c)
            for (int i = 0; i < n; ++i) Work[c][i] = BassState[c].Run(Bass, Work[c][i]);

    if (IsOn(p.MultiBand)) {
        float gains[AGCMultiBands];
        for (int b = 0; b < AGCMultiBands; ++b)
            gains[b] = static_cast<float>(Sanitize(p.MultiBandGain[b], -20.0, 20.0, 0.0));
        const float l01 = std::clamp(p.Link01, 0, 100) / 200.0f;
        const float l23 = std::clamp(p.Link23, 0, 100) / 200.0f;
        const float l34 = std::clamp(p.Link34, 0, 100) / 200.0f;
        float band[MaxChannels][AGCMultiBands];
        for (int i = 0; i < n; ++i) {
            float pw[AGCMultiBands] = {};
            for (int c = 0; c < ch; ++c) {
                Multi.SplitSample(c, Work[c][i], band[c]);
                for (int b = 0; b < AGCMultiBands; ++b) pw[b] += band[c][b] * band[c][b];
            }
            float gr[AGCMultiBands];
            for (int b = 0; b < AGCMultiBands; ++b) {
                Multi.Power[b] += (pw[b] / ch - Multi.Power[b]) * Multi.Detect;
                gr[b] = Multi.BandReduction(b);
            }
            const auto link = [&](int a, int b, float l) {
                const float ga = gr[a], gb = gr[b];
                gr[a] = ga + l * (gb - ga);
                gr[b] = gb + l * (ga - gb);
            };
            link(0, 1, l01);
            link(2, 3, l23);
            link(3, 4, l34);
            float g[AGCMultiBands];
            for (int b = 0; b < AGCMultiBands; ++b) g[b] = Multi.Drive * std::exp((gains[b] - gr[b]) * 0.11512925f);
            for (int c = 0; c < ch; ++c) {
                float sum = 0;
                for (int b = 0; b < AGCMultiBands; ++b) sum += band[c][b] * g[b];
                Work[c][i] = sum;
            }
        }
    }

    if (IsOn(p.DualBand)) {
        float band[MaxChannels][AGCDualBands];
        for (int i = 0; i < n; ++i) {
            float pw[AGCDualBands] = {};
            for (int c = 0; c < ch; ++c) {
                Dual.SplitSample(c, Work[c][i], band[c]);
                for (int b = 0; b < AGCDualBands; ++b) pw[b] += band[c][b] * band[c][b];
            }
            float g[AGCDualBands];
            for (int b = 0; b < AGCDualBands; ++b) {
                Dual.Power[b] += (pw[b] / ch - Dual.Power[b]) * Dual.Detect;
                g[b] = Dual.Drive * std::exp(-Dual.BandReduction(b) * 0.11512925f);
            }
            for (int c = 0; c < ch; ++c) Work[c][i] = band[c][0] * g[0] + band[c][1] * g[1];
        }
    }

    if (IsOn(p.PreEmphasis)) {
        const int type = p.PreEmpType == 1 ? 1 : 0;
        if (type != EmpType) {
            Emp = Emphasis(type == 1 ? 75e-6 : 50e-6, Rate);
            EmpType = type;
        }
        for (int c = 0; c < ch; ++c)
            for (int i = 0; i < n; ++i) Work[c][i] = EmpState[c].Run(Emp, Work[c][i]);
    }

    Limit(n, IsOn(p.Clipper));

    const float out = static_cast<float>(Sanitize(p.OutputLevel, 0.0, 100.0, 100.0) / 100.0);
    const float outStep = (out - Output) / n;
    for (int i = 0; i < n; ++i) {
        Output += outStep;
        for (int c = 0; c < ch; ++c) Work[c][i] *= Output;
    }
    Output = out;

    // The safety net: a stage that went unstable is reset instead of spreading garbage.
    for (int c = 0; c < ch; ++c)
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(Work[c][i])) {
                Flush();
                GainDb = 0;
                GainLin = 1;
                for (int cc = 0; cc < ch; ++cc) std::fill(Work[cc], Work[cc] + n, 0.0f);
                return;
            }
}

void TEngine::Limit(int n, bool on) {
    const int ch = Channels;
    const float threshold = Ceiling * static_cast<float>(DbToLin(LimiterMarginDb));
    const float knee = Ceiling * static_cast<float>(SoftKnee);
    const float room = Ceiling - knee;
    const int window = Lookahead + 1;
    for (int i = 0; i < n; ++i) {
        float peak = 0;
        for (int c = 0; c < ch; ++c) peak = std::max(peak, std::fabs(Work[c][i]));
        const float need = peak > threshold ? threshold / peak : 1.0f;

        // Sliding minimum of the needed gain over the look-ahead window.
        while (MinCount > 0 && MinVal[(MinHead + MinCount - 1) % (MaxLookahead + 2)] >= need) --MinCount;
        const int slot = (MinHead + MinCount) % (MaxLookahead + 2);
        MinIdx[slot] = Counter;
        MinVal[slot] = need;
        ++MinCount;
        while (MinIdx[MinHead] <= Counter - window) {
            MinHead = (MinHead + 1) % (MaxLookahead + 2);
            --MinCount;
        }
        ++Counter;
        const float minimum = MinVal[MinHead];

        // Falls at once, recovers with the release; the moving average turns the fall into a
        // ramp that ends exactly when the peak leaves the delay.
        Smoothed = std::min(minimum, Smoothed + (1.0f - Smoothed) * ReleaseCoef);
        BoxSum += Smoothed - Box[BoxPos];
        Box[BoxPos] = Smoothed;
        if (++BoxPos == Lookahead) BoxPos = 0;
        if (BoxPos == 0) {  // stops rounding drift of the running sum
            double exact = 0;
            for (int k = 0; k < Lookahead; ++k) exact += Box[k];
            BoxSum = exact;
        }
        const float gain = static_cast<float>(BoxSum / Lookahead);

        for (int c = 0; c < ch; ++c) {
            float v = Delay[c][DelayPos];
            Delay[c][DelayPos] = Work[c][i];
            if (on) {
                v *= std::min(gain, 1.0f);
                const float a = std::fabs(v);
                if (a > knee) v = std::copysign(knee + room * std::tanh((a - knee) / room), v);
                v = std::clamp(v, -Ceiling, Ceiling);
            }
            Work[c][i] = v;
        }
        if (++DelayPos == Lookahead) DelayPos = 0;
    }
}

// The block as the host sees it, with the engine's address in the private bytes.
struct TInstance {
    TAGCParams Params;
    std::unique_ptr<TEngine> Engine;
};

TEngine* EngineOf(const TAGCParams* block) {
    if (!block || static_cast<uint32_t>(block->Private0) != BlockMagic) return nullptr;
    TEngine* engine = nullptr;
    std::memcpy(&engine, block->Private1972, sizeof(engine));
    return engine;
}

void SetDefaults(TAGCParams& p) {
    std::memset(&p, 0, sizeof(p));
    p.Private0 = static_cast<int32_t>(BlockMagic);
    p.GatedAGC = 1;
    p.GateLevel = -40;
    p.MaxGain = 15;
    p.StereoExpanderDepth = 6;
    p.StereoExpanderLevel = 50.0f;
    p.StereoExpanderThreshold = -30.0f;
    p.BassEQFreq = 80;
    p.BassEQGain = 3;
    p.BassEqType = 0;
    p.PreEmpType = 0;
    p.MultiBandDrive = 3.0f;
    p.Link01 = 50;
    p.Link23 = 50;
    p.Link34 = 50;
    // A gentle slow compressor, a faster one above it and a band limiter on top.
    const TAGCBandProcessor slow{1, 2.0f, -24.0f, 30, 500, 200, 2000, 50, {}};
    const TAGCBandProcessor fast{1, 4.0f, -14.0f, 5, 100, 80, 600, 20, {}};
    const TAGCBandProcessor limit{1, 20.0f, -6.0f, 1, 0, 40, 0, 5, {}};
    for (auto& band : p.MultiBandProc) {
        band[0] = slow;
        band[1] = fast;
        band[2] = limit;
    }
    for (auto& band : p.DualBandProc) {
        band[0] = slow;
        band[1] = fast;
        band[2] = limit;
    }
    p.DualBandDrive = 0.0f;
    p.ClipperLevel = 0.0f;
    p.OutputLevel = 100.0f;
}

inline float Sample(const uint8_t* src, int bytes) {
    switch (bytes) {
        case 1: return (static_cast<float>(*src) - 128.0f) * (1.0f / 128.0f);
        case 2: {
            int16_t v;
            std::memcpy(&v, src, 2);
            return v * (1.0f / 32768.0f);
        }
        case 3: {
            const int32_t v =
                static_cast<int32_t>(static_cast<uint32_t>(src[0]) << 8 | static_cast<uint32_t>(src[1]) << 16 |
                                     static_cast<uint32_t>(src[2]) << 24) >>
                8;
            return v * (1.0f / 8388608.0f);
        }
        default: {
            int32_t v;
            std::memcpy(&v, src, 4);
            return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
        }
    }
}

inline void Store(uint8_t* dst, int bytes, float v) {
    switch (bytes) {
        case 1: *dst = static_cast<uint8_t>(std::clamp(std::nearbyint(v * 128.0f), -128.0f, 127.0f) + 128.0f); break;
        case 2: {
            const int16_t s = static_cast<int16_t>(std::clamp(std::nearbyint(v * 32768.0f), -32768.0f, 32767.0f));
            std::memcpy(dst, &s, 2);
            break;
        }
        case 3: {
            const int32_t s = static_cast<int32_t>(std::clamp(std::nearbyint(v * 8388608.0f), -8388608.0f, 8388607.0f));
            dst[0] = static_cast<uint8_t>(s);
            dst[1] = static_cast<uint8_t>(s >> 8);
            dst[2] = static_cast<uint8_t>(s >> 16);
            break;
        }
        default: {
            const double d =
                std::clamp(std::nearbyint(static_cast<double>(v) * 2147483648.0), -2147483648.0, 2147483647.0);
            const int32_t s = static_cast<int32_t>(d);
            std::memcpy(dst, &s, 4);
        }
    }
}

}  // namespace

void API_AGC_Init(TAGCParams** block) {
    if (!block) return;
    *block = nullptr;
    auto* instance = new (std::nothrow) TInstance;
    if (!instance) return;
    instance->Engine.reset(new (std::nothrow) TEngine);
    if (!instance->Engine) {
        delete instance;
        return;
    }
    SetDefaults(instance->Params);
    TEngine* engine = instance->Engine.get();
    std::memcpy(instance->Params.Private1972, &engine, sizeof(engine));
    engine->SetRate(44100.0, instance->Params);
    static_assert(offsetof(TInstance, Params) == 0);
    *block = &instance->Params;
}

void API_AGC_Quit(TAGCParams** block) {
    if (!block || !*block) return;
    if (EngineOf(*block)) delete reinterpret_cast<TInstance*>(*block);
    *block = nullptr;
}

void API_AGC_Apply(TAGCParams* block, int32_t flags) {
    if (TEngine* engine = EngineOf(block)) engine->Apply(*block, flags);
}

void API_AGC_Flush(TAGCParams* block) {
    if (TEngine* engine = EngineOf(block)) engine->Flush();
}

int32_t API_AGC_Process(TAGCParams* block, void* samples, int32_t frames, int32_t bitsPerSample, int32_t channels,
                        int32_t sampleRate) {
    if (frames <= 0) return 0;
    TEngine* engine = EngineOf(block);
    const int bytes = bitsPerSample / 8;
    if (!engine || !samples || bitsPerSample % 8 != 0 || bytes < 1 || bytes > 4 || channels < 1 ||
        channels > MaxChannels || sampleRate < MinRate || sampleRate > MaxRate)
        return frames;
    if (engine->Rate != sampleRate) engine->SetRate(sampleRate, *block);
    engine->Channels = channels;
    auto* data = static_cast<uint8_t*>(samples);
    const size_t frameBytes = static_cast<size_t>(bytes) * channels;
    for (int32_t start = 0; start < frames; start += Step) {
        const int n = std::min<int32_t>(Step, frames - start);
        uint8_t* base = data + static_cast<size_t>(start) * frameBytes;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) engine->Work[c][i] = Sample(base + i * frameBytes + c * bytes, bytes);
        engine->Process(*block, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) Store(base + i * frameBytes + c * bytes, bytes, engine->Work[c][i]);
    }
    return frames;
}

void API_AGC_Meters(const TAGCParams* block, TAGCMeters* meters) {
    if (!meters) return;
    *meters = TAGCMeters{};
    if (const TEngine* engine = EngineOf(block)) {
        meters->Gain = engine->GainShown.load(std::memory_order_relaxed);
        meters->Gated = engine->GatedShown.load(std::memory_order_relaxed);
    }
}

const TAGCLibrary& BuiltInAGCLibrary() {
    static const TAGCLibrary library{API_AGC_Init,  API_AGC_Quit,    API_AGC_Apply,
                                     API_AGC_Flush, API_AGC_Process, API_AGC_Meters};
    return library;
}

}  // namespace kelvar
