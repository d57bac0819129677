#include "encoder/SbrEncoder.h"

#include "encoder/SbrHeaderControl.h"

#include <algorithm>

namespace brannoc {

namespace {

constexpr int kSlots = 18;

void InitCoders(SbrEncoder& e, SbrChannel& c) {
    SbrEnvCoderInit(c.envelopeCoder, e.tables.lowCount, e.tables.highCount);
    c.envelopeCoder.timeDeltasAllowed = e.config.timeDeltasAllowed != 0;
    c.envelopeCoder.levelFreq = {e.huffman.levelFreq.lengths, e.huffman.levelFreq.lav};
    c.envelopeCoder.levelTime = {e.huffman.levelTime.lengths, e.huffman.levelTime.lav};
    c.envelopeCoder.balanceFreq = {e.huffman.balanceFreq.lengths, e.huffman.balanceFreq.lav};
    c.envelopeCoder.balanceTime = {e.huffman.balanceTime.lengths, e.huffman.balanceTime.lav};
    c.envelopeCoder.firstBitsLevel = e.config.amplitudeResolution ? 6 : 7;
    c.envelopeCoder.firstBitsBalance = e.config.amplitudeResolution ? 5 : 6;
    SbrEnvCoderInit(c.noiseCoder, e.noiseBands, e.noiseBands);
    c.noiseCoder.timeDeltasAllowed = e.config.timeDeltasAllowed != 0;
    c.noiseCoder.levelFreq = {e.huffman.noiseLevelFreq.lengths, e.huffman.noiseLevelFreq.lav};
    c.noiseCoder.levelTime = {e.huffman.noiseLevelTime.lengths, e.huffman.noiseLevelTime.lav};
    c.noiseCoder.balanceFreq = {e.huffman.noiseBalanceFreq.lengths, e.huffman.noiseBalanceFreq.lav};
    c.noiseCoder.balanceTime = {e.huffman.noiseBalanceTime.lengths, e.huffman.noiseBalanceTime.lav};
    c.noiseCoder.firstBitsLevel = c.noiseCoder.firstBitsBalance = 5;
}

// Quantised values of one channel into its frame record, delta coded.
void Code(SbrEncoder& e, SbrChannel& c, const SbrQuantised& levels, const SbrQuantised& noise, bool balance,
          bool reset) {
    SbrChannelFrame& f = c.frame;
    for (int i = 0; i < 5; ++i) std::copy(levels.levels[i], levels.levels[i] + 48, f.envelope[i]);
    SbrDeltaCode(f.envelope, f.info.resolution, c.envelopeCoder, f.envelopeFlags, balance, f.info.envelopes, balance,
                 reset);
    int noiseValues[2][48] = {};
    const int noiseRes[2] = {1, 1};
    for (int q = 0; q < f.info.noiseEnvelopes; ++q)
        for (int b = 0; b < e.noiseBands; ++b) noiseValues[q][b] = noise.noise[q][b];
    SbrDeltaCode(noiseValues, noiseRes, c.noiseCoder, f.noiseFlags, balance, f.info.noiseEnvelopes, balance, reset);
    for (int q = 0; q < f.info.noiseEnvelopes; ++q)
        for (int b = 0; b < e.noiseBands; ++b) f.noise[q][b] = noiseValues[q][b];
}

SbrQuantised NoiseLevels(const SbrEncoder& e, const SbrChannel& c) {
    SbrQuantised n;
    for (int q = 0; q < 2; ++q)
        for (int b = 0; b < e.noiseBands; ++b) n.noise[q][b] = SbrQuantiseNoise(c.q[b]);
    return n;
}

}  // namespace

std::unique_ptr<SbrEncoder> SbrEncoderCreate(const SbrConfig& config, const SbrHuffmanSet& huffman) {
    if (config.channels < 1 || config.channels > 2 || config.kind != 2 || config.frameLength != 1152) return nullptr;
    auto e = std::make_unique<SbrEncoder>();
    e->config = config;
    e->channels = config.channels;
    e->stereoMode = config.channels == 2 ? config.stereoMode : 0;
    e->sbrRate = config.coreRate <= 24000 ? 2 * config.coreRate : config.coreRate;
    e->huffman = huffman;
    e->huffman.amplitudeResolution = config.amplitudeResolution;
    e->state = SbrHeaderStateFromConfig(config, e->sbrRate);
    e->header = SbrHeaderFromConfig(config);
    e->tables.sbrRate = e->sbrRate;
    SbrBandSettings settings;
    settings.startIndex = config.startIndex;
    settings.stopIndex = config.stopIndex;
    settings.frequencyScale = config.frequencyScale;
    settings.alterScale = config.alterScale;
    settings.dualRate = e->header.dualRate != 0;
    if (!SbrResetTables(e->tables, settings, 64, true)) return nullptr;
    const int perChannel = config.bitrate / std::max(1, config.channels);
    e->channel.resize(static_cast<size_t>(e->channels));
    for (SbrChannel& c : e->channel) {
        SbrQmfInit(c.bank, config.frameLength);
        SbrTransientInit(c.detector, config.frameLength, e->sbrRate, config.bitrate, config.channels,
                         config.transientReferenceBitrate, config.transientEnergyThreshold);
        SbrGridInit(c.grid, config.staticFraming, config.staticEnvelopesLog2, config.fixfixFrequencyResolution);
        if (!SbrTonalityCreate(c.tonality, e->sbrRate, e->tables.master, e->tables.masterCount, e->tables.low,
                               e->tables.lowCount, config.noiseBands, config.noiseLevels, config.noiseFloorOffset,
                               config.perChannelMode))
            return nullptr;
        e->noiseBands = c.tonality.noiseCount;
        if (config.sinusoidExtension) SbrSinusoidCreate(c.sinusoids, perChannel);
    }
    for (SbrChannel& c : e->channel) InitCoders(*e, c);
    e->adaptation = config.crossoverAdaptation != 0 && config.adaptiveCrossover != 0;
    e->requestedCrossover = e->appliedCrossover =
        SbrSnapCrossover(e->tables.crossoverHz, e->sbrRate, e->tables.master, e->tables.masterCount);
    if (config.mode3 && e->channels == 1) {
        e->midSide = SbrMidSideAnalyser::Create(e->sbrRate);
        if (!e->midSide) return nullptr;
    }
    return e;
}

std::unique_ptr<SbrEncoder> SbrEncoderCreate(const SbrConfig& config) {
    return SbrEncoderCreate(config, SbrStandardHuffmanSet(config.amplitudeResolution));
}

namespace {

// Moves the crossover to the requested master border; tables, patches and noise bands follow.
bool ApplyCrossover(SbrEncoder& e) {
    const int index = SbrCrossoverIndex(e.requestedCrossover, e.sbrRate, e.tables.master, e.tables.masterCount);
    // The header carries the index in 3 bits; a request it cannot name is not applied.
    if (index > 7) {
        e.requestedCrossover = e.appliedCrossover;
        return true;
    }
    SbrBandSettings settings;
    settings.startIndex = e.config.startIndex;
    settings.stopIndex = e.config.stopIndex;
    settings.frequencyScale = e.config.frequencyScale;
    settings.alterScale = e.config.alterScale;
    settings.dualRate = e.header.dualRate != 0;
    settings.crossoverBand = index;
    if (!SbrResetTables(e.tables, settings, 64, false)) return false;
    e.header.crossoverBand = index;
    e.appliedCrossover = e.requestedCrossover;
    e.state.sendHeader = true;
    for (SbrChannel& c : e.channel) {
        const int levels[5] = {e.config.noiseLevels[0], e.config.noiseLevels[1], e.config.noiseLevels[2],
                               e.config.noiseLevels[3], e.config.noiseLevels[4]};
        SbrTonalityEstimator fresh;
        if (!SbrTonalityCreate(fresh, e.sbrRate, e.tables.master, e.tables.masterCount, e.tables.low, e.tables.lowCount,
                               e.config.noiseBands, levels, e.config.noiseFloorOffset, e.config.perChannelMode))
            return false;
        // Keep the measured rows and histories; only the layout changes.
        c.tonality.patches = fresh.patches;
        std::copy(fresh.patchMap, fresh.patchMap + 64, c.tonality.patchMap);
        c.tonality.k2 = fresh.k2;
        c.tonality.noiseCount = fresh.noiseCount;
        std::copy(fresh.noiseBorders, fresh.noiseBorders + 6, c.tonality.noiseBorders);
        c.tonality.detectStart = fresh.detectStart;
        c.tonality.detectEnd = fresh.detectEnd;
        e.noiseBands = fresh.noiseCount;
    }
    for (SbrChannel& c : e.channel) InitCoders(e, c);
    return true;
}

}  // namespace

bool SbrEncodeFrame(SbrEncoder& e, const float* samples, BitBuffer& out, SbrElementBits& bits) {
    SbrNextHeader(e.state);
    if (e.adaptation && e.requestedCrossover != e.appliedCrossover && !ApplyCrossover(e)) return false;
    if (e.midSide) {
        const int cls = e.midSide->Analyse(samples, samples + e.config.frameLength);
        if (cls != e.header.midSideClass) {
            e.state.sendHeader = true;
            e.header.midSideClass = cls;
        }
    }
    const bool reset = e.state.sendHeader;
    for (int ch = 0; ch < e.channels; ++ch) {
        SbrChannel& c = e.channel[static_cast<size_t>(ch)];
        std::copy(c.energies.begin() + kSlots * 64, c.energies.end(), c.energies.begin());
        SbrQmfAnalyse(c.bank, samples + ch * e.config.frameLength, c.re.data(), c.im.data());
        SbrQmfEnergies(c.energies.data() + kSlots * 64, c.re.data(), c.im.data(), 64, kSlots);
        SbrDetectTransient(c.energies.data(), c.detector, c.transient, 2, 4);
        SbrSplitFrame(c.energies.data(), c.detector, e.tables.high, e.tables.highCount, 2, 9, c.transient);
    }
    if (e.channels == 2 && e.stereoMode == 2) SbrShareTransient(e.channel[0].transient, e.channel[1].transient);
    for (int ch = 0; ch < e.channels; ++ch) {
        SbrChannel& c = e.channel[static_cast<size_t>(ch)];
        c.frame.info = SbrMakeGrid(c.grid, c.transient);
        c.frame.grid = c.grid.control;
        c.frame.fixfixResolution = e.config.fixfixFrequencyResolution;
        c.frame.bandsLow = e.tables.lowCount;
        c.frame.bandsHigh = e.tables.highCount;
        c.frame.noiseBands = e.noiseBands;
        c.frame.channelValue = e.config.channelValue == 4 ? 0 : e.config.channelValue;
        c.frame.perChannelMode = e.config.perChannelMode;
        SbrTonalityQuotas(c.tonality, c.re.data(), c.im.data(), kSlots);
        const bool reachesEnd =
            c.transient.flag == 1 && c.transient.value + 4 >= c.frame.info.borders[c.frame.info.envelopes];
        SbrTonalityFrame(c.tonality, c.transient.flag == 1, reachesEnd, c.q);
        c.frame.invfMode = c.tonality.mode;
        if (c.sinusoids.enabled) {
            SbrSinusoidFrame(c.sinusoids, c.re.data(), c.im.data(), c.energies.data() + kSlots * 64);
            c.frame.sinusoids = &c.sinusoids;
        } else {
            c.frame.sinusoids = nullptr;
        }
    }
    if (e.channels == 2 && e.stereoMode == 2) {
        e.channel[1].frame.info = e.channel[0].frame.info;
        e.channel[1].frame.grid = e.channel[0].frame.grid;
    }
    SbrEnvelopeBands bands;
    bands.table[0] = e.tables.low;
    bands.count[0] = e.tables.lowCount;
    bands.table[1] = e.tables.high;
    bands.count[1] = e.tables.highCount;
    const int res = e.config.amplitudeResolution;

    if (e.channels == 1) {
        SbrChannel& c = e.channel[0];
        SbrQuantiseEnvelope(c.energies.data(), nullptr, c.frame.info, bands, res, c.levels, nullptr, nullptr);
        Code(e, c, c.levels, NoiseLevels(e, c), false, reset);
        bits = SbrWriteSingle(&out, e.header, e.state, c.frame, e.huffman);
        return true;
    }

    SbrChannel& l = e.channel[0];
    SbrChannel& r = e.channel[1];
    SbrQuantised lLevels, rLevels;
    SbrQuantiseEnvelope(l.energies.data(), nullptr, l.frame.info, bands, res, lLevels, nullptr, nullptr);
    SbrQuantiseEnvelope(r.energies.data(), nullptr, r.frame.info, bands, res, rLevels, nullptr, nullptr);
    const SbrQuantised lNoise = NoiseLevels(e, l), rNoise = NoiseLevels(e, r);
    bool coupled = e.stereoMode == 2;
    bool noTimeDelta = false;
    SbrQuantised level, balance, cNoise;
    float largest = 0.0f;
    const bool tryCoupled = e.stereoMode == 2 || e.stereoMode == 3;
    SbrStereoChoice choice = SbrStereoChoice::kCompareBits;
    if (e.stereoMode == 3)
        choice = SbrStereoPrecheck(l.frame.info, r.frame.info, 0.0f, res, lLevels, rLevels, e.tables.lowCount,
                                   e.tables.highCount);
    if (tryCoupled && choice != SbrStereoChoice::kLeftRight) {
        SbrQuantiseEnvelope(l.energies.data(), r.energies.data(), l.frame.info, bands, res, level, &balance, &largest);
        for (int q = 0; q < 2; ++q)
            for (int b = 0; b < e.noiseBands; ++b)
                SbrQuantiseNoisePair(l.q[b], r.q[b], cNoise.noise[q][b], balance.noise[q][b]);
        if (e.stereoMode == 3) {
            choice = SbrStereoPrecheck(l.frame.info, r.frame.info, largest, res, lLevels, rLevels, e.tables.lowCount,
                                       e.tables.highCount);
            noTimeDelta = choice == SbrStereoChoice::kLeftRightNoTimeDelta;
        }
    }
    if (e.stereoMode == 3) {
        coupled = false;
        if (choice == SbrStereoChoice::kCompareBits) {
            // Count both codings, each with time deltas only after a frame coded the same way.
            SbrChannel lc = l, rc = r;
            Code(e, lc, level, cNoise, false, reset || !e.previousCoupled);
            Code(e, rc, balance, balance, true, reset || !e.previousCoupled);
            const int coupledBits =
                SbrWritePair(nullptr, e.header, e.state, lc.frame, rc.frame, true, e.huffman).payload;
            SbrChannel li = l, ri = r;
            Code(e, li, lLevels, lNoise, false, reset || e.previousCoupled);
            Code(e, ri, rLevels, rNoise, false, reset || e.previousCoupled);
            const int independentBits =
                SbrWritePair(nullptr, e.header, e.state, li.frame, ri.frame, false, e.huffman).payload;
            coupled = coupledBits < independentBits;
        }
    }
    if (coupled) {
        Code(e, l, level, cNoise, false, reset || !e.previousCoupled);
        Code(e, r, balance, balance, true, reset || !e.previousCoupled);
    } else {
        const bool fresh = reset || e.previousCoupled || noTimeDelta;
        Code(e, l, lLevels, lNoise, false, fresh);
        Code(e, r, rLevels, rNoise, false, fresh);
    }
    e.coupled = coupled;
    e.previousCoupled = coupled;
    bits = SbrWritePair(&out, e.header, e.state, l.frame, r.frame, coupled, e.huffman);
    return true;
}

}  // namespace brannoc

namespace brannoc {

void SbrAttachSideData(const SbrEncoder& e, SbrSideData& side) {
    side.Clear();
    side.crossoverHz = e.tables.crossoverHz;
    side.adaptation = e.adaptation;
    side.channels = e.channels;
    side.requestedCrossoverHz = e.requestedCrossover;
}

bool SbrEncodeFrame(SbrEncoder* encoder, SbrSideData& side, const float* samples) {
    side.Clear();
    if (encoder == nullptr) return true;
    if (side.adaptation) encoder->requestedCrossover = side.requestedCrossoverHz;
    SbrElementBits bits;
    if (!SbrEncodeFrame(*encoder, samples, side.bits, bits)) return false;
    side.headerBits = bits.header;
    side.payloadBits = bits.payload;
    side.protectedBits = bits.protectedBits;
    side.crossoverHz = encoder->tables.crossoverHz;
    return true;
}

float SbrStopFrequencyOf(const SbrEncoder& e) { return SbrGetStopFrequency(e.tables.k2, e.sbrRate); }

}  // namespace brannoc
