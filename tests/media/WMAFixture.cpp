#include "media/WMAFixture.h"

#include <cmath>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace kelvar::test {

namespace {

void Check(int result, const char* what) {
    if (result < 0) throw std::runtime_error(std::string("WMA fixture: ") + what + " failed");
}

void WritePackets(AVCodecContext* codec, AVFormatContext* out, AVStream* stream, AVPacket* packet) {
    while (avcodec_receive_packet(codec, packet) == 0) {
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        Check(av_interleaved_write_frame(out, packet), "writing a packet");
    }
}

}  // namespace

void MakeWmaFile(const std::string& path, int ms, const std::map<std::string, std::string>& metadata, int rate,
                 int channels, int bitrate) {
    AVFormatContext* out = nullptr;
    Check(avformat_alloc_output_context2(&out, nullptr, "asf", path.c_str()), "the ASF muxer");
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (encoder == nullptr) throw std::runtime_error("WMA fixture: no WMA encoder");
    AVStream* stream = avformat_new_stream(out, nullptr);
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->sample_rate = rate;
    codec->bit_rate = bitrate;
    av_channel_layout_default(&codec->ch_layout, channels);
    codec->time_base = AVRational{1, rate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(codec, encoder, nullptr), "opening the encoder");
    Check(avcodec_parameters_from_context(stream->codecpar, codec), "stream parameters");
    stream->time_base = AVRational{1, rate};
    for (const auto& [key, value] : metadata) av_dict_set(&out->metadata, key.c_str(), value.c_str(), 0);
    Check(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), "creating the file");
    Check(avformat_write_header(out, nullptr), "writing the header");

    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    frame->nb_samples = codec->frame_size;
    frame->format = codec->sample_fmt;
    frame->sample_rate = rate;
    av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    Check(av_frame_get_buffer(frame, 0), "a frame buffer");
    const int64_t total = static_cast<int64_t>(rate) * ms / 1000;
    for (int64_t done = 0; done < total; done += codec->frame_size) {
        Check(av_frame_make_writable(frame), "a writable frame");
        const int n = static_cast<int>(std::min<int64_t>(codec->frame_size, total - done));
        frame->nb_samples = n;
        for (int c = 0; c < channels; ++c) {
            auto* samples = reinterpret_cast<float*>(frame->data[c]);
            for (int i = 0; i < n; ++i)
                samples[i] = 0.25f * static_cast<float>(std::sin(2 * M_PI * 440.0 * (done + i) / rate));
        }
        frame->pts = done;
        Check(avcodec_send_frame(codec, frame), "encoding");
        WritePackets(codec, out, stream, packet);
    }
    Check(avcodec_send_frame(codec, nullptr), "flushing the encoder");
    WritePackets(codec, out, stream, packet);
    Check(av_write_trailer(out), "writing the trailer");
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avio_closep(&out->pb);
    avformat_free_context(out);
}

}  // namespace kelvar::test
