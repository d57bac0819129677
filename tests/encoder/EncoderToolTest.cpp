// brannoc-enc with the input files it meets: float samples at full scale, a file cut inside a sample
// frame, and formats it refuses with a message that says what is wrong and what is accepted.
#include "Mp3Decode.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
#ifdef BRANNOC_ENC_PATH
struct ToolRun {
    int status = -1;
    std::string err;
    std::vector<uint8_t> mp3;
};

class EncoderTool : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brannoc-enc-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const char* name : {"/in.wav", "/out.mp3", "/err.txt"}) std::remove((dir + name).c_str());
        rmdir(dir.c_str());
    }

    // A RIFF WAVE file: the header as given, then the data bytes (the data size is declared as
    // declaredData, or the real size when that is 0).
    void WriteWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& data,
                  uint32_t declaredData = 0) {
        std::vector<uint8_t> h;
        auto put32 = [&](uint32_t x) {
            for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(x >> (8 * i)));
        };
        auto put16 = [&](uint16_t x) {
            h.push_back(static_cast<uint8_t>(x));
            h.push_back(static_cast<uint8_t>(x >> 8));
        };
        const uint32_t dataSize = declaredData ? declaredData : static_cast<uint32_t>(data.size());
        h.insert(h.end(), {'R', 'I', 'F', 'F'});
        put32(36 + dataSize);
        h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put32(16);
        put16(tag);
        put16(channels);
        put32(rate);
        put32(rate * channels * bits / 8);
        put16(static_cast<uint16_t>(channels * bits / 8));
        put16(bits);
        h.insert(h.end(), {'d', 'a', 't', 'a'});
        put32(dataSize);
        h.insert(h.end(), data.begin(), data.end());
        std::ofstream(dir + "/in.wav", std::ios::binary)
            .write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    }

    ToolRun Run() {
        ToolRun r;
        std::remove((dir + "/out.mp3").c_str());
        const std::string cmd = std::string("'") + BRANNOC_ENC_PATH + "' -b 128000 '" + dir + "/in.wav' '" + dir +
                                "/out.mp3' >/dev/null 2>'" + dir + "/err.txt'";
        r.status = WEXITSTATUS(std::system(cmd.c_str()));
        std::ifstream err(dir + "/err.txt");
        r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        std::ifstream mp3(dir + "/out.mp3", std::ios::binary);
        r.mp3.assign(std::istreambuf_iterator<char>(mp3), std::istreambuf_iterator<char>());
        return r;
    }

    std::string dir;
};

// One second of a 1 kHz tone at the given peak (full scale 1.0), interleaved stereo.
std::vector<double> Tone(double peak, int rate = 44100) {
    std::vector<double> v(static_cast<size_t>(rate) * 2);
    for (size_t i = 0; i < v.size() / 2; ++i) v[2 * i] = v[2 * i + 1] = peak * std::sin(2 * M_PI * 1000.0 * i / rate);
    return v;
}

double RmsDb(const std::vector<float>& s) {
    double e = 0;
    for (size_t i = s.size() / 4; i < s.size() * 3 / 4; ++i) e += double(s[i]) * s[i];
    return 10 * std::log10(e / static_cast<double>(s.size() / 2) + 1e-30);
}

TEST_F(EncoderTool, FloatSamplesAtFullScaleKeepTheirLevel) {
    const std::vector<double> tone = Tone(0.5);
    std::vector<uint8_t> data(tone.size() * 4);
    for (size_t i = 0; i < tone.size(); ++i) {
        const float f = static_cast<float>(tone[i]);
        std::memcpy(data.data() + 4 * i, &f, 4);
    }
    WriteWav(3, 2, 44100, 32, data);
    const ToolRun r = Run();
    ASSERT_EQ(r.status, 0) << r.err;
    const DecodedAudio d = DecodeWithMpg123(r.mp3);
    ASSERT_EQ(d.errors, 0);
    EXPECT_NEAR(RmsDb(d.samples), 20 * std::log10(0.5 / std::sqrt(2.0)), 0.3);
}

TEST_F(EncoderTool, AFileCutInsideASampleEncodesItsIntactPartWithAWarning) {
    const std::vector<double> tone = Tone(0.25);
    std::vector<uint8_t> data(tone.size() * 2);
    for (size_t i = 0; i < tone.size(); ++i) {
        const int16_t v = static_cast<int16_t>(std::lround(tone[i] * 32767));
        std::memcpy(data.data() + 2 * i, &v, 2);
    }
    const uint32_t declared = static_cast<uint32_t>(data.size());
    data.resize(data.size() / 2 + 3);  // cut in the middle of a sample frame
    WriteWav(1, 2, 44100, 16, data, declared);
    const ToolRun r = Run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("partial sample frame"), std::string::npos) << r.err;
    const DecodedAudio d = DecodeWithMpg123(r.mp3);
    ASSERT_EQ(d.errors, 0);
    EXPECT_NEAR(static_cast<double>(d.samples.size()) / 2, 22050 + 1201, 1152 * 2);
}

TEST_F(EncoderTool, RefusedInputsSayWhatIsWrongAndWhatIsAccepted) {
    struct Row {
        const char* name;
        uint16_t tag, channels;
        uint32_t rate;
        uint16_t bits;
        std::vector<std::string> words;
    };
    const std::vector<uint8_t> data(4096, 0);
    const Row rows[] = {
        {"no channels", 1, 0, 44100, 16, {"0 channels", "1 or 2 channels"}},
        {"96 kHz", 1, 2, 96000, 16, {"96000 Hz", "8000", "44100", "48000 Hz"}},
        {"3 channels", 1, 3, 44100, 16, {"3 channels", "1 or 2 channels"}},
        {"24-bit", 1, 2, 44100, 24, {"24-bit integer PCM", "16-bit integer PCM or 32-bit float"}},
        {"64-bit float", 3, 2, 44100, 64, {"64-bit float", "16-bit integer PCM or 32-bit float"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteWav(row.tag, row.channels, row.rate, row.bits, data);
        const ToolRun r = Run();
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.mp3.empty());
        for (const std::string& w : row.words) EXPECT_NE(r.err.find(w), std::string::npos) << w << " in: " << r.err;
    }
}
#endif
}  // namespace
