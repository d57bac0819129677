#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ffmpeg/AudioConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace kelvar::platform {
namespace {

using Samples = std::vector<int16_t>;

TConvertFormat Pcm(uint32_t rate, uint16_t channels, uint16_t bits) {
    TConvertFormat f;
    f.FormatTag = FormatTag::Pcm;
    f.Channels = channels;
    f.SamplesPerSec = rate;
    f.BitsPerSample = bits;
    f.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.AvgBytesPerSec = rate * f.BlockAlign;
    return f;
}

Samples Tone(uint32_t rate, double seconds, double hz, double amplitude) {
    Samples s(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return s;
}

// Converts Input in pieces of Step bytes, growing the destination like a careful caller.
std::vector<uint8_t> ConvertAll(IAudioConverter& c, const uint8_t* input, size_t length, size_t step) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> dest;
    for (size_t at = 0; at < length; at += step) {
        const uint32_t n = static_cast<uint32_t>(std::min(step, length - at));
        uint32_t room = 0;
        EXPECT_EQ(c.Size(n, room), ConvertResult::Ok);
        dest.resize(std::max<uint32_t>(room, 1));
        TConvertHeader h;
        h.Source = input + at;
        h.SourceLength = n;
        h.Dest = dest.data();
        h.DestLength = static_cast<uint32_t>(dest.size());
        EXPECT_EQ(c.PrepareHeader(h), ConvertResult::Ok);
        EXPECT_EQ(c.Convert(h, ConvertFlags::BlockAlign | (at == 0 ? ConvertFlags::Start : 0)), ConvertResult::Ok);
        EXPECT_EQ(h.SourceUsed, n);
        EXPECT_EQ(c.UnprepareHeader(h), ConvertResult::Ok);
        out.insert(out.end(), dest.begin(), dest.begin() + h.DestUsed);
        EXPECT_EQ(c.HeldOutput(), 0u) << "Size must leave room for everything made";
    }
    return out;
}

Samples AsSamples(const std::vector<uint8_t>& bytes) {
    Samples s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

double Rms(const Samples& s, size_t from, size_t to, size_t stride = 1, size_t offset = 0) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * stride + offset; i < to * stride && i < s.size(); i += stride, ++n)
        sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / n) : 0.0;
}

size_t ZeroCrossings(const Samples& s, size_t stride, size_t offset) {
    size_t n = 0;
    for (size_t i = offset + stride; i < s.size(); i += stride) {
        if ((s[i - stride] < 0) != (s[i] < 0)) ++n;
    }
    return n;
}

TEST(AudioConverter, MonoHalfRateBecomesStereoDefaultRateAtFullLevel) {
    IAudioConverterPtr c;
    ASSERT_EQ(OpenAudioConverter(Pcm(22050, 1, 16), Pcm(44100, 2, 16), c), ConvertResult::Ok);
    const Samples in = Tone(22050, 1.0, 441.0, 10000);
    // An odd step splits frames between calls: the odd byte must wait, not vanish.
    const auto out = AsSamples(ConvertAll(*c, reinterpret_cast<const uint8_t*>(in.data()), in.size() * 2, 1001));
    const size_t frames = out.size() / 2;
    EXPECT_NEAR(double(frames), 44100.0, 100.0);
    for (size_t i = 0; i < frames; ++i) ASSERT_EQ(out[2 * i], out[2 * i + 1]) << "frame " << i;
    EXPECT_NEAR(Rms(out, 2000, frames - 2000, 2), 10000 / std::sqrt(2.0), 150.0);
    EXPECT_NEAR(double(ZeroCrossings(out, 2, 0)), 882.0, 4.0);  // still 441 Hz
}

TEST(AudioConverter, PieceSizesDoNotChangeTheResult) {
    const Samples in = Tone(48000, 0.25, 1000.0, 12000);
    const auto* bytes = reinterpret_cast<const uint8_t*>(in.data());
    std::vector<std::vector<uint8_t>> results;
    for (size_t step : {size_t(1), size_t(3), size_t(4096), in.size() * 2}) {
        IAudioConverterPtr c;
        ASSERT_EQ(OpenAudioConverter(Pcm(48000, 2, 16), Pcm(44100, 2, 16), c), ConvertResult::Ok);
        results.push_back(ConvertAll(*c, bytes, in.size() * 2, step));
    }
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << "step set " << i;
}

TEST(AudioConverter, SampleWidthsConvertBothWays) {
    // 24-bit in, 16-bit out: the top 16 bits survive.
    IAudioConverterPtr c;
    ASSERT_EQ(OpenAudioConverter(Pcm(44100, 1, 24), Pcm(44100, 1, 16), c), ConvertResult::Ok);
    const uint8_t in24[] = {0x00, 0x34, 0x12, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F};
    auto out = AsSamples(ConvertAll(*c, in24, sizeof in24, sizeof in24));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], 0x1234);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[2], 32767);

    // 16-bit in, 24-bit out, then 8-bit out.
    ASSERT_EQ(OpenAudioConverter(Pcm(44100, 1, 16), Pcm(44100, 1, 24), c), ConvertResult::Ok);
    const int16_t in16[] = {0x1234, -2};
    const auto out24 = ConvertAll(*c, reinterpret_cast<const uint8_t*>(in16), sizeof in16, sizeof in16);
    EXPECT_EQ(out24, (std::vector<uint8_t>{0x00, 0x34, 0x12, 0x00, 0xFE, 0xFF}));
    ASSERT_EQ(OpenAudioConverter(Pcm(44100, 1, 16), Pcm(44100, 1, 8), c), ConvertResult::Ok);
    const int16_t loud[] = {32767, -32768, 0};
    const auto out8 = ConvertAll(*c, reinterpret_cast<const uint8_t*>(loud), sizeof loud, sizeof loud);
    EXPECT_EQ(out8, (std::vector<uint8_t>{0xFF, 0x00, 0x80}));
}

TEST(AudioConverter, OutputThatDoesNotFitWaitsForTheNextCall) {
    IAudioConverterPtr c;
    ASSERT_EQ(OpenAudioConverter(Pcm(44100, 2, 16), Pcm(44100, 2, 16), c), ConvertResult::Ok);
    std::vector<uint8_t> in(4000);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> dest(1000), out;
    TConvertHeader h{in.data(), static_cast<uint32_t>(in.size()), 0, dest.data(), 1000, 0, false};
    ASSERT_EQ(c->PrepareHeader(h), ConvertResult::Ok);
    ASSERT_EQ(c->Convert(h, 0), ConvertResult::Ok);
    EXPECT_EQ(h.SourceUsed, 4000u);
    EXPECT_EQ(h.DestUsed, 1000u);
    EXPECT_EQ(c->HeldOutput(), 3000u);
    out.insert(out.end(), dest.begin(), dest.begin() + h.DestUsed);
    uint32_t room = 0;
    ASSERT_EQ(c->Size(0, room), ConvertResult::Ok);
    EXPECT_GE(room, 3000u);
    h.Source = nullptr;
    h.SourceLength = 0;
    while (c->HeldOutput() > 0) {
        ASSERT_EQ(c->Convert(h, 0), ConvertResult::Ok);
        out.insert(out.end(), dest.begin(), dest.begin() + h.DestUsed);
    }
    EXPECT_EQ(out, in);
}

TEST(AudioConverter, OpenRefusesWhatItCannotConvert) {
    TConvertFormat unknown = Pcm(44100, 2, 16);
    unknown.FormatTag = 0x1234;
    TConvertFormat adpcmNoBlock = Pcm(22050, 1, 4);
    adpcmNoBlock.FormatTag = FormatTag::ImaAdpcm;
    adpcmNoBlock.BlockAlign = 0;
    TConvertFormat badAlign = Pcm(44100, 2, 16);
    badAlign.BlockAlign = 3;
    TConvertFormat toAdpcm = Pcm(22050, 1, 4);
    toAdpcm.FormatTag = FormatTag::ImaAdpcm;
    toAdpcm.BlockAlign = 256;
    struct Case {
        const char* what;
        TConvertFormat source, destination;
        int result;
    } cases[] = {
        {"unknown tag", unknown, Pcm(44100, 2, 16), ConvertResult::NoDriver},
        {"12-bit PCM", Pcm(44100, 2, 12), Pcm(44100, 2, 16), ConvertResult::NoDriver},
        {"no channels", Pcm(44100, 0, 16), Pcm(44100, 2, 16), ConvertResult::InvalidParam},
        {"no rate", Pcm(0, 2, 16), Pcm(44100, 2, 16), ConvertResult::InvalidParam},
        {"wrong block align", badAlign, Pcm(44100, 2, 16), ConvertResult::InvalidParam},
        {"codec without block size", adpcmNoBlock, Pcm(22050, 1, 16), ConvertResult::InvalidParam},
        {"into a compressed format", Pcm(22050, 1, 16), toAdpcm, ConvertResult::NotPossible},
        {"sixteen channels", Pcm(44100, 16, 16), Pcm(44100, 2, 16), ConvertResult::NoDriver},
    };
    for (const auto& k : cases) {
        IAudioConverterPtr c;
        EXPECT_EQ(OpenAudioConverter(k.source, k.destination, c), k.result) << k.what;
        EXPECT_FALSE(c) << k.what;
    }
}

TEST(AudioConverter, CallsOutOfTurnAnswerTheirCodes) {
    IAudioConverterPtr c;
    ASSERT_EQ(OpenAudioConverter(Pcm(44100, 2, 16), Pcm(44100, 2, 16), c), ConvertResult::Ok);
    uint8_t src[8] = {}, dst[8];
    TConvertHeader h{src, 8, 0, dst, 8, 0, false};
    EXPECT_EQ(c->Convert(h, 0), ConvertResult::Unprepared);
    EXPECT_EQ(c->UnprepareHeader(h), ConvertResult::Unprepared);
    ASSERT_EQ(c->PrepareHeader(h), ConvertResult::Ok);
    EXPECT_EQ(c->PrepareHeader(h), ConvertResult::Busy);
    EXPECT_EQ(c->Convert(h, 0x100), ConvertResult::InvalidFlag);
    TConvertHeader noDest{src, 8, 0, nullptr, 0, 0, false};
    EXPECT_EQ(c->PrepareHeader(noDest), ConvertResult::InvalidParam);
    EXPECT_EQ(c->Close(), ConvertResult::Ok);
    uint32_t size = 0;
    EXPECT_EQ(c->Close(), ConvertResult::InvalidHandle);
    EXPECT_EQ(c->Size(8, size), ConvertResult::InvalidHandle);
    EXPECT_EQ(c->Convert(h, 0), ConvertResult::InvalidHandle);
}

TEST(AudioConverter, ExtensibleFormatNamesItsSubFormat) {
    TConvertFormat ext = Pcm(44100, 2, 16);
    ext.FormatTag = FormatTag::Extensible;
    ext.Extra = {16,   0,    3,    0,    0,    0,    0x01, 0x00, 0x00, 0x00, 0x00,
                 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    IAudioConverterPtr c;
    EXPECT_EQ(OpenAudioConverter(ext, Pcm(44100, 2, 16), c), ConvertResult::Ok);
    ext.Extra[8] = 0x55;  // not the base GUID
    EXPECT_EQ(OpenAudioConverter(ext, Pcm(44100, 2, 16), c), ConvertResult::NoDriver);
}

// Compressed wave data, made at test time with libavcodec's encoders.
struct TEncoded {
    TConvertFormat Format;
    std::vector<uint8_t> Data;
    size_t Samples = 0;
};

bool Encode(const char* encoderName, uint16_t tag, uint32_t rate, int bitRate, const Samples& pcm, TEncoded& result) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return false;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = static_cast<int>(rate);
    av_channel_layout_default(&ctx->ch_layout, 1);
    ctx->sample_fmt = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P) ctx->sample_fmt = *f;
    }
    if (bitRate) ctx->bit_rate = bitRate;
    if (ctx->sample_fmt == AV_SAMPLE_FMT_NONE || avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return false;
    }
    const bool fixedFrames = ctx->frame_size > 0;
    const int frameSize = fixedFrames ? ctx->frame_size : 1024;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    result.Data.clear();
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            result.Data.insert(result.Data.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    };
    for (size_t at = 0; at < pcm.size(); at += frameSize) {
        // A fixed frame size pads the last frame with silence; otherwise it is cut to the tone.
        frame->nb_samples = fixedFrames ? frameSize : static_cast<int>(std::min<size_t>(frameSize, pcm.size() - at));
        frame->format = ctx->sample_fmt;
        frame->sample_rate = ctx->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        av_frame_get_buffer(frame, 0);
        auto* dst = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < frame->nb_samples; ++i) dst[i] = at + i < pcm.size() ? pcm[at + i] : 0;
        avcodec_send_frame(ctx, frame);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    result.Samples = pcm.size();
    TConvertFormat& f = result.Format;
    f.FormatTag = tag;
    f.Channels = 1;
    f.SamplesPerSec = rate;
    f.BlockAlign = static_cast<uint16_t>(ctx->block_align > 0 ? ctx->block_align : 1);
    f.BitsPerSample = static_cast<uint16_t>(ctx->bits_per_coded_sample);
    f.AvgBytesPerSec =
        bitRate ? static_cast<uint32_t>(bitRate / 8) : static_cast<uint32_t>(uint64_t(rate) * f.BlockAlign / frameSize);
    if (tag == FormatTag::ALaw || tag == FormatTag::MuLaw) {
        f.BitsPerSample = 8;
        f.AvgBytesPerSec = rate;
    }
    f.Extra.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
    if (tag == FormatTag::ImaAdpcm || tag == FormatTag::Gsm610) {
        f.Extra = {static_cast<uint8_t>(frameSize & 0xFF), static_cast<uint8_t>(frameSize >> 8)};
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return true;
}

TEST(AudioConverter, CompressedWaveDataDecodesToTheDefaultFormat) {
    struct Case {
        const char* encoder;
        uint16_t tag;
        uint32_t rate;
        int bitRate;
        double levelTolerance;  // relative
        double msTolerance;     // codec delay and padding
    } cases[] = {
        {"pcm_mulaw", FormatTag::MuLaw, 8000, 0, 0.03, 2},
        {"pcm_alaw", FormatTag::ALaw, 8000, 0, 0.03, 2},
        {"adpcm_ima_wav", FormatTag::ImaAdpcm, 22050, 0, 0.05, 100},
        {"adpcm_ms", FormatTag::MsAdpcm, 22050, 0, 0.05, 100},
        {"libgsm_ms", FormatTag::Gsm610, 8000, 13000, 0.35, 100},
        {"libmp3lame", FormatTag::MpegLayer3, 22050, 64000, 0.10, 150},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.encoder);
        TEncoded enc;
        if (!Encode(k.encoder, k.tag, k.rate, k.bitRate, Tone(k.rate, 1.0, 400.0, 8000), enc)) {
            ADD_FAILURE() << "no encoder " << k.encoder;
            continue;
        }
        IAudioConverterPtr c;
        ASSERT_EQ(OpenAudioConverter(enc.Format, Pcm(44100, 2, 16), c), ConvertResult::Ok);
        // 333-byte pieces never hold a whole codec block: every call must keep its remainder.
        const auto out = AsSamples(ConvertAll(*c, enc.Data.data(), enc.Data.size(), 333));
        const double ms = out.size() / 2 / 44.1;
        EXPECT_NEAR(ms, 1000.0, k.msTolerance);
        const size_t frames = out.size() / 2;
        ASSERT_GT(frames, 20000u);
        EXPECT_NEAR(Rms(out, 5000, frames - 5000, 2) / (8000 / std::sqrt(2.0)), 1.0, k.levelTolerance);
        EXPECT_EQ(Rms(out, 0, frames, 2, 0), Rms(out, 0, frames, 2, 1));  // both sides alike
    }
}

}  // namespace
}  // namespace kelvar::platform
