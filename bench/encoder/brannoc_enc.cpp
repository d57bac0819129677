// brannoc-enc: a host of our own for libBrannoc.so.
//   brannoc-enc [-b BITS_PER_SECOND] [-r OUTRATE] [-m CHANNELMODE] [-q VBRQUALITY] [--sbr] IN.wav OUT.mp3
#include "BrannocEncode.h"
#include "encoder/BrannocLoader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#ifndef BRANNOC_LIBRARY_PATH
#define BRANNOC_LIBRARY_PATH "libBrannoc.so"
#endif

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: brannoc-enc [-b BITS_PER_SECOND] [-r OUTRATE] [-m CHANNELMODE] [-q VBRQUALITY] "
                 "[--sbr] IN.wav OUT.mp3\n");
    return 2;
}

bool Number(const char* text, uint32_t& value) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (!end || *end != 0 || text[0] == '-') return false;
    value = static_cast<uint32_t>(v);
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    StreamConfig cfg{};
    cfg.Bitrate = 128000;
    cfg.CodecMode = 2;
    std::string in, out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        uint32_t v = 0;
        if ((a == "-b" || a == "-r" || a == "-m" || a == "-q") && i + 1 < argc) {
            if (!Number(argv[++i], v)) return Usage();
            if (a == "-b")
                cfg.Bitrate = v;
            else if (a == "-r")
                cfg.OutRate = v;
            else if (a == "-m")
                cfg.ChannelMode = static_cast<int32_t>(v);
            else
                cfg.VbrQuality = v;
        } else if (a == "--sbr") {
            cfg.CodecMode = 1;
        } else if (in.empty()) {
            in = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return Usage();
        }
    }
    if (in.empty() || out.empty()) return Usage();

    const char* libPath = std::getenv("BRANNOC_LIBRARY");
    brannoc::BrannocLibrary lib(libPath ? libPath : BRANNOC_LIBRARY_PATH);
    if (!lib.Api()) {
        std::fprintf(stderr, "brannoc-enc: %s\n", lib.Error().c_str());
        return 1;
    }
    WavFile wav;
    std::string error;
    if (!ReadWav(in, wav, error)) {
        std::fprintf(stderr, "brannoc-enc: %s\n", error.c_str());
        return 1;
    }
    if (!wav.warning.empty()) std::fprintf(stderr, "brannoc-enc: warning: %s\n", wav.warning.c_str());
    EncodeResult result;
    if (!EncodeWav(*lib.Api(), wav, cfg, result)) {
        std::fprintf(stderr, "brannoc-enc: %s\n", result.error.c_str());
        return 1;
    }
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(result.mp3.data()), static_cast<std::streamsize>(result.mp3.size()));
    if (!file) {
        std::fprintf(stderr, "brannoc-enc: cannot write %s\n", out.c_str());
        return 1;
    }
    const double duration = static_cast<double>(wav.Frames()) / wav.rate;
    std::printf("stream=%u Hz mode %d codec %d bitrate %u quality %u\n", result.config.OutRate,
                result.config.ChannelMode, result.config.CodecMode, result.config.Bitrate, result.config.VbrQuality);
    std::printf("realtime=%.1f\n", result.seconds > 0 ? duration / result.seconds : 0.0);
    return 0;
}
