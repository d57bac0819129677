#include "WavFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
std::string DescribeFormat(uint16_t tag, uint16_t bits) {
    const std::string width = std::to_string(bits) + "-bit ";
    if (tag == 1) return width + "integer PCM";
    if (tag == 3) return width + "float";
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", tag);
    return "format tag " + std::string(hex) + " (" + width + "samples)";
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
}  // namespace

bool ReadWav(const std::string& path, WavFile& wav, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a RIFF WAVE file";
        return false;
    }
    size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= bytes.size()) {
        const uint32_t size = U32(bytes.data() + pos + 4);
        const uint8_t* body = bytes.data() + pos + 8;
        const size_t room = bytes.size() - pos - 8;
        if (std::memcmp(bytes.data() + pos, "fmt ", 4) == 0 && size >= 16 && room >= 16) {
            uint16_t tag = U16(body);
            wav.channels = U16(body + 2);
            wav.rate = U32(body + 4);
            const uint16_t bits = U16(body + 14);
            if (tag == 0xFFFE && size >= 26 && room >= 26) tag = U16(body + 24);
            if (tag == 1 && bits == 16) {
                wav.format = 0;
            } else if (tag == 3 && bits == 32) {
                wav.format = 1;
            } else {
                error = "unsupported sample format: " + DescribeFormat(tag, bits) +
                        "; accepted: 16-bit integer PCM or 32-bit float";
                return false;
            }
            if (wav.channels == 0) {
                error = "the file declares 0 channels; accepted: 1 or 2 channels";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(bytes.data() + pos, "data", 4) == 0) {
            if (!haveFormat) break;
            size_t n = std::min<size_t>(size, room);
            const size_t frame = static_cast<size_t>(wav.channels) * (wav.format ? 4 : 2);
            if (size > room)
                wav.warning = "the file ends inside its data (" + std::to_string(size) + " bytes declared, " +
                              std::to_string(room) + " present)";
            if (n % frame != 0) {
                if (!wav.warning.empty()) wav.warning += "; ";
                wav.warning +=
                    "the last " + std::to_string(n % frame) + " bytes are a partial sample frame and are left out";
                n -= n % frame;
            }
            wav.data.assign(body, body + n);
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    error = haveFormat ? "no data chunk" : "no format chunk before the data";
    return false;
}

bool WriteWav(const std::string& path, const WavFile& wav) {
    std::vector<uint8_t> h;
    const uint16_t bits = wav.format ? 32 : 16;
    const uint16_t align = static_cast<uint16_t>(wav.channels * bits / 8);
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    Put32(h, static_cast<uint32_t>(36 + wav.data.size()));
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(h, 16);
    Put16(h, wav.format ? 3 : 1);
    Put16(h, static_cast<uint16_t>(wav.channels));
    Put32(h, wav.rate);
    Put32(h, wav.rate * align);
    Put16(h, align);
    Put16(h, bits);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    Put32(h, static_cast<uint32_t>(wav.data.size()));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    out.write(reinterpret_cast<const char*>(wav.data.data()), static_cast<std::streamsize>(wav.data.size()));
    return static_cast<bool>(out);
}
