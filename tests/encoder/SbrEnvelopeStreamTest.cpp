// The envelopes a decoder reads from an SBR stream follow the source's high-band energies: a sweep
// and a band-limited noise burst over a white background show in the bands and frames where they
// are, at their level within the quantiser's step.
#include "FrameReader.h"
#include "SbrReader.h"
#include "TestStreams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;
constexpr double kSeconds = 3.0;

// What the source holds, so that the energy of any band and time span follows by Parseval: a QMF
// band of width rate / 128 shows 4096 x the power that lies in it, per QMF sample.
struct Source {
    double background = 1000.0;  // white noise, uniform in +-this
    double sweepAmplitude = 8000.0, sweepFrom = 0.1, sweepTo = 1.9, sweepLow = 8000.0, sweepHigh = 15000.0;
    double burstFrom = 2.1, burstTo = 2.8, burstAmplitude = 150.0;
    std::vector<double> burstFrequencies;  // 400 sines between 10 and 13 kHz

    double SweepFrequency(double t) const {
        return sweepLow + (sweepHigh - sweepLow) * (t - sweepFrom) / (sweepTo - sweepFrom);
    }

    std::vector<int16_t> Render() {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> uniform(0.0, 1.0);
        for (int i = 0; i < 400; ++i) burstFrequencies.push_back(10000.0 + 3000.0 * uniform(random));
        std::vector<double> phases(400);
        for (double& p : phases) p = 2 * kPi * uniform(random);
        const int n = static_cast<int>(kRate * kSeconds);
        std::vector<int16_t> pcm(static_cast<size_t>(n));
        double sweepPhase = 0.0;
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kRate;
            double v = 4000.0 * std::sin(2 * kPi * 440.0 * t) + background * (2.0 * uniform(random) - 1.0);
            if (t >= sweepFrom && t < sweepTo) {
                sweepPhase += 2 * kPi * SweepFrequency(t) / kRate;
                v += sweepAmplitude * std::sin(sweepPhase);
            }
            if (t >= burstFrom && t < burstTo)
                for (size_t k = 0; k < burstFrequencies.size(); ++k)
                    v += burstAmplitude * std::sin(2 * kPi * burstFrequencies[k] * t + phases[k]);
            pcm[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        }
        return pcm;
    }

    // Power of the sweep and the burst in [lowHz, highHz) over samples [from, to); checkable is false
    // where the sweep runs close to a band edge, so that the filter bank's edges would blur it.
    double SignalPower(double lowHz, double highHz, int from, int to, bool& checkable, bool& burst) const {
        checkable = true;
        double power = 0.0;
        const int step = 16;
        int burstSamples = 0;
        for (int i = from; i < to; i += step) {
            const double t = static_cast<double>(i) / kRate;
            if (t >= sweepFrom && t < sweepTo) {
                const double f = SweepFrequency(t);
                const double margin = 200.0;  // over half a QMF band: the neighbour takes nearly nothing
                if (f > lowHz - margin && f < highHz + margin && (f < lowHz + margin || f > highHz - margin))
                    checkable = false;
                if (f >= lowHz && f < highHz) power += sweepAmplitude * sweepAmplitude / 2 * step;
            }
            if (t >= burstFrom && t < burstTo) burstSamples += step;
        }
        // The filter bank blurs the edges of the sweep and the burst, in time by about its length.
        const double blur = 700.0 / kRate;
        for (double edge : {sweepFrom, sweepTo, burstFrom, burstTo})
            if (from / static_cast<double>(kRate) < edge + blur && to / static_cast<double>(kRate) > edge - blur)
                checkable = false;
        if (burstSamples > 0) {
            for (double edge : {10000.0, 13000.0})
                if (lowHz < edge + 400.0 && highHz > edge - 400.0) checkable = false;
            double inBand = 0.0;
            for (double f : burstFrequencies)
                if (f >= lowHz && f < highHz) inBand += burstAmplitude * burstAmplitude / 2;
            power += inBand * burstSamples;
        }
        burst = burstSamples > 0;
        return power / (to - from);
    }
};

struct Sample {
    double decodedDb, expectedDb, signalDb;
    bool burst;
    int band;  // lower QMF border
};

}  // namespace

TEST(SbrEnvelopeStream, SweepAndNoiseBurstShowWhereTheyAreWithinTheQuantiserStep) {
    Source source;
    const std::vector<int16_t> pcm = source.Render();
    StreamSettings s;
    s.config = StreamConfig{kRate, 1, 1, 40000, 0};
    const EncodedStream enc = EncodeStream(pcm, kRate, 1, s);
    ASSERT_TRUE(enc.ok) << enc.error;
    const StreamInfo info = ReadStream(enc.bytes);
    ASSERT_TRUE(info.error.empty()) << info.error;
    SbrStreamReader reader;
    std::vector<SbrBlock> blocks;
    for (const FrameInfo& f : info.frames) blocks.push_back(reader.ReadFrame(f));

    const double backgroundEnergy = 64.0 * source.background * source.background / 3.0;
    // Envelope e of frame i covers its time slots from i x 1152 - lag on; the lag is found as the one
    // that fits best.
    auto collect = [&](int lag) {
        std::vector<Sample> samples;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const SbrBlock& b = blocks[i];
            if (!b.found) continue;
            const SbrChannelData& c = b.channel[0];
            const double w = 2.0 - b.amplitudeResolution;
            for (int e = 0; e < c.envelopes; ++e) {
                const int from = static_cast<int>(i) * 1152 - lag + 128 * c.borders[e];
                const int to = static_cast<int>(i) * 1152 - lag + 128 * c.borders[e + 1];
                if (from < 0 || to > static_cast<int>(pcm.size())) continue;
                const std::vector<int>& table = c.resolution[e] ? b.high : b.low;
                for (size_t band = 0; band + 1 < table.size(); ++band) {
                    const double lowHz = table[band] * kRate / 128.0, highHz = table[band + 1] * kRate / 128.0;
                    bool checkable = true, burst = false;
                    const double signal = 4096.0 * source.SignalPower(lowHz, highHz, from, to, checkable, burst) /
                                          (table[band + 1] - table[band]);
                    if (!checkable) continue;
                    const double decoded = 64.0 * std::exp2(c.levels[e][band] / w);
                    samples.push_back({10 * std::log10(decoded), 10 * std::log10(signal + backgroundEnergy),
                                       10 * std::log10(signal / backgroundEnergy + 1e-9), burst, table[band]});
                }
            }
        }
        return samples;
    };
    auto misfit = [](const std::vector<Sample>& v) {
        double sum = 0.0;
        int n = 0;
        for (const Sample& s : v)
            if (s.signalDb > 10.0) {
                sum += (s.decodedDb - s.expectedDb) * (s.decodedDb - s.expectedDb);
                ++n;
            }
        return n >= 50 ? sum / n : 1e9;
    };
    int bestLag = 0;
    double best = 1e18;
    auto search = [&](int from, int to, int step) {
        for (int lag = from; lag <= to; lag += step) {
            const double m = misfit(collect(lag));
            if (m < best) {
                best = m;
                bestLag = lag;
            }
        }
    };
    search(-4096, 8192, 256);
    search(bestLag - 224, bestLag + 224, 32);
    const std::vector<Sample> samples = collect(bestLag);
    // The sweep is a steady tone: every envelope band that holds it is within one step. The burst is
    // noise whose energy over one envelope itself varies by a few dB: its envelope bands are within
    // two steps, and their mean over the burst within half a step.
    int sweepBands = 0, withinStep = 0, quietBands = 0, quietNear = 0;
    double worstSweep = 0.0, worstBurst = 0.0;
    std::map<int, std::pair<double, int>> burstError;
    for (const Sample& s : samples) {
        const double error = s.decodedDb - s.expectedDb;
        if (s.signalDb > 10.0 && !s.burst) {
            ++sweepBands;
            worstSweep = std::max(worstSweep, std::fabs(error));
            withinStep += std::fabs(error) <= 3.0;
        } else if (s.signalDb > 10.0) {
            worstBurst = std::max(worstBurst, std::fabs(error));
            burstError[s.band].first += error;
            ++burstError[s.band].second;
        } else if (s.signalDb < -30.0) {
            // Only the white background: the band shows it, not the sweep or the burst.
            ++quietBands;
            quietNear += std::fabs(error) <= 6.0;
        }
    }
    SCOPED_TRACE(testing::Message() << "lag " << bestLag << " samples, rms misfit " << std::sqrt(best) << " dB");
    ASSERT_GT(sweepBands, 25) << "sweep bands to compare";
    ASSERT_GE(burstError.size(), 2u) << "burst bands to compare";
    ASSERT_GT(quietBands, 500);
    EXPECT_GE(withinStep, sweepBands * 95 / 100) << "of " << sweepBands << " sweep bands, worst " << worstSweep;
    EXPECT_LE(worstSweep, 4.5);
    EXPECT_LE(worstBurst, 6.0);
    for (const auto& [band, sum] : burstError) {
        EXPECT_GE(sum.second, 20) << "band " << band;
        EXPECT_LE(std::fabs(sum.first / sum.second), 1.5) << "burst band from QMF band " << band;
    }
    EXPECT_GE(quietNear, quietBands * 98 / 100) << "of " << quietBands;
}
