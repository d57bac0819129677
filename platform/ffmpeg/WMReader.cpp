#include "platform/ffmpeg/WMReader.h"
#include "foundation/TextUtil.h"

#include <algorithm>
#include <cctype>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kelvar::platform {

namespace {

// A network source that doesn't answer within this time fails like a missing one.
constexpr const char* NetworkTimeoutUs = "15000000";

int InterruptRequested(void* opaque) {
    const auto* flag = static_cast<const std::atomic<bool>*>(opaque);
    return flag != nullptr && flag->load() ? 1 : 0;
}

}  // namespace

bool WindowsMediaAvailable() {
    return av_find_input_format("asf") != nullptr && avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
           avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr;
}

std::string WMErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

TWMReader::TWMReader() {
    static std::once_flag network;
    std::call_once(network, [] { avformat_network_init(); });
}

TWMReader::~TWMReader() { Close(); }

int TWMReader::OpenInput(const std::string& url) {
    FFormat = avformat_alloc_context();
    if (FFormat == nullptr) return AVERROR(ENOMEM);
    FFormat->interrupt_callback.callback = InterruptRequested;
    FFormat->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(FInterrupt);
    AVDictionary* options = nullptr;
    if (url.find("://") != std::string::npos) av_dict_set(&options, "rw_timeout", NetworkTimeoutUs, 0);
    const int result = avformat_open_input(&FFormat, url.c_str(), nullptr, &options);  // frees FFormat on failure
    av_dict_free(&options);
    return result;
}

int TWMReader::Open(const std::string& name, const std::atomic<bool>* interrupt) {
    Close();
    FInterrupt = interrupt;
    FFailedStep = TWMOpenStep::Open;
    FLastError.clear();

    int result = 0;
    if (UpperAscii(name.substr(0, 6)) == "MMS://") {
        // MMS servers answer either protocol; most of those still running speak HTTP.
        const std::string rest = name.substr(6);
        result = OpenInput("mmsh://" + rest);
        if (result < 0) result = OpenInput("mmst://" + rest);
    } else {
        result = OpenInput(name);
    }
    if (result < 0) {
        FFormat = nullptr;
        FLastError = WMErrorText(result);
        return result;
    }
    result = avformat_find_stream_info(FFormat, nullptr);
    if (result < 0) {
        FLastError = WMErrorText(result);
        Close();
        FFailedStep = TWMOpenStep::Open;
        return result;
    }

    for (unsigned i = 0; i < FFormat->nb_streams; ++i) {
        AVStream* stream = FFormat->streams[i];
        if (FStream < 0 && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            FStream = static_cast<int>(i);
        else
            stream->discard = AVDISCARD_ALL;
    }
    if (FStream < 0) {
        Close();
        FFailedStep = TWMOpenStep::AudioStream;
        FLastError = "no audio stream";
        return AVERROR_STREAM_NOT_FOUND;
    }

    const AVCodecParameters* par = FFormat->streams[FStream]->codecpar;
    const int channels = std::clamp(par->ch_layout.nb_channels, 1, 2);
    FOutFormat =
        MakePcmFormat(static_cast<uint32_t>(std::max(par->sample_rate, 1)), static_cast<uint16_t>(channels), 16);
    FPacket = av_packet_alloc();
    FFrame = av_frame_alloc();
    if (FPacket == nullptr || FFrame == nullptr) {
        Close();
        FLastError = "out of memory";
        return AVERROR(ENOMEM);
    }

    // A stream whose codec can't be set up opens, but holds no audio.
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    FCodec = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    if (FCodec == nullptr || avcodec_parameters_to_context(FCodec, par) < 0 ||
        avcodec_open2(FCodec, codec, nullptr) < 0) {
        avcodec_free_context(&FCodec);
        FCodecMissing = true;
        FLastError = std::string("no decoder for ") + avcodec_get_name(par->codec_id);
    }
    FFailedStep = TWMOpenStep::None;
    return 0;
}

void TWMReader::Close() {
    swr_free(&FSwr);
    av_freep(&FOut);
    FOutSamples = 0;
    av_frame_free(&FFrame);
    av_packet_free(&FPacket);
    avcodec_free_context(&FCodec);
    if (FFormat != nullptr) avformat_close_input(&FFormat);
    FStream = -1;
    FCodecMissing = false;
    FDrained = false;
}

int64_t TWMReader::DurationMs() const {
    if (FFormat == nullptr || FFormat->duration == AV_NOPTS_VALUE || FFormat->duration <= 0) return 0;
    return FFormat->duration / 1000;
}

int32_t TWMReader::BitrateKbps() const {
    if (FFormat == nullptr) return 0;
    // The audio's own rate; the container's figure adds its packet overhead.
    int64_t bits = FStream >= 0 ? FFormat->streams[FStream]->codecpar->bit_rate : 0;
    if (bits <= 0) bits = FFormat->bit_rate;
    return bits > 0 ? static_cast<int32_t>(bits / 1000) : 0;
}

int64_t TWMReader::FileSize() const {
    if (FFormat == nullptr || FFormat->pb == nullptr || (FFormat->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) return -1;
    if (FFormat->url != nullptr) {
        const std::string url = FFormat->url;
        if (url.find("://") != std::string::npos && url.rfind("file://", 0) != 0) return -1;
    }
    const int64_t size = avio_size(FFormat->pb);
    return size >= 0 ? size : -1;
}

std::string TWMReader::Tag(const char* key) const {
    if (FFormat == nullptr) return {};
    const AVDictionaryEntry* entry = av_dict_get(FFormat->metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : std::string();
}

void TWMReader::Convert(const TOnPCM& onPCM) {
    if (FSwr == nullptr) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, FOutFormat.Channels);
        AVChannelLayout inLayout;
        if (FFrame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&FFrame->ch_layout) == 0)
            av_channel_layout_default(&inLayout, std::max(FFrame->ch_layout.nb_channels, 1));
        else
            av_channel_layout_copy(&inLayout, &FFrame->ch_layout);
        const int result = swr_alloc_set_opts2(
            &FSwr, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(FOutFormat.SamplesPerSec), &inLayout,
            static_cast<AVSampleFormat>(FFrame->format), FFrame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        if (result < 0 || swr_init(FSwr) < 0) {
            swr_free(&FSwr);
            FLastError = "sample conversion unavailable";
            return;
        }
    }
    const int want = swr_get_out_samples(FSwr, FFrame->nb_samples);
    if (want <= 0) return;
    if (want > FOutSamples) {
        av_freep(&FOut);
        if (av_samples_alloc(&FOut, nullptr, FOutFormat.Channels, want, AV_SAMPLE_FMT_S16, 0) < 0) {
            FOutSamples = 0;
            return;
        }
        FOutSamples = want;
    }
    const int got =
        swr_convert(FSwr, &FOut, FOutSamples, const_cast<const uint8_t**>(FFrame->extended_data), FFrame->nb_samples);
    if (got > 0 && onPCM) onPCM(FOut, got * FOutFormat.BlockAlign);
}

void TWMReader::DecodeFrames(const TOnPCM& onPCM) {
    while (avcodec_receive_frame(FCodec, FFrame) == 0) {
        Convert(onPCM);
        av_frame_unref(FFrame);
    }
}

TWMReadResult TWMReader::ReadNext(const TOnPCM& onPCM) {
    if (FFormat == nullptr || FCodec == nullptr || FDrained) return TWMReadResult::EndOfStream;
    const int result = av_read_frame(FFormat, FPacket);
    if (result == AVERROR(EAGAIN)) return TWMReadResult::Data;
    if (result < 0) {
        // What the decoder still holds belongs to the end of the stream.
        avcodec_send_packet(FCodec, nullptr);
        DecodeFrames(onPCM);
        FDrained = true;
        if (result == AVERROR_EOF) return TWMReadResult::EndOfStream;
        FLastError = WMErrorText(result);
        return TWMReadResult::Failed;
    }
    if (FPacket->stream_index == FStream && avcodec_send_packet(FCodec, FPacket) == 0) DecodeFrames(onPCM);
    av_packet_unref(FPacket);
    return TWMReadResult::Data;
}

bool TWMReader::Seek(int64_t ms) {
    if (FFormat == nullptr) return false;
    if (ms < 0) ms = 0;
    const int result = av_seek_frame(FFormat, -1, ms * (AV_TIME_BASE / 1000), AVSEEK_FLAG_BACKWARD);
    if (FCodec != nullptr) avcodec_flush_buffers(FCodec);
    if (FSwr != nullptr) swr_free(&FSwr);
    if (result < 0) {
        FLastError = WMErrorText(result);
        return false;
    }
    FDrained = false;
    return true;
}

}  // namespace kelvar::platform
