#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "MediaTestUtil.h"
#include "media/Decoder_WAV.h"
#include "media/Reader_File.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

Bytes StereoPcmFormat() { return FormatBody(1, 2, 44100, 16, 4, 176400); }

Bytes Pattern(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    return b;
}

class WavDecoder : public ::testing::Test {
protected:
    std::string Write(const Bytes& file) {
        const std::string path = FDir.File("f" + std::to_string(FCount++) + ".wav");
        WriteFile(path, file);
        return path;
    }
    TTempDir FDir;
    int FCount = 0;
};

TEST_F(WavDecoder, PlaysPcmUnchangedAndReportsItsStream) {
    const Bytes data = Pattern(44100 * 4 * 10);
    Bytes chunks;
    AppendChunk(chunks, "fmt ", StereoPcmFormat());
    AppendChunk(chunks, "data", data);
    TDecoder_WAV decoder;
    ASSERT_TRUE(decoder.Open(Write(RiffWave(chunks))));
    const TStreamInfo* info = decoder.GetInfo();
    EXPECT_EQ(info->Duration, 10000);
    EXPECT_EQ(info->Bitrate, 1411);
    EXPECT_EQ(info->Channels, 2);
    EXPECT_EQ(info->SampleRate, 44100);
    EXPECT_EQ(info->Bits, 16);
    EXPECT_EQ(info->Size, static_cast<int32_t>(data.size() + 46));
    EXPECT_TRUE(decoder.IsSeekable());
    const TDecoded out = DecodeAll(decoder);
    EXPECT_TRUE(SameFormat(out.Format, MakePcmFormat(44100, 2, 16)));
    EXPECT_EQ(out.Pcm, data);
}

TEST_F(WavDecoder, WalksChunksTolerantly) {
    const Bytes data = Pattern(4000);
    struct TCase {
        const char* What;
        Bytes File;
        size_t Expected;
    };
    std::vector<TCase> cases;
    {
        Bytes c;  // a LIST chunk between format and data
        AppendChunk(c, "fmt ", StereoPcmFormat());
        AppendChunk(c, "LIST", Pattern(26));
        AppendChunk(c, "data", data);
        cases.push_back({"LIST between", RiffWave(c), data.size()});
    }
    {
        Bytes c;  // an odd-sized chunk with its pad byte
        AppendChunk(c, "fmt ", StereoPcmFormat());
        AppendChunk(c, "LIST", Bytes(27, 'x'), true);
        AppendChunk(c, "data", data);
        cases.push_back({"odd padded", RiffWave(c), data.size()});
    }
    {
        Bytes c;  // the same written without the pad byte
        AppendChunk(c, "fmt ", StereoPcmFormat());
        AppendChunk(c, "LIST", Bytes(27, 'x'), false);
        AppendChunk(c, "data", data);
        cases.push_back({"odd unpadded", RiffWave(c), data.size()});
    }
    {
        Bytes c;  // data size 0: a file written while recording plays to its end
        AppendChunk(c, "fmt ", StereoPcmFormat());
        AppendText(c, "data");
        AppendLE32(c, 0);
        c.insert(c.end(), data.begin(), data.end());
        cases.push_back({"size 0", RiffWave(c), data.size()});
    }
    {
        Bytes c;  // truncated: the header promises more than the file holds
        AppendChunk(c, "fmt ", StereoPcmFormat());
        AppendText(c, "data");
        AppendLE32(c, 1000000);
        c.insert(c.end(), data.begin(), data.end());
        cases.push_back({"truncated", RiffWave(c), data.size()});
    }
    {
        Bytes c;  // a broken last frame is not played
        AppendChunk(c, "fmt ", StereoPcmFormat());
        Bytes more = data;
        more.insert(more.end(), {1, 2, 3});
        AppendChunk(c, "data", more);
        cases.push_back({"partial frame", RiffWave(c), data.size()});
    }
    for (const auto& c : cases) {
        TDecoder_WAV decoder;
        ASSERT_TRUE(decoder.Open(Write(c.File))) << c.What;
        EXPECT_TRUE(decoder.IsValid()) << c.What;
        const TDecoded out = DecodeAll(decoder);
        ASSERT_EQ(out.Pcm.size(), c.Expected) << c.What;
        EXPECT_EQ(out.Pcm, data) << c.What;
        EXPECT_EQ(decoder.GetInfo()->Duration, 23) << c.What;  // 1000 frames
    }
}

TEST_F(WavDecoder, UnusableFilesOpenButEndAtOnce) {
    const Bytes data = Pattern(4000);
    struct TCase {
        const char* What;
        Bytes File;
    };
    std::vector<TCase> cases;
    {
        Bytes c;
        AppendChunk(c, "data", data);
        AppendChunk(c, "fmt ", StereoPcmFormat());
        cases.push_back({"data before fmt", RiffWave(c)});
    }
    {
        Bytes c;  // silence would otherwise walk in 8-byte steps onto the format chunk
        AppendChunk(c, "data", Bytes(4000, 0));
        AppendChunk(c, "fmt ", StereoPcmFormat());
        cases.push_back({"silent data before fmt", RiffWave(c)});
    }
    {
        Bytes c;
        AppendChunk(c, "fmt ", FormatBody(1, 2, 44100, 16, 0, 176400));
        AppendChunk(c, "data", data);
        cases.push_back({"block align 0", RiffWave(c)});
    }
    {
        Bytes c;
        AppendChunk(c, "fmt ", FormatBody(1, 2, 0, 16, 4, 0));
        AppendChunk(c, "data", data);
        cases.push_back({"rate 0", RiffWave(c)});
    }
    {
        Bytes c;
        const Bytes format = StereoPcmFormat();
        AppendChunk(c, "fmt ", Bytes(format.begin(), format.begin() + 14));
        AppendChunk(c, "data", data);
        cases.push_back({"fmt of 14 bytes", RiffWave(c)});
    }
    {
        Bytes c;
        AppendChunk(c, "fmt ", Bytes(2000, 1));
        AppendChunk(c, "data", data);
        cases.push_back({"fmt over 1024 bytes", RiffWave(c)});
    }
    {
        Bytes c;
        AppendChunk(c, "fmt ", StereoPcmFormat());
        cases.push_back({"no data chunk", RiffWave(c)});
    }
    {
        Bytes c;
        AppendChunk(c, "fmt ", FormatBody(0x7777, 2, 44100, 16, 4, 176400));
        AppendChunk(c, "data", data);
        cases.push_back({"unknown format tag", RiffWave(c)});
    }
    {
        Bytes f = RiffWave({});
        std::memcpy(f.data(), "RIFX", 4);
        cases.push_back({"not RIFF", f});
    }
    cases.push_back({"empty file", Bytes()});
    cases.push_back({"random bytes", Pattern(10000)});
    for (const auto& c : cases) {
        TDecoder_WAV decoder;
        ASSERT_TRUE(decoder.Open(Write(c.File))) << c.What;
        EXPECT_FALSE(decoder.IsValid()) << c.What;
        EXPECT_TRUE(decoder.IsEOF()) << c.What;
        EXPECT_TRUE(DecodeAll(decoder).Pcm.empty()) << c.What;
    }
}

TEST_F(WavDecoder, MissingFileRaisesTheReaderMessage) {
    TDecoder_WAV decoder;
    const std::string name = FDir.File("nothere.wav");
    try {
        decoder.Open(name);
        FAIL();
    } catch (const EMediaError& e) {
        EXPECT_EQ(std::string(e.what()), "File does not exist: " + name);
    }
    EXPECT_TRUE(decoder.IsEOF());
}

TEST_F(WavDecoder, SeekMovesToWholeFrames) {
    const Bytes data = Pattern(44100 * 4 * 3);
    Bytes chunks;
    AppendChunk(chunks, "fmt ", StereoPcmFormat());
    AppendChunk(chunks, "data", data);
    TDecoder_WAV decoder;
    decoder.Open(Write(RiffWave(chunks)));
    EXPECT_EQ(decoder.Seek(1500), 1500);
    Bytes first;
    decoder.Decode(
        [&](const void* b, int32_t n, const TWaveFormat&) {
            first.assign(static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
        },
        {});
    const size_t offset = 44100 * 15 / 10 * 4;
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), data.begin() + static_cast<ptrdiff_t>(offset)));
    // Past the end: nothing more to play.
    decoder.Seek(5000);
    EXPECT_TRUE(decoder.IsEOF());
}

TEST_F(WavDecoder, BlocksNeverSplitAFrame) {
    // 24-bit stereo: 6-byte frames do not divide the 4096-byte read.
    const Bytes data = Pattern(6 * 3000);
    Bytes chunks;
    AppendChunk(chunks, "fmt ", FormatBody(1, 2, 48000, 24, 6, 288000));
    AppendChunk(chunks, "data", data);
    TDecoder_WAV decoder;
    decoder.Open(Write(RiffWave(chunks)));
    Bytes all;
    while (!decoder.IsEOF()) {
        decoder.Decode(
            [&](const void* b, int32_t n, const TWaveFormat& f) {
                EXPECT_EQ(n % 6, 0);
                EXPECT_EQ(f.BitsPerSample, 24);
                all.insert(all.end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
            },
            {});
    }
    EXPECT_EQ(all, data);
}

TEST_F(WavDecoder, CompressedDataGoesThroughTheConverter) {
    // mu-law: one byte per sample; silence is 0xFF.
    const int rate = 8000;
    Bytes data(rate * 2, 0xFF);
    Bytes chunks;
    AppendChunk(chunks, "fmt ", FormatBody(7, 1, rate, 8, 1, rate));
    AppendChunk(chunks, "data", data);
    TDecoder_WAV decoder;
    ASSERT_TRUE(decoder.Open(Write(RiffWave(chunks))));
    ASSERT_TRUE(decoder.IsValid());
    EXPECT_EQ(decoder.GetInfo()->Duration, 2000);
    const TDecoded out = DecodeAll(decoder);
    EXPECT_EQ(out.Format.FormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(out.Format.SamplesPerSec, static_cast<uint32_t>(rate));
    EXPECT_EQ(out.Format.Channels, 1);
    const int64_t frames = static_cast<int64_t>(out.Pcm.size()) / FrameSize(out.Format);
    EXPECT_NEAR(frames, rate * 2, rate / 10);
}

TEST_F(WavDecoder, Mp3InWavPlaysThroughTheConverter) {
    const Bytes mp3 = EncodeMp3(Tone(44100, 2, 2000, 440, 10000), 44100, 2, 128);
    Bytes format = FormatBody(0x55, 2, 44100, 0, 1, 16000);
    format[16] = 12;           // the MPEG Layer-3 record's 12 extra bytes
    AppendLE16(format, 1);     // id
    AppendLE32(format, 2);     // flags: no padding
    AppendLE16(format, 417);   // block size
    AppendLE16(format, 1);     // frames per block
    AppendLE16(format, 1393);  // codec delay
    Bytes chunks;
    AppendChunk(chunks, "fmt ", format);
    AppendChunk(chunks, "data", mp3);
    TDecoder_WAV decoder;
    ASSERT_TRUE(decoder.Open(Write(RiffWave(chunks))));
    ASSERT_TRUE(decoder.IsValid());
    // From the average byte rate.
    EXPECT_EQ(decoder.GetInfo()->Duration, static_cast<int32_t>(std::llround(mp3.size() / 16.0)));
    EXPECT_EQ(decoder.GetInfo()->Bitrate, 128);
    const TDecoded out = DecodeAll(decoder);
    EXPECT_TRUE(SameFormat(out.Format, MakePcmFormat(44100, 2, 16)));
    EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 2000, 100);
}

TEST(FileReader, ReadsSeeksAndReportsItsState) {
    TTempDir dir;
    const std::string path = dir.File("r.bin");
    WriteFile(path, Bytes(100, 3));
    TReader_File reader;
    EXPECT_TRUE(reader.IsEOF());
    EXPECT_EQ(reader.GetSize(), -1);
    EXPECT_EQ(reader.Seek(5), -1);
    uint8_t buf[200];
    EXPECT_EQ(reader.Read(buf, 10), 0);
    reader.Open(path);
    EXPECT_EQ(reader.GetSize(), 100);
    EXPECT_EQ(reader.Read(buf, 60), 60);
    EXPECT_EQ(reader.GetAvailable(), 40);
    EXPECT_EQ(reader.Read(buf, 60), 40);
    EXPECT_TRUE(reader.IsEOF());
    EXPECT_EQ(reader.Seek(10), 10);
    EXPECT_FALSE(reader.IsEOF());
    EXPECT_EQ(reader.GetPosition(), 10);
    EXPECT_EQ(reader.GetBufferPercent(), 100);
    EXPECT_THROW(reader.Open(dir.File("none")), EMediaError);
    EXPECT_TRUE(reader.IsEOF());
}

}  // namespace
}  // namespace kelvar
