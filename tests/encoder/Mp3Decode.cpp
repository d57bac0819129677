#include "Mp3Decode.h"

#include <mpg123.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

DecodedAudio DecodeWithMpg123(const std::vector<uint8_t>& mp3) {
    DecodedAudio d;
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET, 0.);
    mpg123_open_feed(h);
    mpg123_feed(h, mp3.data(), mp3.size());
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h, buf.data(), buf.size(), &done);
        const float* f = reinterpret_cast<const float*>(buf.data());
        d.samples.insert(d.samples.end(), f, f + done / sizeof(float));
        if (r == MPG123_NEW_FORMAT) continue;
        if (r == MPG123_NEED_MORE || r == MPG123_DONE) break;
        if (r != MPG123_OK) {
            ++d.errors;
            d.firstError = mpg123_strerror(h);
            break;
        }
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(h, &rate, &channels, &encoding);
    d.rate = static_cast<int>(rate);
    d.channels = channels;
    mpg123_delete(h);
    return d;
}

namespace {
struct Reader {
    const std::vector<uint8_t>* data;
    size_t pos;
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    Reader* r = static_cast<Reader*>(opaque);
    const size_t left = r->data->size() - r->pos;
    if (left == 0) return AVERROR_EOF;
    const size_t n = std::min<size_t>(left, static_cast<size_t>(size));
    std::memcpy(buf, r->data->data() + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

thread_local DecodedAudio* g_current = nullptr;

void LogErrors(void*, int level, const char* fmt, va_list args) {
    if (level > AV_LOG_ERROR || !g_current) return;
    char line[512];
    std::vsnprintf(line, sizeof(line), fmt, args);
    if (g_current->errors++ == 0) g_current->firstError = line;
}
}  // namespace

DecodedAudio DecodeWithLibav(const std::vector<uint8_t>& mp3) {
    DecodedAudio d;
    g_current = &d;
    av_log_set_callback(LogErrors);
    Reader reader{&mp3, 0};
    const int ioSize = 1 << 15;
    auto* ioBuffer = static_cast<unsigned char*>(av_malloc(ioSize));
    AVIOContext* io = avio_alloc_context(ioBuffer, ioSize, 0, &reader, ReadPacket, nullptr, nullptr);
    AVFormatContext* fmt = avformat_alloc_context();
    fmt->pb = io;
    const AVInputFormat* mp3Format = av_find_input_format("mp3");
    if (avformat_open_input(&fmt, nullptr, mp3Format, nullptr) < 0 || avformat_find_stream_info(fmt, nullptr) < 0) {
        ++d.errors;
        d.firstError = "cannot open stream";
    } else {
        const AVCodec* codec = avcodec_find_decoder(fmt->streams[0]->codecpar->codec_id);
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx, fmt->streams[0]->codecpar);
        av_opt_set_int(ctx, "err_detect", AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER, 0);
        avcodec_open2(ctx, codec, nullptr);
        AVPacket* pkt = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto drain = [&] {
            while (avcodec_receive_frame(ctx, frame) == 0) {
                d.rate = frame->sample_rate;
                d.channels = frame->ch_layout.nb_channels;
                for (int i = 0; i < frame->nb_samples; ++i)
                    for (int c = 0; c < d.channels; ++c)
                        d.samples.push_back(frame->format == AV_SAMPLE_FMT_FLTP
                                                ? reinterpret_cast<float*>(frame->data[c])[i]
                                                : reinterpret_cast<float*>(frame->data[0])[i * d.channels + c]);
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (avcodec_send_packet(ctx, pkt) < 0) ++d.errors;
            av_packet_unref(pkt);
            drain();
        }
        avcodec_send_packet(ctx, nullptr);
        drain();
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avcodec_free_context(&ctx);
    }
    avformat_close_input(&fmt);
    if (io) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
    av_log_set_callback(av_log_default_callback);
    g_current = nullptr;
    return d;
}
