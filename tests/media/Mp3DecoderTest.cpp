#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "MediaTestUtil.h"
#include "media/Decoder_mp3PRO2.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

double PeakOf(const Bytes& pcm, size_t fromByte, size_t bytes) {
    double peak = 0;
    for (size_t i = fromByte; i + 1 < pcm.size() && i < fromByte + bytes; i += 2) {
        int16_t s;
        std::memcpy(&s, &pcm[i], 2);
        peak = std::max(peak, std::abs(static_cast<double>(s)));
    }
    return peak;
}

// An ID3v2 header announcing Body bytes, with the footer flag when asked.
Bytes Id3v2Header(uint32_t body, bool footer) {
    Bytes h = {'I', 'D', '3', 4, 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
    h.push_back(static_cast<uint8_t>((body >> 21) & 0x7F));
    h.push_back(static_cast<uint8_t>((body >> 14) & 0x7F));
    h.push_back(static_cast<uint8_t>((body >> 7) & 0x7F));
    h.push_back(static_cast<uint8_t>(body & 0x7F));
    return h;
}

class Mp3Decoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // 1 s of silence then 1 s of a loud tone, so positions can be heard.
        auto pcm = Tone(44100, 2, 1000, 0);
        const auto tone = Tone(44100, 2, 1000, 440, 20000);
        pcm.insert(pcm.end(), tone.begin(), tone.end());
        FMp3 = new Bytes(EncodeMp3(pcm, 44100, 2, 128));
    }
    static void TearDownTestSuite() { delete FMp3; }

    std::string Write(const Bytes& file) {
        const std::string path = FDir.File("f" + std::to_string(FCount++) + ".mp3");
        WriteFile(path, file);
        return path;
    }

    static Bytes* FMp3;
    TTempDir FDir;
    int FCount = 0;
};

Bytes* Mp3Decoder::FMp3 = nullptr;

TEST_F(Mp3Decoder, DecodesAFileWithItsDurationAndFormat) {
    TDecoder_mp3PRO decoder;
    ASSERT_TRUE(decoder.Open(Write(*FMp3)));
    const TStreamInfo* info = decoder.GetInfo();
    EXPECT_NEAR(info->Duration, 2000, 40);
    EXPECT_EQ(info->Bitrate, 128);
    EXPECT_EQ(info->Channels, 2);
    EXPECT_EQ(info->SampleRate, 44100);
    EXPECT_EQ(info->Bits, 16);
    EXPECT_EQ(info->Size, static_cast<int32_t>(FMp3->size()));
    EXPECT_TRUE(decoder.IsSeekable());
    const TDecoded out = DecodeAll(decoder);
    EXPECT_TRUE(SameFormat(out.Format, MakePcmFormat(44100, 2, 16)));
    const double ms = BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size()));
    EXPECT_NEAR(ms, 2000, 60);
    EXPECT_LT(PeakOf(out.Pcm, 0, 44100 * 4 * 8 / 10), 500);                 // the silent first second
    EXPECT_GT(PeakOf(out.Pcm, 44100 * 4 * 12 / 10, 44100 * 4 / 2), 15000);  // the tone
    EXPECT_TRUE(decoder.IsEOF());
}

TEST_F(Mp3Decoder, SkipsTheId3v2TagWithAndWithoutFooter) {
    struct TCase {
        bool Footer;
        int64_t Start;
    };
    for (const TCase c : {TCase{false, 2048}, TCase{true, 2058}}) {
        Bytes file = Id3v2Header(2038, c.Footer);
        file.resize(static_cast<size_t>(c.Start), 0);
        file.insert(file.end(), FMp3->begin(), FMp3->end());
        TDecoder_mp3PRO decoder;
        decoder.Open(Write(file));
        EXPECT_EQ(decoder.DataStart(), c.Start);
        EXPECT_EQ(decoder.AudioSize(), static_cast<int64_t>(FMp3->size()));
        EXPECT_NEAR(decoder.GetInfo()->Duration, 2000, 40);
        const TDecoded out = DecodeAll(decoder);
        EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 2000, 60);
    }
    {
        // A second tag right behind the first (a large cover, say) is skipped too.
        Bytes file = Id3v2Header(2038, false);
        file.resize(2048, 0);
        const Bytes second = Id3v2Header(60000, false);
        file.insert(file.end(), second.begin(), second.end());
        file.resize(2048 + 60010, 0);
        file.insert(file.end(), FMp3->begin(), FMp3->end());
        TDecoder_mp3PRO decoder;
        decoder.Open(Write(file));
        EXPECT_EQ(decoder.DataStart(), 2048 + 60010);
        EXPECT_NEAR(decoder.GetInfo()->Duration, 2000, 40);
    }
    // A tag size past the end of the file is ignored.
    Bytes file = Id3v2Header(50000000, false);
    file.insert(file.end(), FMp3->begin(), FMp3->end());
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(file));
    EXPECT_EQ(decoder.DataStart(), 0);
}

TEST_F(Mp3Decoder, TrailingId3v1TagIsNotAudio) {
    Bytes file = *FMp3;
    Bytes tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    file.insert(file.end(), tag.begin(), tag.end());
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(file));
    EXPECT_EQ(decoder.AudioSize(), static_cast<int64_t>(FMp3->size()));
    const TDecoded out = DecodeAll(decoder);
    EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 2000, 60);
}

TEST_F(Mp3Decoder, SeekLandsWhereAsked) {
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(*FMp3));
    EXPECT_EQ(decoder.Seek(1500), 1500);
    const TDecoded rest = DecodeAll(decoder);
    const double ms = BytesToMs(rest.Format, static_cast<int32_t>(rest.Pcm.size()));
    EXPECT_NEAR(ms, 500, 80);
    EXPECT_GT(PeakOf(rest.Pcm, 0, 44100 * 4 / 10), 15000);
    // Back to the silent part.
    EXPECT_EQ(decoder.Seek(200), 200);
    TDecoded again;
    decoder.Decode(
        [&](const void* b, int32_t n, const TWaveFormat&) {
            again.Pcm.insert(again.Pcm.end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
        },
        {});
    EXPECT_LT(PeakOf(again.Pcm, 0, again.Pcm.size()), 500);
}

TEST_F(Mp3Decoder, VariableBitRateReportsMeanRateAndLength) {
    const auto pcm = Tone(44100, 2, 3000, 1000, 12000);
    const Bytes mp3 = EncodeMp3(pcm, 44100, 2, 0, true);
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(mp3));
    EXPECT_NEAR(decoder.GetInfo()->Duration, 3000, 40);
    const int expectedKbps = static_cast<int>(mp3.size() * 8 / 3000);
    EXPECT_NEAR(decoder.GetInfo()->Bitrate, expectedKbps, 8);
    // The seek table of the Info frame places the middle.
    decoder.Seek(1500);
    const TDecoded rest = DecodeAll(decoder);
    EXPECT_NEAR(BytesToMs(rest.Format, static_cast<int32_t>(rest.Pcm.size())), 1500, 80);
}

// Loud noise (high bit rate) then silence (low bit rate), without the Xing/Info frame: the first
// frames alone make the file look far shorter than it is.
TEST_F(Mp3Decoder, VariableBitRateWithoutLengthHeaderPlaysToTheEnd) {
    std::vector<int16_t> pcm(44100 * 2);
    uint32_t seed = 1;
    for (auto& s : pcm) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<int16_t>(static_cast<int32_t>(seed >> 16) - 32768);
    }
    pcm.resize(pcm.size() * 6, 0);
    Bytes mp3 = EncodeMp3(pcm, 44100, 2, 0, true);
    // Drop the Xing frame (MPEG-1 layer III: 144000 * kbps / rate + padding bytes).
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    const size_t first = 144000 * kbps[mp3[2] >> 4] / 44100 + ((mp3[2] >> 1) & 1);
    mp3.erase(mp3.begin(), mp3.begin() + static_cast<ptrdiff_t>(first));
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(mp3));
    EXPECT_NEAR(decoder.GetInfo()->Duration, 6000, 100);
    const TDecoded all = DecodeAll(decoder);
    EXPECT_NEAR(BytesToMs(all.Format, static_cast<int32_t>(all.Pcm.size())), 6000, 100);
    EXPECT_GE(decoder.GetInfo()->Duration, BytesToMs(all.Format, static_cast<int32_t>(all.Pcm.size())) - 30);
}

TEST_F(Mp3Decoder, MonoAndOtherRatesComeOutAsTheyAre) {
    const Bytes mp3 = EncodeMp3(Tone(22050, 1, 1000, 300), 22050, 1, 64);
    TDecoder_mp3PRO decoder;
    decoder.Open(Write(mp3));
    EXPECT_EQ(decoder.GetInfo()->Channels, 1);
    EXPECT_EQ(decoder.GetInfo()->SampleRate, 22050);
    const TDecoded out = DecodeAll(decoder);
    EXPECT_TRUE(SameFormat(out.Format, MakePcmFormat(22050, 1, 16)));
    EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 1000, 60);
}

TEST_F(Mp3Decoder, BrokenFilesEndCleanly) {
    Bytes random(30000);
    for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    Bytes corrupt = *FMp3;
    for (size_t i = 5000; i < 9000; ++i) corrupt[i] = static_cast<uint8_t>(i * 31);
    const Bytes truncated(FMp3->begin(), FMp3->begin() + static_cast<ptrdiff_t>(FMp3->size() / 2));
    struct TCase {
        const char* What;
        Bytes File;
        double MaxMs;
    };
    const TCase cases[] = {
        {"empty", {}, 0}, {"random", random, 2000}, {"corrupt", corrupt, 2100}, {"truncated", truncated, 1100}};
    for (const auto& c : cases) {
        TDecoder_mp3PRO decoder;
        ASSERT_TRUE(decoder.Open(Write(c.File))) << c.What;
        TDecoded out;
        try {
            out = DecodeAll(decoder);
        } catch (const EMediaError& e) {
            // A failure of the decoding library is reported with its text; the deck ends the song.
            EXPECT_EQ(std::string(e.what()).rfind("mp3PRODec: ", 0), 0u) << c.What;
            continue;
        }
        EXPECT_TRUE(decoder.IsEOF()) << c.What;
        EXPECT_LE(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), c.MaxMs) << c.What;
    }
}

}  // namespace
}  // namespace kelvar
