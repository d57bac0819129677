#include "platform/ffmpeg/AudioConverter.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace kelvar::platform {
namespace {

// The sub-format GUID of an extensible format record names a plain format tag in its first two
// bytes when the rest is the base GUID 0000xxxx-0000-0010-8000-00AA00389B71.
constexpr uint8_t kBaseGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t EffectiveTag(const TConvertFormat& format) {
    if (format.FormatTag != FormatTag::Extensible) return format.FormatTag;
    // valid bits (2), channel mask (4), then the sub-format GUID (16)
    if (format.Extra.size() < 22) return 0;
    const uint8_t* guid = format.Extra.data() + 6;
    if (std::memcmp(guid + 2, kBaseGuidTail, sizeof(kBaseGuidTail)) != 0) return 0;
    return static_cast<uint16_t>(guid[0] | (guid[1] << 8));
}

// How a linear (PCM or float) format is laid out, as a sample format of the resampler.
struct TSampleLayout {
    AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
    int BytesPerSample = 0;  // in the caller's data: 3 for packed 24-bit
};

// 0 when the format is a linear one we handle; otherwise the result code for it.
int SampleLayoutOf(const TConvertFormat& format, TSampleLayout& sampleLayout) {
    const uint16_t tag = EffectiveTag(format);
    if (tag == FormatTag::Pcm) {
        switch (format.BitsPerSample) {
            case 8: sampleLayout = {AV_SAMPLE_FMT_U8, 1}; break;
            case 16: sampleLayout = {AV_SAMPLE_FMT_S16, 2}; break;
            case 24: sampleLayout = {AV_SAMPLE_FMT_S32, 3}; break;
            case 32: sampleLayout = {AV_SAMPLE_FMT_S32, 4}; break;
            default: return ConvertResult::NoDriver;
        }
    } else if (tag == FormatTag::IeeeFloat) {
        switch (format.BitsPerSample) {
            case 32: sampleLayout = {AV_SAMPLE_FMT_FLT, 4}; break;
            case 64: sampleLayout = {AV_SAMPLE_FMT_DBL, 8}; break;
            default: return ConvertResult::NoDriver;
        }
    } else {
        return ConvertResult::NoDriver;
    }
    if (format.Channels == 0 || format.SamplesPerSec == 0) return ConvertResult::InvalidParam;
    if (format.BlockAlign != format.Channels * sampleLayout.BytesPerSample) return ConvertResult::InvalidParam;
    return ConvertResult::Ok;
}

AVCodecID CodecOf(uint16_t tag) {
    switch (tag) {
        case FormatTag::MsAdpcm: return AV_CODEC_ID_ADPCM_MS;
        case FormatTag::ImaAdpcm: return AV_CODEC_ID_ADPCM_IMA_WAV;
        case FormatTag::ALaw: return AV_CODEC_ID_PCM_ALAW;
        case FormatTag::MuLaw: return AV_CODEC_ID_PCM_MULAW;
        case FormatTag::YamahaAdpcm: return AV_CODEC_ID_ADPCM_YAMAHA;
        case FormatTag::TrueSpeech: return AV_CODEC_ID_TRUESPEECH;
        case FormatTag::Gsm610: return AV_CODEC_ID_GSM_MS;
        case FormatTag::Mpeg: return AV_CODEC_ID_MP2;
        case FormatTag::MpegLayer3: return AV_CODEC_ID_MP3;
        default: return AV_CODEC_ID_NONE;
    }
}

constexpr int kMaxChannels = 8;

class TAudioConverter final : public IAudioConverter {
public:
    ~TAudioConverter() override { Release(); }

    int Open(const TConvertFormat& source, const TConvertFormat& destination);

    int Size(uint32_t sourceBytes, uint32_t& destBytes) override;
    int PrepareHeader(TConvertHeader& header) override;
    int Convert(TConvertHeader& header, uint32_t flags) override;
    int UnprepareHeader(TConvertHeader& header) override;
    uint32_t HeldOutput() const override { return static_cast<uint32_t>(FHeld.size() - FHeldRead); }
    int Close() override;

private:
    int FeedLinear(const uint8_t* data, size_t length);
    int FeedCompressed(const uint8_t* data, size_t length);
    int DecodePacket(const uint8_t* data, int size);
    int Resample(const uint8_t* const* planes, int samples, AVSampleFormat format, const AVChannelLayout& layout,
                 int rate);
    int ConfigureResampler(AVSampleFormat format, const AVChannelLayout& layout, int rate);
    void Release();

    bool FOpen = false;
    TConvertFormat FSource;
    TSampleLayout FIn;  // linear sources only
    TSampleLayout FOut;
    int FOutChannels = 0;
    int FOutRate = 0;
    AVChannelLayout FOutLayout{};

    AVCodecContext* FCodec = nullptr;
    AVCodecParserContext* FParser = nullptr;
    AVPacket* FPacket = nullptr;
    AVFrame* FFrame = nullptr;

    SwrContext* FSwr = nullptr;
    AVSampleFormat FSwrFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout FSwrLayout{};
    int FSwrRate = 0;

    std::vector<uint8_t> FPending;  // input short of a whole frame or codec block
    std::vector<uint8_t> FWidened;  // 24-bit input widened to 32 bits
    std::vector<uint8_t> FScratch;  // resampler output before it is packed into FHeld
    std::vector<uint8_t> FHeld;     // output not yet handed out
    size_t FHeldRead = 0;
};

int TAudioConverter::Open(const TConvertFormat& source, const TConvertFormat& destination) {
    int result = SampleLayoutOf(destination, FOut);
    if (result != ConvertResult::Ok) {
        // Converting into a compressed format isn't offered.
        return result == ConvertResult::NoDriver ? ConvertResult::NotPossible : result;
    }
    if (destination.Channels > kMaxChannels) return ConvertResult::NoDriver;
    FOutChannels = destination.Channels;
    FOutRate = static_cast<int>(destination.SamplesPerSec);
    av_channel_layout_default(&FOutLayout, FOutChannels);
    FSource = source;

    if (source.Channels == 0 || source.SamplesPerSec == 0) return ConvertResult::InvalidParam;
    if (source.Channels > kMaxChannels) return ConvertResult::NoDriver;

    const uint16_t tag = EffectiveTag(source);
    if (tag == FormatTag::Pcm || tag == FormatTag::IeeeFloat) {
        result = SampleLayoutOf(source, FIn);
        if (result != ConvertResult::Ok) return result;
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, source.Channels);
        result = ConfigureResampler(FIn.SampleFormat, layout, static_cast<int>(source.SamplesPerSec));
        av_channel_layout_uninit(&layout);
        if (result != ConvertResult::Ok) return result;
        FOpen = true;
        return ConvertResult::Ok;
    }

    const AVCodecID id = CodecOf(tag);
    const AVCodec* decoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!decoder) return ConvertResult::NoDriver;
    const bool framed = id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3;
    if (!framed && source.BlockAlign == 0) return ConvertResult::InvalidParam;

    FCodec = avcodec_alloc_context3(decoder);
    FPacket = av_packet_alloc();
    FFrame = av_frame_alloc();
    if (!FCodec || !FPacket || !FFrame) return ConvertResult::NoMemory;
    FCodec->sample_rate = static_cast<int>(source.SamplesPerSec);
    av_channel_layout_default(&FCodec->ch_layout, source.Channels);
    FCodec->block_align = source.BlockAlign;
    FCodec->bits_per_coded_sample = source.BitsPerSample;
    FCodec->bit_rate = static_cast<int64_t>(source.AvgBytesPerSec) * 8;
    if (!source.Extra.empty()) {
        FCodec->extradata = static_cast<uint8_t*>(av_mallocz(source.Extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!FCodec->extradata) return ConvertResult::NoMemory;
        std::memcpy(FCodec->extradata, source.Extra.data(), source.Extra.size());
        FCodec->extradata_size = static_cast<int>(source.Extra.size());
    }
    if (avcodec_open2(FCodec, decoder, nullptr) < 0) return ConvertResult::NotPossible;
    if (framed) {
        FParser = av_parser_init(id);
        if (!FParser) return ConvertResult::NoDriver;
    }
    FOpen = true;
    return ConvertResult::Ok;
}

int TAudioConverter::Size(uint32_t sourceBytes, uint32_t& destBytes) {
    if (!FOpen) return ConvertResult::InvalidHandle;
    const uint64_t bytes = FPending.size() + static_cast<uint64_t>(sourceBytes);
    int64_t inFrames = 0;
    if (!FCodec) {
        inFrames = static_cast<int64_t>(bytes / FSource.BlockAlign);
    } else {
        // Compressed: estimate from the byte rate, with room for one more block or MPEG frame.
        const uint64_t withBlock = bytes + FSource.BlockAlign;
        if (FSource.AvgBytesPerSec > 0) {
            inFrames = static_cast<int64_t>(withBlock * FSource.SamplesPerSec / FSource.AvgBytesPerSec);
            inFrames += inFrames / 8;
        } else {
            inFrames = static_cast<int64_t>(withBlock * 8 / FSource.Channels);
        }
        inFrames += 2304;
    }
    int64_t outFrames = 0;
    if (FSwr && !FCodec) {
        outFrames = swr_get_out_samples(FSwr, static_cast<int>(std::min<int64_t>(inFrames, INT32_MAX / 2)));
    } else {
        const int inRate = FSwr ? FSwrRate : static_cast<int>(FSource.SamplesPerSec);
        outFrames = av_rescale_rnd(inFrames, FOutRate, inRate, AV_ROUND_UP) + 64;
        if (FSwr) outFrames += swr_get_out_samples(FSwr, 0);
    }
    if (outFrames < 0) return ConvertResult::NotPossible;
    const uint64_t total = HeldOutput() + static_cast<uint64_t>(outFrames) * FOutChannels * FOut.BytesPerSample;
    destBytes = static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
    return ConvertResult::Ok;
}

int TAudioConverter::PrepareHeader(TConvertHeader& header) {
    if (!FOpen) return ConvertResult::InvalidHandle;
    if (header.Prepared) return ConvertResult::Busy;
    if ((!header.Source && header.SourceLength > 0) || !header.Dest || header.DestLength == 0) {
        return ConvertResult::InvalidParam;
    }
    header.Prepared = true;
    return ConvertResult::Ok;
}

int TAudioConverter::UnprepareHeader(TConvertHeader& header) {
    if (!FOpen) return ConvertResult::InvalidHandle;
    if (!header.Prepared) return ConvertResult::Unprepared;
    header.Prepared = false;
    return ConvertResult::Ok;
}

int TAudioConverter::Convert(TConvertHeader& header, uint32_t flags) {
    if (!FOpen) return ConvertResult::InvalidHandle;
    if (flags & ~(ConvertFlags::BlockAlign | ConvertFlags::Start)) return ConvertResult::InvalidFlag;
    if (!header.Prepared) return ConvertResult::Unprepared;
    header.SourceUsed = 0;
    header.DestUsed = 0;
    if (header.SourceLength > 0) {
        const int result = FCodec ? FeedCompressed(header.Source, header.SourceLength)
                                  : FeedLinear(header.Source, header.SourceLength);
        if (result != ConvertResult::Ok) return result;
    }
    header.SourceUsed = header.SourceLength;

    const size_t count = std::min<size_t>(FHeld.size() - FHeldRead, header.DestLength);
    if (count > 0) std::memcpy(header.Dest, FHeld.data() + FHeldRead, count);
    FHeldRead += count;
    if (FHeldRead == FHeld.size()) {
        FHeld.clear();
        FHeldRead = 0;
    }
    header.DestUsed = static_cast<uint32_t>(count);
    return ConvertResult::Ok;
}

int TAudioConverter::Close() {
    if (!FOpen) return ConvertResult::InvalidHandle;
    Release();
    return ConvertResult::Ok;
}

void TAudioConverter::Release() {
    FOpen = false;
    if (FParser) av_parser_close(FParser);
    FParser = nullptr;
    avcodec_free_context(&FCodec);
    av_packet_free(&FPacket);
    av_frame_free(&FFrame);
    swr_free(&FSwr);
    av_channel_layout_uninit(&FSwrLayout);
    av_channel_layout_uninit(&FOutLayout);
    FPending.clear();
    FHeld.clear();
    FHeldRead = 0;
}

int TAudioConverter::FeedLinear(const uint8_t* data, size_t length) {
    const size_t frame = FSource.BlockAlign;
    const bool fromPending = !FPending.empty();
    const uint8_t* whole = data;
    size_t wholeBytes = 0;
    if (fromPending) {
        FPending.insert(FPending.end(), data, data + length);
        whole = FPending.data();
        wholeBytes = FPending.size() / frame * frame;
    } else {
        wholeBytes = length / frame * frame;
    }
    int result = ConvertResult::Ok;
    if (wholeBytes > 0) {
        if (FIn.BytesPerSample == 3) {
            const size_t count = wholeBytes / 3;
            FWidened.resize(count * 4);
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* s = whole + i * 3;
                const uint32_t v = (uint32_t(s[0]) << 8) | (uint32_t(s[1]) << 16) | (uint32_t(s[2]) << 24);
                std::memcpy(FWidened.data() + i * 4, &v, 4);
            }
            whole = FWidened.data();
        }
        const uint8_t* planes[1] = {whole};
        result = Resample(planes, static_cast<int>(wholeBytes / frame), FSwrFormat, FSwrLayout, FSwrRate);
    }
    if (fromPending) {
        FPending.erase(FPending.begin(), FPending.begin() + static_cast<std::ptrdiff_t>(wholeBytes));
    } else {
        FPending.assign(data + wholeBytes, data + length);
    }
    return result;
}

int TAudioConverter::FeedCompressed(const uint8_t* data, size_t length) {
    const size_t kept = FPending.size();
    FPending.resize(kept + length + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(FPending.data() + kept, data, length);
    std::memset(FPending.data() + kept + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    const size_t total = kept + length;
    size_t used = 0;
    int result = ConvertResult::Ok;

    if (FParser) {
        // The parser keeps a partial frame itself.
        while (used < total && result == ConvertResult::Ok) {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int eaten = av_parser_parse2(FParser, FCodec, &out, &outSize, FPending.data() + used,
                                               static_cast<int>(total - used), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (eaten < 0) return ConvertResult::NotPossible;
            used += static_cast<size_t>(eaten);
            if (outSize > 0) result = DecodePacket(out, outSize);
            if (eaten == 0 && outSize == 0) break;
        }
        used = total;
    } else {
        const size_t block = FSource.BlockAlign;
        // G.711 blocks are single frames: hand them over in bulk.
        const bool bulk = FCodec->codec_id == AV_CODEC_ID_PCM_ALAW || FCodec->codec_id == AV_CODEC_ID_PCM_MULAW;
        while (total - used >= block && result == ConvertResult::Ok) {
            const size_t size = bulk ? (total - used) / block * block : block;
            result = DecodePacket(FPending.data() + used, static_cast<int>(size));
            used += size;
        }
    }
    FPending.erase(FPending.begin(), FPending.begin() + static_cast<std::ptrdiff_t>(used));
    FPending.resize(total - used);
    return result;
}

int TAudioConverter::DecodePacket(const uint8_t* data, int size) {
    FPacket->data = const_cast<uint8_t*>(data);
    FPacket->size = size;
    int ret = avcodec_send_packet(FCodec, FPacket);
    FPacket->data = nullptr;
    FPacket->size = 0;
    // A damaged block is skipped, as a player skips a damaged frame; the stream goes on.
    if (ret == AVERROR_INVALIDDATA) return ConvertResult::Ok;
    if (ret < 0) return ConvertResult::NotPossible;
    for (;;) {
        ret = avcodec_receive_frame(FCodec, FFrame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF || ret == AVERROR_INVALIDDATA) return ConvertResult::Ok;
        if (ret < 0) return ConvertResult::NotPossible;
        AVChannelLayout layout{};
        if (FFrame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || FFrame->ch_layout.nb_channels == 0) {
            av_channel_layout_default(
                &layout, FFrame->ch_layout.nb_channels > 0 ? FFrame->ch_layout.nb_channels : FSource.Channels);
        } else {
            av_channel_layout_copy(&layout, &FFrame->ch_layout);
        }
        const int rate = FFrame->sample_rate > 0 ? FFrame->sample_rate : static_cast<int>(FSource.SamplesPerSec);
        const int result = Resample(const_cast<const uint8_t* const*>(FFrame->extended_data), FFrame->nb_samples,
                                    static_cast<AVSampleFormat>(FFrame->format), layout, rate);
        av_channel_layout_uninit(&layout);
        av_frame_unref(FFrame);
        if (result != ConvertResult::Ok) return result;
    }
}

int TAudioConverter::ConfigureResampler(AVSampleFormat format, const AVChannelLayout& layout, int rate) {
    if (FSwr && format == FSwrFormat && rate == FSwrRate && av_channel_layout_compare(&layout, &FSwrLayout) == 0) {
        return ConvertResult::Ok;
    }
    AVChannelLayout inLayout{};
    if (av_channel_layout_copy(&inLayout, &layout) < 0) return ConvertResult::NoMemory;
    swr_free(&FSwr);
    av_channel_layout_uninit(&FSwrLayout);
    const int allocated =
        swr_alloc_set_opts2(&FSwr, &FOutLayout, FOut.SampleFormat, FOutRate, &inLayout, format, rate, 0, nullptr);
    FSwrLayout = inLayout;  // owns the copy from here on
    if (allocated < 0) return ConvertResult::NoMemory;
    // Mono spreads to both sides at full level and stereo folds to mono as the average, so a
    // channel change keeps the loudness; other counts take the resampler's own matrix.
    const int inChannels = FSwrLayout.nb_channels;
    if (inChannels == 1 && FOutChannels == 2) {
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(FSwr, matrix, 1);
    } else if (inChannels == 2 && FOutChannels == 1) {
        const double matrix[2] = {0.5, 0.5};
        swr_set_matrix(FSwr, matrix, 2);
    }
    if (swr_init(FSwr) < 0) {
        swr_free(&FSwr);
        return ConvertResult::NotPossible;
    }
    FSwrFormat = format;
    FSwrRate = rate;
    return ConvertResult::Ok;
}

int TAudioConverter::Resample(const uint8_t* const* planes, int samples, AVSampleFormat format,
                              const AVChannelLayout& layout, int rate) {
    int result = ConfigureResampler(format, layout, rate);
    if (result != ConvertResult::Ok) return result;
    const int bound = swr_get_out_samples(FSwr, samples);
    if (bound < 0) return ConvertResult::NotPossible;
    const size_t sampleBytes = static_cast<size_t>(av_get_bytes_per_sample(FOut.SampleFormat));
    FScratch.resize(static_cast<size_t>(bound) * FOutChannels * sampleBytes);
    uint8_t* outPlanes[1] = {FScratch.data()};
    const int made = swr_convert(FSwr, outPlanes, bound, const_cast<const uint8_t**>(planes), samples);
    if (made < 0) return ConvertResult::NotPossible;
    const size_t values = static_cast<size_t>(made) * FOutChannels;
    const size_t at = FHeld.size();
    if (FOut.BytesPerSample == 3) {
        FHeld.resize(at + values * 3);
        for (size_t i = 0; i < values; ++i) std::memcpy(FHeld.data() + at + i * 3, FScratch.data() + i * 4 + 1, 3);
    } else {
        FHeld.insert(FHeld.end(), FScratch.begin(),
                     FScratch.begin() + static_cast<std::ptrdiff_t>(values * sampleBytes));
    }
    return ConvertResult::Ok;
}

}  // namespace

int OpenAudioConverter(const TConvertFormat& source, const TConvertFormat& destination, IAudioConverterPtr& stream) {
    stream.reset();
    auto converter = std::make_shared<TAudioConverter>();
    const int result = converter->Open(source, destination);
    if (result == ConvertResult::Ok) stream = std::move(converter);
    return result;
}

}  // namespace kelvar::platform
