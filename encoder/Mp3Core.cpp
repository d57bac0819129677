#include "encoder/Mp3Core.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brannoc {

namespace {
uint8_t Crc8(const uint8_t* data, int count) {
    uint32_t reg = 0xFF;
    for (int i = 0; i < count; ++i) reg = BitCrc::Run(reg, 0x45, 8, data[i], 8);
    return static_cast<uint8_t>(reg);
}
}  // namespace

Mp3Core::Mp3Core(const Mp3CoreConfig& config) : config_(config), input_(1872, 720) {}

int Mp3Core::Create(const Mp3CoreConfig& config, std::unique_ptr<Mp3Core>& core) {
    core.reset();
    std::unique_ptr<Mp3Core> c(new Mp3Core(config));
    if (!c->Setup()) return 1;
    core = std::move(c);
    return 0;
}

bool Mp3Core::Setup() {
    Mp3CoreConfig& c = config_;
    if (c.inputChannels < 1 || c.inputChannels > 2 || c.codedChannels < 1 || c.codedChannels > 2 ||
        c.inputChannels < c.codedChannels || !IsMpegRate(c.rate))
        return false;
    if (c.vbr) {
        if (c.quality < 0 || c.quality > 100) return false;
        c.bitrate = 0;
    } else {
        if (c.bitrate / c.codedChannels < 8000) return false;
        if (c.rate < 32000 && (c.bitrate < 8000 || c.bitrate > 160000)) return false;
        if (c.rate >= 32000 && (c.bitrate < 32000 || c.bitrate > 320000)) return false;
    }
    if (!(c.lowpass >= 0) || !std::isfinite(c.lowpass)) return false;
    granules_ = GranulesPerFrame(c.rate);
    channels_ = c.codedChannels;

    if (!c.vbr && !frameSize_.Configure(c.bitrate, c.rate, c.paddingMode)) return false;

    FrameHeaderSettings header;
    header.rate = c.rate;
    header.mode = channels_ == 1 ? 3 : (c.dualChannel ? 2 : 1);
    header.crc = c.crc != 0;
    header.privateBit = c.privateBit != 0;
    header.copyright = c.copyright != 0;
    header.original = c.original != 0;
    if (!writer_.Configure(header)) return false;
    headerBits_ = writer_.HeaderBits();

    const float r = static_cast<float>(c.rate);
    const float b = static_cast<float>(c.bitrate);
    float lowpass = c.lowpass;
    if (lowpass == 0) {
        if (c.vbr) {
            lowpass = r * (c.quality <= 70 ? 0.32f : 0.38f);
        } else if (channels_ == 1) {
            lowpass = b * 0.182f + 1810.0f;
        } else if (c.bitrate < 32000) {
            lowpass = b * 0.1125f + 1600.0f;
        } else {
            const int64_t frameBits = static_cast<int64_t>(granules_) * c.bitrate * 576 / c.rate;
            const float k = c.rate >= 32000 ? 1.85f : 1.39f;
            lowpass = static_cast<float>(frameBits - headerBits_) / (2.0f * granules_ * k) * r * 0.00086805556f;
        }
    }
    lowpass = std::min(lowpass, r * 0.5f);
    info_.lowpass = lowpass;
    info_.delay = kDelay;

    psycho_.Configure(c.rate, lowpass);
    quantizer_ = std::make_unique<Quantizer>(c.rate, c.refinementOn ? std::max(1, c.refinementLevel) : 0);

    const int bits14 = writer_.FrameBits(14, 0);
    if (c.vbr) {
        info_.minOutputBytes = 2 * bits14 / 8;
        info_.paddingPeriod = granules_;
        info_.bytesPerPeriod = 0;
        largestFrame_ = bits14 - headerBits_;
        meanFrame_ = 0;
        meanGranule_ = 0;
        rate_.Configure(c.rate, lowpass, 0, true, c.quality);
    } else {
        const int64_t target = static_cast<int64_t>(c.bitrate) * granules_ * 576 / c.rate;
        int d = 1;
        for (int i = 1; i < 15; ++i)
            if (writer_.FrameBits(i, 0) <= target) d = i;
        const int f = writer_.FrameBits(d, 0);
        int l = granules_ * 256 - 1;
        if (f + 8 * l > 7680) l = std::max(0, (7680 - f) / 8);
        const int n = (8 * l + f - headerBits_ - 1) / std::max(1, f - headerBits_);
        info_.minOutputBytes = f * std::max(0, n - 1) / 8 + 2 * (writer_.FrameBits(std::min(14, d + 1), 1)) / 8 + 2;
        info_.paddingPeriod = frameSize_.PaddingPeriod() * granules_;
        info_.bytesPerPeriod = frameSize_.BytesPerPeriod();
        largestFrame_ = f + 8.0 * l - headerBits_;
        meanFrame_ =
            std::min(static_cast<double>(static_cast<int64_t>(c.bitrate) * 576 / c.rate * granules_ - headerBits_),
                     largestFrame_);
        meanGranule_ = meanFrame_ / granules_;
        rate_.Configure(c.rate, lowpass, c.bitrate / channels_, false, 0);
    }
    smoothedSbr_ = c.sbrPresent ? channels_ * (c.rate >= 32000 ? 24.0 : 96.0) : 0.0;
    if (c.stereoWidth && channels_ == 2 && !c.vbr) width_ = std::make_unique<StereoWidthControl>(c.rate, c.bitrate);
    intensityAllowed_ = channels_ == 2 && !c.intensityOff && !c.dualChannel && !c.vbr && c.bitrate <= 96000;
    intensity_.Configure(c.rate);
    input_.Init(144);
    for (int ch = 0; ch < 2; ++ch) {
        filterbank_[ch].Reset();
        transient_[ch].Reset();
    }
    stereo_.Reset();
    return true;
}

int Mp3Core::EncodeFrame(Mp3BlockState& state, int delay, const float* samples, int count, uint8_t* out, int outSize,
                         const uint8_t* ancillary, int* ancillaryLength, SbrSideData* sbr) {
    if (count < 0 || count > config_.inputChannels * 576 || count % config_.inputChannels != 0) return 1;
    if (outSize < info_.minOutputBytes || out == nullptr) return 2;
    int written = 0;
    writer_.ClearFrameSizes();
    int hostOffset = 0;
    int result = 0;
    if (count > 0) {
        result =
            EncodeOne(state, delay, samples, count, out, outSize, written, ancillary, ancillaryLength, hostOffset, sbr);
    } else if (!flushed_) {
        // Silence until the core delay has left the pipeline on a padding-period boundary, then every
        // pending frame.
        while (result == 0) {
            if (silentSamples_ >= kDelay && granule_ % std::max(1, info_.paddingPeriod) == 0) {
                result = writer_.Flush(out, outSize, written);
                if (result == 0 && !writer_.HasPendingFrames()) flushed_ = true;
                break;
            }
            result = EncodeOne(state, delay, nullptr, 0, out, outSize, written, ancillary, ancillaryLength, hostOffset,
                               nullptr);
            if (written > 0) break;
        }
    }
    state.written = written;
    return result;
}

int Mp3Core::EncodeOne(Mp3BlockState& state, int delay, const float* samples, int count, uint8_t* out, int outSize,
                       int& written, const uint8_t* ancillary, int* ancillaryLength, int& hostOffset,
                       SbrSideData* sbr) {
    const int in = config_.inputChannels;
    const int frames = count / in;
    for (int i = 0; i < 576; ++i) {
        float a = 0, b = 0;
        if (i < frames) {
            if (in == 1) {
                a = samples[i];
            } else if (channels_ == 1) {
                a = (samples[2 * i] + samples[2 * i + 1]) * 0.5f;
            } else {
                a = samples[2 * i];
                b = samples[2 * i + 1];
            }
        }
        work_[2 * i] = a;
        work_[2 * i + 1] = b;
    }
    input_.Write(work_, 576);
    if (frames < 576) silentSamples_ += 576 - frames;

    const int index = granule_ % granules_;
    if (index == 0) {
        modeExtension_ = 0;
        frameUsed_ = 0;
        deviation_ = 0;
        if (config_.vbr) {
            frameIndex_ = 14;
            framePadding_ = 0;
            reservoirBits_ = 8.0 * writer_.ReservoirBytes() + largestFrame_;
        } else {
            frameSize_.Next(frameIndex_, framePadding_);
            frameBits_ = writer_.FrameBits(frameIndex_, framePadding_);
            reservoirBits_ = 8.0 * writer_.ReservoirBytes() + frameBits_ - headerBits_;
        }
    }
    if (width_) width_->Apply(input_.WritablePointer(0, 0));
    Analyse(index);
    CodeGranule(index, state, delay, ancillary, ancillaryLength, hostOffset, sbr);
    int result = 0;
    if (index == granules_ - 1) result = FinishFrame(out, outSize, written, sbr);
    ++granule_;
    return result;
}

void Mp3Core::Analyse(int index) {
    int types[2] = {0, 0};
    for (int ch = 0; ch < channels_; ++ch) types[ch] = transient_[ch].Analyse(input_.ReadPointer(144, ch), 2);
    int type = types[0];
    if (channels_ == 2) {
        type = TransientDetector::Combine(types[0], types[1]);
        transient_[0].SetCodedType(type);
        transient_[1].SetCodedType(type);
    }
    const int* shortEdges = psycho_.Short().edges;
    for (int ch = 0; ch < channels_; ++ch) {
        ChannelAnalysis& a = analysis_[ch];
        a.blockType = type;
        filterbank_[ch].FilterGranule(input_.ReadPointer(0, ch), 2);
        filterbank_[ch].Transform(type, shortEdges, a.lines);
        if (type != 2) {
            for (int i = psycho_.Long().lowpassLine; i < 576; ++i) a.lines[i] = 0;
        } else {
            const BandLayout& s = psycho_.Short();
            for (int b = 0; b < s.count; ++b) {
                const int width = s.edges[b + 1] - s.edges[b];
                for (int w = 0; w < 3; ++w)
                    for (int k = 0; k < width; ++k)
                        if (s.edges[b] + k >= s.lowpassLine) a.lines[3 * s.edges[b] + w * width + k] = 0;
            }
        }
        psycho_.Analyse(ch, a);
    }
    const bool msAllowed =
        channels_ == 2 && !config_.msOff && !config_.dualChannel && (config_.vbr || config_.bitrate < 160000);
    if (intensityAllowed_) {
        original_[0] = analysis_[0];
        original_[1] = analysis_[1];
    }
    if (msAllowed || width_) psycho_.MidSideEnergies(analysis_[0], analysis_[1]);
    if (width_) {
        pairTotals_[0] = analysis_[0].totalEnergy;
        pairTotals_[1] = analysis_[1].totalEnergy;
        pairTotals_[2] = analysis_[1].msTotal[0];
        pairTotals_[3] = analysis_[1].msTotal[1];
    }
    if (msAllowed) {
        const BandLayout& layout = type == 2 ? psycho_.Short() : psycho_.Long();
        if (index == 0) msFrame_ = stereo_.Decide(analysis_[0], analysis_[1], layout, type == 2);
        if (msFrame_) {
            StereoDecision::Apply(analysis_[0], analysis_[1], layout);
            modeExtension_ |= 2;
        }
    }
    intensityInfo_ = IntensityInfo();
    if (intensityAllowed_) {
        const BandLayout& layout = type == 2 ? psycho_.Short() : psycho_.Long();
        if (index == 0 || intensityFrame_) {
            intensity_.Decide(original_[0], original_[1], layout, type == 2, intensityInfo_);
            if (index == 0) intensityFrame_ = intensityInfo_.active;
        }
        if (intensityFrame_) {
            modeExtension_ |= 1;
            if (intensityInfo_.active)
                intensity_.Apply(original_[0], original_[1], layout, type == 2, intensityInfo_, analysis_[0],
                                 analysis_[1]);
        }
    }
    input_.Advance(576);
}

void Mp3Core::CodeGranule(int index, Mp3BlockState& state, int delay, const uint8_t* ancillary, int* ancillaryLength,
                          int& hostOffset, SbrSideData* sbr) {
    GranuleRecord& rec = records_[index];
    rec.sbrBits = 0;
    rec.ancillaryBits = 0;
    rec.ancillaryBytes = 0;

    double pe = 0, channelPe[2] = {0, 0};
    bool anyShort = false;
    for (int ch = 0; ch < channels_; ++ch) {
        const ChannelAnalysis& a = analysis_[ch];
        const BandLayout& layout = a.blockType == 2 ? psycho_.Short() : psycho_.Long();
        rate_.Estimate(a, layout, layout.lowpassBand, estimates_[ch]);
        channelPe[ch] = estimates_[ch].totalPe;
        pe += channelPe[ch];
        anyShort = anyShort || a.blockType == 2;
    }
    if (width_)
        width_->Learn(pairTotals_[0], pairTotals_[1], pairTotals_[2], pairTotals_[3], channelPe[0], channelPe[1]);

    const int hostLeft = ancillaryLength && ancillary ? std::max(0, *ancillaryLength) : 0;
    int reserve = 0;
    if (state.sendValue)
        reserve = 8 * 7 + 16;
    else if (hostLeft > 0)
        reserve = std::min(8 * hostLeft + 16, 2176);

    const double hard =
        8.0 * writer_.ReservoirBytes() + (config_.vbr ? largestFrame_ : frameBits_ - headerBits_) - frameUsed_ - 8;
    // The SBR block travels in this granule's frame (one granule per frame at the SBR core rates); a
    // block the frame cannot hold is left out rather than overrun the reservoir.
    int sbrBits = 0;
    if (sbr != nullptr && sbr->HasData()) {
        sbrBits = granules_ == 1 ? FrameWriter::SbrBlockBits(*sbr) : 0;
        if (sbrBits > hard) sbrBits = 0;
        if (sbrBits == 0) sbr->Clear();
    }
    double total;
    double desired;
    if (config_.vbr) {
        const double cap = largestFrame_ / granules_;
        desired = rate_.DesiredVbr(estimates_, analysis_, channels_, cap - sbrBits);
        total = cap - 8;
    } else {
        const double fill = reservoirBits_ + deviation_ - meanFrame_;
        const double room = largestFrame_ - meanFrame_;
        desired = rate_.DesiredCbr(fill, room, meanGranule_ - smoothedSbr_, pe, anyShort);
        total = deviation_ + meanGranule_ + reservoirBits_ - meanFrame_;
    }
    total = std::min(total, hard) - reserve - sbrBits;
    if (total < reserve && reserve > 0) {
        reserve = 0;  // no room for ancillary data in this granule
    }
    total = std::max(0.0, total);

    if (desired < pe && pe > 0) {
        for (int ch = 0; ch < channels_; ++ch) {
            ChannelAnalysis& a = analysis_[ch];
            const BandLayout& layout = a.blockType == 2 ? psycho_.Short() : psycho_.Long();
            const bool side = ch == 1 && (modeExtension_ & 2) != 0;
            rate_.Adapt(a, layout, layout.lowpassBand, desired * channelPe[ch] / pe, estimates_[ch],
                        side ? &analysis_[0] : nullptr);
        }
    }

    int used = 0;
    for (int ch = 0; ch < channels_; ++ch) {
        double share = 0.15;
        if (pe > 0) share = 0.15 + (1.0 - 0.15 * channels_) * channelPe[ch] / pe;
        if (channels_ == 1) share = 1.0;
        int budget = static_cast<int>(share * 8.0 * std::floor(total / 8.0));
        const bool intensity = ch == 1 && intensityFrame_;
        // The right channel's intensity positions need room of their own.
        if (ch == 0 && intensityFrame_) budget = std::min(budget, static_cast<int>(total) - (anyShort ? 108 : 63));
        if (ch == 1)
            budget = config_.vbr ? std::min(budget, static_cast<int>(total) - used) : static_cast<int>(total) - used;
        budget = std::clamp(budget, 0, 4095);
        const ChannelAnalysis& a = analysis_[ch];
        const BandLayout& layout = a.blockType == 2 ? psycho_.Short() : psycho_.Long();
        quantizer_->CodeChannel(a, layout, estimates_[ch], budget, rec.ch[ch], intensity ? &intensityInfo_ : nullptr,
                                intensity ? rec.ch[0].ix : nullptr);
        used += rec.ch[ch].part2_3_length;
    }

    if (reserve > 0 && state.sendValue) {
        uint8_t* b = rec.ancillary;
        const uint32_t v = state.value;
        b[0] = 0xB0;
        b[1] = static_cast<uint8_t>((delay >> 8) & 0xFF);
        b[2] = static_cast<uint8_t>(delay & 0xFF);
        b[3] = static_cast<uint8_t>(v >> 24);
        b[4] = static_cast<uint8_t>(v >> 16);
        b[5] = static_cast<uint8_t>(v >> 8);
        b[6] = static_cast<uint8_t>(v);
        b[7] = Crc8(b, 7);
        rec.ancillaryBytes = 8;
        rec.ancillaryBits = 64;
        state.sendValue = false;
        state.value = 0;
    } else if (reserve > 0 && hostLeft > 0) {
        const int len = std::min({hostLeft, reserve / 8 - 2, kMaxAncillaryBytes - 2});
        if (len > 0) {
            int pos = 0;
            if (len < 15) {
                rec.ancillary[pos++] = static_cast<uint8_t>(0xA0 + len);
            } else {
                rec.ancillary[pos++] = 0xAF;
                rec.ancillary[pos++] = static_cast<uint8_t>(len - 15);
            }
            std::memcpy(rec.ancillary + pos, ancillary + hostOffset, static_cast<size_t>(len));
            rec.ancillaryBytes = pos + len;
            rec.ancillaryBits = 8 * rec.ancillaryBytes;
            hostOffset += len;
            *ancillaryLength -= len;
        }
    }
    rec.sbrBits = sbrBits;
    used += rec.ancillaryBits + rec.sbrBits;
    frameUsed_ += used;
    if (!config_.vbr) {
        deviation_ += meanGranule_ - used;
        rate_.LearnUsed(used);
    }
}

int Mp3Core::FinishFrame(uint8_t* out, int outSize, int& written, SbrSideData* sbr) {
    if (config_.vbr) {
        const int need = headerBits_ + frameUsed_ + 7 - 8 * writer_.ReservoirBytes();
        frameIndex_ = 14;
        for (int i = 1; i < 15; ++i)
            if (writer_.FrameBits(i, 0) >= need) {
                frameIndex_ = i;
                break;
            }
        framePadding_ = 0;
    }
    int sbrBits = 0;
    for (int g = 0; g < granules_; ++g) sbrBits += records_[g].sbrBits;
    if (config_.sbrPresent) smoothedSbr_ = 0.98 * smoothedSbr_ + 0.02 * sbrBits / granules_;
    return writer_.WriteFrame(records_, frameIndex_, framePadding_, modeExtension_, out, outSize, written,
                              sbrBits > 0 ? sbr : nullptr);
}

}  // namespace brannoc
