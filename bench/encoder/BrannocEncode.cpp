#include "BrannocEncode.h"

#include <chrono>

bool EncodeWav(const EncoderApi& api, const WavFile& wav, const StreamConfig& requested, EncodeResult& result) {
    EncoderHandle h = api.EncoderOpen(wav.rate, static_cast<uint32_t>(wav.channels), static_cast<uint32_t>(wav.format));
    if (!h) {
        result.error = "the library refused the input format";
        return false;
    }
    StreamConfig cfg = requested;
    if (!api.EncoderSetConfig(h, &cfg)) {
        api.EncoderClose(h);
        result.error = "the library refused the stream configuration";
        return false;
    }
    result.config = cfg;
    std::vector<uint8_t> out(1 << 17);
    std::vector<uint8_t> stream;
    stream.reserve(wav.data.size() / 4);
    const auto start = std::chrono::steady_clock::now();
    size_t pos = 0;
    while (pos < wav.data.size()) {
        int32_t consumed = 0;
        const int32_t left = static_cast<int32_t>(std::min<size_t>(wav.data.size() - pos, 1 << 20));
        const int32_t n = api.EncoderEncode(h, wav.data.data() + pos, left, &consumed, out.data(),
                                            static_cast<int32_t>(out.size()), nullptr, nullptr);
        if (n < 0 || (n == 0 && consumed == 0)) {
            api.EncoderClose(h);
            result.error = "encoding failed";
            return false;
        }
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
    }
    for (int idle = 0; idle < 4;) {
        int32_t consumed = 0;
        const int32_t n =
            api.EncoderEncode(h, nullptr, 0, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr);
        if (n < 0) {
            api.EncoderClose(h);
            result.error = "flushing failed";
            return false;
        }
        if (n == 0)
            ++idle;
        else
            idle = 0;
        stream.insert(stream.end(), out.begin(), out.begin() + n);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int32_t vbriSize = api.EncoderGetVbriHeader(h, nullptr, 0);
    result.mp3.clear();
    if (vbriSize > 0) {
        result.mp3.resize(static_cast<size_t>(vbriSize));
        api.EncoderGetVbriHeader(h, result.mp3.data(), vbriSize);
    }
    result.mp3.insert(result.mp3.end(), stream.begin(), stream.end());
    api.EncoderClose(h);
    return true;
}
