#include "BrannocEncode.h"

#include <chrono>
#include <cstring>

namespace {
const uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// 32-bit float samples at full scale 1.0, scaled to the integer scale the library works in.
std::vector<uint8_t> ScaledFloats(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(data.size());
    for (size_t i = 0; i + 4 <= data.size(); i += 4) {
        float v;
        std::memcpy(&v, data.data() + i, 4);
        v *= 32768.0f;
        std::memcpy(out.data() + i, &v, 4);
    }
    return out;
}
}  // namespace

bool CheckInput(const WavFile& wav, std::string& error) {
    bool rateOk = false;
    std::string rates;
    for (uint32_t r : kRates) {
        rateOk = rateOk || r == wav.rate;
        rates += (rates.empty() ? "" : r == kRates[8] ? " or " : ", ") + std::to_string(r);
    }
    if (!rateOk) {
        error = "input sample rate " + std::to_string(wav.rate) + " Hz is not supported; accepted: " + rates + " Hz";
        return false;
    }
    if (wav.channels < 1 || wav.channels > 2) {
        error = "input with " + std::to_string(wav.channels) + " channels is not supported; accepted: 1 or 2 channels";
        return false;
    }
    return true;
}

bool EncodeWav(const EncoderApi& api, const WavFile& wav, const StreamConfig& requested, EncodeResult& result) {
    if (!CheckInput(wav, result.error)) return false;
    const std::vector<uint8_t> scaled = wav.format == 1 ? ScaledFloats(wav.data) : std::vector<uint8_t>();
    const std::vector<uint8_t>& data = wav.format == 1 ? scaled : wav.data;
    EncoderHandle h = api.EncoderOpen(wav.rate, static_cast<uint32_t>(wav.channels), static_cast<uint32_t>(wav.format));
    if (!h) {
        result.error = "the library refused the input format";
        return false;
    }
    StreamConfig cfg = requested;
    if (!api.EncoderSetConfig(h, &cfg)) {
        api.EncoderClose(h);
        result.error = "the library refused the stream configuration (output rate " +
                       std::to_string(requested.OutRate) + ", channel mode " + std::to_string(requested.ChannelMode) +
                       ", codec mode " + std::to_string(requested.CodecMode) + ", bitrate " +
                       std::to_string(requested.Bitrate) + ", quality " + std::to_string(requested.VbrQuality) + ")";
        return false;
    }
    result.config = cfg;
    std::vector<uint8_t> out(1 << 17);
    std::vector<uint8_t> stream;
    stream.reserve(data.size() / 4);
    const auto start = std::chrono::steady_clock::now();
    size_t pos = 0;
    while (pos < data.size()) {
        int32_t consumed = 0;
        const int32_t left = static_cast<int32_t>(std::min<size_t>(data.size() - pos, 1 << 20));
        const int32_t n = api.EncoderEncode(h, data.data() + pos, left, &consumed, out.data(),
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
