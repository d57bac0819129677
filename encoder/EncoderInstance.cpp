#include "encoder/EncoderInstance.h"

#include "encoder/StreamConfigs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace brannoc {

namespace {
constexpr char kBuildDate[] = "Dec 10 2026";
constexpr char kCoreVersion[] = "1.0.0";
constexpr char kSbrVersion[] = "1.0";
constexpr float kLargestSample = 32768.0f * 31.6227766f;

uint32_t DefaultBitrate(uint32_t rate, int channels) {
    switch (rate) {
        case 8000: return 8000;
        case 11025:
        case 12000: return 16000;
        case 16000: return 24000;
        case 22050:
        case 24000: return 32000u * channels;
        case 32000: return 24000u * channels;
        default: return 40000u * channels;
    }
}

int CodedChannels(int mode) { return mode == 2 || mode == 4 ? 2 : 1; }
}  // namespace

EncoderInstance::EncoderInstance(uint32_t rate, int channels, int format)
    : inputRate_(rate), inputChannels_(channels), format_(format), sampleBytes_(format ? 4 : 2) {}

EncoderInstance* EncoderInstance::Open(uint32_t inputRate, uint32_t inputChannels, uint32_t sampleFormat) {
    if (!IsValidRate(inputRate) || inputChannels < 1 || inputChannels > 2 || sampleFormat > 1) return nullptr;
    std::unique_ptr<EncoderInstance> e(
        new EncoderInstance(inputRate, static_cast<int>(inputChannels), static_cast<int>(sampleFormat)));
    e->advanced_.Option1 = e->advanced_.Option2 = e->advanced_.Option3 = 1;
    if (!SbrConfigInit(e->sbrConfig_, 2, 2.0f, 576)) return nullptr;
    StreamConfig cfg{};
    cfg.Bitrate = DefaultBitrate(inputRate, static_cast<int>(inputChannels));
    if (!ValidateStreamConfig(e->inputChannels_, inputRate, cfg, true)) return nullptr;
    if (cfg.CodecMode == 1) {
        if (!SbrConfigure(e->sbrConfig_, static_cast<int>(cfg.Bitrate), CodedChannels(cfg.ChannelMode),
                          static_cast<int>(cfg.OutRate / 2), 0))
            return nullptr;
        if (cfg.ChannelMode == 1 && inputChannels == 2) cfg.ChannelMode = 3;
    }
    e->config_ = cfg;
    e->advanced_.Option0 = 1;
    if (cfg.Bitrate == 0 || !e->Rebuild()) return nullptr;
    return e.release();
}

void EncoderInstance::DestroyStages() {
    core_.reset();
    converter_.reset();
    vbri_.reset();
    sbr_.reset();
    side_.reset();
    downsampler_.reset();
    sbrDelay_.reset();
    pcmBlock_.clear();
    stage_.clear();
    converted_.clear();
    downIn_.clear();
    sbrWork_.clear();
    pairs_.clear();
}

bool EncoderInstance::Rebuild() {
    DestroyStages();
    flushCounter_ = -1;
    flush_ = finished_ = false;
    frames_ = 0;
    vbriTotal_ = 0;
    stageFill_ = 0;
    sbrChain_ = config_.CodecMode == 1;
    const bool sbrMode = SbrMode();
    if (config_.ChannelMode == 3 && !sbrMode) return false;
    codedChannels_ = CodedChannels(config_.ChannelMode);
    const int coreRate = static_cast<int>(sbrMode ? config_.OutRate / 2 : config_.OutRate);
    pcmBlock_.assign(static_cast<size_t>(codedChannels_ * 576), 0.0f);
    // SBR mode takes one core granule at full rate: 1152 frames, two values each for two coded
    // channels and for mode 3 (mid and side are formed later), else one.
    fullValues_ = sbrMode ? (codedChannels_ == 2 || config_.ChannelMode == 3 ? 2 : 1) : codedChannels_;
    downmix_ = inputChannels_ == 2 && fullValues_ == 1;
    const bool needConverter = inputRate_ != config_.OutRate || (!sbrMode && advanced_.Option0 == 2);

    if (sbrMode && inputRate_ >= 32000) {
        SbrConfig sbrConfig = sbrConfig_;
        sbrConfig.mode3 = config_.ChannelMode == 3 ? 1 : 0;
        if (config_.ChannelMode == 4) sbrConfig.stereoMode = 1;  // dual channel: never coupled
        sbr_ = SbrEncoderCreate(sbrConfig);
        if (!sbr_) {
            DestroyStages();
            return false;
        }
        side_ = std::make_unique<SbrSideData>();
        SbrAttachSideData(*sbr_, *side_);
        advanced_.LowPass = side_->crossoverHz;
    }

    Mp3CoreConfig c{};
    c.rate = coreRate;
    c.bitrate = config_.VbrQuality ? 0 : static_cast<int32_t>(config_.Bitrate);
    c.inputChannels = codedChannels_;
    c.codedChannels = codedChannels_;
    c.lowpass = advanced_.LowPass;
    c.intensityOff = !advanced_.Option1;
    c.msOff = !advanced_.Option2;
    c.dualChannel = config_.ChannelMode == 4;
    c.vbr = config_.VbrQuality != 0;
    c.quality = static_cast<int32_t>(config_.VbrQuality);
    c.refinementOn = advanced_.Option0 != 0;
    c.refinementLevel = advanced_.Option0;
    c.paddingMode = advanced_.PaddingMode;
    c.crc = advanced_.Crc != 0;
    c.privateBit = advanced_.Private != 0;
    c.copyright = advanced_.Copyright != 0;
    c.original = advanced_.Original != 0;
    c.stereoWidth =
        !c.vbr && advanced_.Option3 && codedChannels_ == 2 && config_.Bitrate <= 48000 && config_.ChannelMode != 4;
    c.sbrPresent = sbr_ ? 1 : 0;
    if (c.vbr) c.intensityOff = c.sbrPresent ? 0 : 1;
    if (Mp3Core::Create(c, core_) != 0) {
        DestroyStages();
        return false;
    }
    info_ = core_->Info();
    advanced_.LowPass = sbr_ ? SbrStopFrequencyOf(*sbr_) : info_.lowpass;
    advanced_.EncoderDelay = info_.delay;
    converterDelay_ = 0;

    if (sbrMode && !BuildSbrStages()) {
        DestroyStages();
        return false;
    }
    const int fullBlock = 1152 * fullValues_;
    if (needConverter) {
        const float cutoff = advanced_.Option0 == 2 && !sbrMode
                                 ? info_.lowpass
                                 : static_cast<float>(std::min<uint32_t>(config_.OutRate, inputRate_)) * 0.5f;
        const int outBlock = sbrMode ? fullBlock : codedChannels_ * 576;
        converter_ = Resampler::Create(fullValues_, outBlock, static_cast<int>(inputRate_),
                                       static_cast<int>(config_.OutRate), cutoff, 0.1f, false);
        if (!converter_) {
            DestroyStages();
            return false;
        }
        if (sbrMode) converted_.assign(static_cast<size_t>(outBlock), 0.0f);
        stageBlock_ = converter_->InputBlock();
        stage_.assign(static_cast<size_t>(stageBlock_ + 64), 0.0f);
        const int o = converter_->Delay();
        converterDelay_ = static_cast<int>(inputRate_ / static_cast<uint32_t>(coreRate)) * converterDelay_ + o;
        advanced_.EncoderDelay += static_cast<int32_t>(static_cast<int64_t>(o) * config_.OutRate / inputRate_);
    } else if (sbrMode) {
        stageBlock_ = fullBlock;
        stage_.assign(static_cast<size_t>(stageBlock_ + 64), 0.0f);
    } else {
        stageBlock_ = codedChannels_ * 576;
    }
    blockBytes_ = stageBlock_ * sampleBytes_ * (downmix_ ? 2 : 1);
    wantedBytes_ = blockBytes_;
    if (c.vbr) {
        vbri_ = std::make_unique<VbriWriter>(coreRate, codedChannels_, sbr_ != nullptr);
        vbri_->SetInfo(advanced_.EncoderDelay, static_cast<int>(config_.VbrQuality));
    }
    return true;
}

bool EncoderInstance::BuildSbrStages() {
    const int coreRate = static_cast<int>(config_.OutRate / 2);
    // The downsampler cuts a little above the crossover, or at the core's Nyquist frequency with the
    // half-band filter when refinement is off and the crossover lies well below it.
    float cutoff = info_.lowpass;
    float width = 0.1f;
    bool halfBand = false;
    if (sbr_) {
        const float above = cutoff * 1.15f;
        if (advanced_.Option0 != 0) {
            cutoff = above;
        } else if (cutoff <= static_cast<float>(coreRate) * 0.5f * 0.782f) {
            cutoff = static_cast<float>(coreRate) * 0.5f;
            width = 0.218f;
            halfBand = true;
        } else {
            cutoff = above;
        }
    }
    const int channels = config_.ChannelMode == 3 ? 1 : codedChannels_;
    downsampler_ = Resampler::Create(channels, channels * 576, static_cast<int>(config_.OutRate), coreRate, cutoff,
                                     width, halfBand);
    if (!downsampler_ || downsampler_->InputBlock() != channels * 1152) return false;
    downIn_.assign(static_cast<size_t>(downsampler_->InputBlock() + 64), 0.0f);
    const int n = downsampler_->Delay();
    advanced_.EncoderDelay += n + 2163;
    converterDelay_ = n;
    if (sbr_) {
        // The SBR encoder sees the full-rate signal as late as the core codes it.
        const int p = info_.delay + static_cast<int>(static_cast<int64_t>(n) * coreRate / config_.OutRate);
        sbrDelay_ = std::make_unique<DelayLine>(6 * 1152, 2 * 1152);
        sbrDelay_->Init(2 * p - 766);
        sbrWork_.assign(2 * 1152, 0.0f);
        pairs_.assign(2 * 1152, 0.0f);
    }
    return true;
}

bool EncoderInstance::RunSbrBlock(const float* full) {
    const bool mode3 = config_.ChannelMode == 3;
    if (sbr_) {
        for (int i = 0; i < 1152; ++i) {
            float a = full[fullValues_ * i], b = 0.0f;
            if (fullValues_ == 2) {
                b = full[2 * i + 1];
                if (mode3) {
                    const float l = a;
                    a = (l + b) * 0.5f;
                    b = (l - b) * 0.5f;
                }
            }
            pairs_[2 * static_cast<size_t>(i)] = a;
            pairs_[2 * static_cast<size_t>(i) + 1] = b;
        }
        sbrDelay_->Write(pairs_.data(), 1152);
    }
    const int values = downsampler_->InputBlock();
    if (mode3) {
        for (int i = 0; i < 1152; ++i) downIn_[static_cast<size_t>(i)] = (full[2 * i] + full[2 * i + 1]) * 0.5f;
    } else {
        std::copy(full, full + values, downIn_.begin());
    }
    int inCount = values, outCount = 0;
    downsampler_->Process(downIn_.data(), pcmBlock_.data(), inCount, outCount);
    if (outCount < static_cast<int>(pcmBlock_.size())) std::fill(pcmBlock_.begin() + outCount, pcmBlock_.end(), 0.0f);
    if (!sbr_) return true;
    for (int ch = 0; ch < 2; ++ch) {
        const float* p = sbrDelay_->ReadPointer(0, ch);
        for (int i = 0; i < 1152; ++i) sbrWork_[static_cast<size_t>(ch * 1152 + i)] = p[2 * i];
    }
    sbrDelay_->Advance(1152);
    return SbrEncodeFrame(sbr_.get(), *side_, sbrWork_.data());
}

bool EncoderInstance::ConvertInputBlock(const uint8_t* src, int bytes, int& consumed, bool flush) {
    float* dst = converter_ || SbrMode() ? stage_.data() : pcmBlock_.data();
    const int perValue = (downmix_ ? 2 : 1) * sampleBytes_;
    const int take = std::min(stageBlock_ - stageFill_, bytes / perValue);
    for (int i = 0; i < take; ++i) {
        const uint8_t* p = src + static_cast<size_t>(i) * perValue;
        float v[2];
        for (int k = 0; k < (downmix_ ? 2 : 1); ++k) {
            if (format_ == 0) {
                int16_t s;
                std::memcpy(&s, p + k * 2, 2);
                v[k] = static_cast<float>(s);
            } else {
                std::memcpy(&v[k], p + k * 4, 4);
            }
        }
        float value = downmix_ ? (v[0] + v[1]) * 0.5f : v[0];
        // Float input is taken as it stands, except what no stream can carry: NaN and infinities
        // become silence, and levels are held to 30 dB above full scale.
        if (!std::isfinite(value)) value = 0.0f;
        dst[stageFill_ + i] = std::clamp(value, -kLargestSample, kLargestSample);
    }
    stageFill_ += take;
    consumed = take * perValue;
    if (flush && stageFill_ < stageBlock_) {
        std::fill(dst + stageFill_, dst + stageBlock_, 0.0f);
        stageFill_ = stageBlock_;
    }
    wantedBytes_ = (stageBlock_ - stageFill_) * perValue;
    if (stageFill_ == stageBlock_) {
        wantedBytes_ = blockBytes_;
        return true;
    }
    return false;
}

int32_t EncoderInstance::Encode(const void* pcm, int32_t pcmBytes, int32_t* consumed, uint8_t* out, int32_t outSize,
                                const uint8_t* ancillary, int32_t* ancillaryLength) {
    if (finished_) return 0;
    if (!core_) return -1;
    const int frameBytes = inputChannels_ * sampleBytes_;
    if (pcmBytes < 0 || pcmBytes % frameBytes != 0 || (pcmBytes > 0 && pcm == nullptr)) return -1;
    // The output room is checked before any input is taken, so that a refusal loses nothing.
    if (out == nullptr || outSize < info_.minOutputBytes) return -1;
    if (consumed) *consumed = 0;
    if (pcmBytes == 0) flush_ = true;
    if (flush_ && flushCounter_ < 0) {
        const int waiting = blockBytes_ - wantedBytes_;
        flushCounter_ = (converterDelay_ * sampleBytes_ + waiting + blockBytes_ - 1) / blockBytes_;
    }
    const uint8_t* src = static_cast<const uint8_t*>(pcm);
    int taken = 0;
    bool completed = false;
    const int passes = flush_ ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        int got = 0;
        const bool full = ConvertInputBlock(src ? src + taken : nullptr, flush_ ? 0 : pcmBytes - taken, got, flush_);
        taken += got;
        if (consumed) *consumed = taken;
        if (!full) {
            if (!completed) return 0;
            break;
        }
        const bool sbrMode = SbrMode();
        if (converter_) {
            std::vector<float>& dst = sbrMode ? converted_ : pcmBlock_;
            int inCount = stageBlock_, outCount = 0;
            converter_->Process(stage_.data(), dst.data(), inCount, outCount);
            const int leftover = stageBlock_ - inCount;
            std::memmove(stage_.data(), stage_.data() + inCount, static_cast<size_t>(leftover) * sizeof(float));
            stageFill_ = leftover;
            wantedBytes_ = (stageBlock_ - leftover) * sampleBytes_ * (downmix_ ? 2 : 1);
            if (outCount < static_cast<int>(dst.size())) std::fill(dst.begin() + outCount, dst.end(), 0.0f);
        } else {
            stageFill_ = 0;
        }
        completed = true;
        const int count = flushCounter_ == 0 ? 0 : codedChannels_ * 576;
        if (sbrMode && count > 0 && !RunSbrBlock(converter_ ? converted_.data() : stage_.data())) return -1;

        Mp3BlockState state;
        if (advanced_.TotalLength != 0) {
            state.sendValue = true;
            if (advanced_.TotalLength == 0xFFFFFFFFu) {
                state.value = 0xFFFFFFFFu;
            } else {
                const double ratio = static_cast<double>(inputRate_) / config_.OutRate;
                state.value = static_cast<uint32_t>(std::llround(advanced_.TotalLength / ratio));
            }
        }
        const int result = core_->EncodeFrame(state, advanced_.EncoderDelay, pcmBlock_.data(), count, out, outSize,
                                              ancillary, ancillaryLength, side_.get());
        if (result != 0) return -1;
        if (advanced_.TotalLength != 0 && !state.sendValue) advanced_.TotalLength = 0;
        ++frames_;
        if (vbri_) {
            for (int size : core_->FrameSizes()) {
                vbri_->Record(vbriTotal_, size);
                vbriTotal_ += static_cast<uint32_t>(size);
            }
        }
        if (flush_ && flushCounter_ > 0) --flushCounter_;
        if (state.written > 0) return state.written;
        if (!flush_) return 0;
    }
    if (flush_ && flushCounter_ == 0) finished_ = true;
    return 0;
}

const StreamConfigList* EncoderInstance::EnumConfigs(uint32_t rate, int32_t mode, int32_t codec, uint32_t bitrate,
                                                     uint32_t quality, int32_t includeMono, int32_t includeMode3) {
    ConfigFilter f;
    f.rate = rate;
    f.channelMode = mode;
    f.codecMode = codec;
    f.bitrate = bitrate;
    f.quality = quality;
    f.includeMono = includeMono != 0;
    f.includeMode3 = includeMode3 != 0;
    if (mode < 0) {
        list_.Count = 0;
        return &list_;
    }
    list_.Count = static_cast<uint32_t>(ListStreamConfigs(inputRate_, inputChannels_, 250, list_.Configs, f));
    return &list_;
}

int32_t EncoderInstance::SetConfig(StreamConfig* config) {
    if (!config) return 0;
    StreamConfig cfg = *config;
    const bool asGiven =
        cfg.Bitrate == 0 || cfg.VbrQuality != 0 || (cfg.OutRate != 0 && cfg.ChannelMode != 0 && cfg.CodecMode != 0);
    if (asGiven) {
        if (cfg.ChannelMode < 0 || cfg.ChannelMode > 4 || cfg.CodecMode < 0 || cfg.CodecMode > 2) return 0;
        if (CodedChannels(cfg.ChannelMode) > inputChannels_) return 0;
        if (cfg.OutRate > inputRate_) return 0;
        if (cfg.ChannelMode == 3 && inputChannels_ != 2) return 0;
        if (cfg.OutRate != 0 && !IsValidRate(cfg.OutRate)) return 0;
        if (cfg.VbrQuality == 0 && (cfg.Bitrate < 8000 || cfg.Bitrate > 320000)) return 0;
    } else {
        StreamConfig trial = cfg;
        if (!ValidateStreamConfig(inputChannels_, inputRate_, trial, true)) {
            if (cfg.ChannelMode != 0) return 0;
            // Left open, the channel mode may still fall back: to one coded channel from two with
            // SBR, or to mono.
            const int32_t fallback = trial.CodecMode != 2 ? 3 : 1;
            trial = cfg;
            trial.ChannelMode = fallback;
            if (!ValidateStreamConfig(inputChannels_, inputRate_, trial, true)) {
                trial = cfg;
                trial.ChannelMode = 1;
                if (!ValidateStreamConfig(inputChannels_, inputRate_, trial, true)) return 0;
            }
        }
        cfg = trial;
    }
    if (cfg.VbrQuality != 0) {
        if (cfg.VbrQuality > 100) return 0;
        if (cfg.CodecMode == 0) cfg.CodecMode = inputRate_ >= 32000 ? 1 : 2;
        if (cfg.OutRate == 0) {
            cfg.OutRate = inputRate_;
            if (cfg.CodecMode == 1 && inputRate_ < 32000) return 0;
        }
        if (cfg.OutRate < 32000) cfg.CodecMode = 2;
        if (cfg.ChannelMode == 0) cfg.ChannelMode = inputChannels_ == 2 ? 2 : 1;
    }
    // An SBR stream needs a full rate whose half is a core rate.
    if (cfg.CodecMode == 1 && (cfg.OutRate < 32000 || !IsValidRate(cfg.OutRate))) return 0;
    SbrConfig sbr;
    if (cfg.CodecMode == 1) {
        SbrConfigInit(sbr, 2, 2.0f, 576);
        if (!SbrConfigure(sbr, static_cast<int>(cfg.Bitrate), CodedChannels(cfg.ChannelMode),
                          static_cast<int>(cfg.OutRate / 2), static_cast<int>(cfg.VbrQuality)))
            return 0;
    } else if (cfg.ChannelMode == 3) {
        return 0;
    }
    // Refusals above keep the running chain as it is.
    config_ = cfg;
    if (cfg.CodecMode == 1) sbrConfig_ = sbr;
    advanced_.EncoderDelay = 0;
    advanced_.LowPass = 0;
    *config = cfg;
    return Rebuild() ? 1 : 0;
}

int32_t EncoderInstance::GetConfig(StreamConfig* config) const {
    if (!config) return 0;
    *config = config_;
    return 1;
}

int32_t EncoderInstance::SetAdvanced(const AdvancedSettings* s) {
    if (!s) return 0;
    if (s->PaddingMode < 0 || s->PaddingMode > 2 || s->Option0 < 0 || s->Option0 > 2) return 0;
    // A negative or non-finite lowpass would turn into negative band indexes.
    if (!std::isfinite(s->LowPass) || s->LowPass < 0 || s->LowPass > config_.OutRate / 2.0f) return 0;
    advanced_ = *s;
    return Rebuild() ? 1 : 0;
}

int32_t EncoderInstance::GetVbriHeader(uint8_t* buffer, int32_t size) const {
    if (!vbri_ || config_.VbrQuality == 0) return 0;
    const int need = vbri_->Size();
    if (buffer != nullptr && size >= need)
        vbri_->Build(buffer, advanced_.Private != 0, advanced_.Copyright != 0, advanced_.Original != 0);
    return need;
}

int32_t EncoderInstance::GetVersion(char* buffer80) const {
    if (!buffer80) return 0;
    std::memset(buffer80, 0, 80);
    std::snprintf(buffer80, 40, "%s sbr: %s", kBuildDate, kBuildDate);
    std::snprintf(buffer80 + 40, 40, "%s sbr: %s", kCoreVersion, kSbrVersion);
    return 1;
}

int32_t EncoderInstance::GetBlockSize(int32_t* bytes) const {
    if (!bytes || !core_) return 0;
    *bytes = wantedBytes_;
    return 1;
}

}  // namespace brannoc
