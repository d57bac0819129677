#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "media/DecoderFactory.h"
#include "media/Decoder_WM9_Async.h"
#include "media/Decoder_WM9_Sync.h"
#include "media/MediaTestUtil.h"
#include "media/WMAFixture.h"
#include "media/WMFDecoder.h"
#include "platform/ffmpeg/WMReader.h"

namespace kelvar {
namespace {

using test::TTempDir;

using SyncWMA = Decoder_WM9_Sync::TDecoder_WMA;
using AsyncWMA = Decoder_WM9_Async::TDecoder_WMA;

constexpr int ToneMs = 2000;
constexpr int BytesPerMs = 44100 * 4 / 1000;

class WMADecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("tone.wma");
        test::MakeWmaFile(path, ToneMs, {{"title", "Tone"}, {"author", "Generator"}});
    }

    // PCM of about Ms milliseconds of 44.1 kHz stereo 16-bit audio, give or take codec frames.
    static void ExpectAbout(const test::TDecoded& decoded, int ms) {
        EXPECT_NEAR(static_cast<double>(decoded.Pcm.size()) / BytesPerMs, ms, 120.0);
        EXPECT_EQ(decoded.Format.SamplesPerSec, 44100u);
        EXPECT_EQ(decoded.Format.Channels, 2);
        EXPECT_EQ(decoded.Format.BitsPerSample, 16);
        EXPECT_EQ(decoded.Pcm.size() % 4, 0u);
    }

    static int PeakLevel(const test::Bytes& pcm) {
        int peak = 0;
        for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const auto s = static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8));
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        return peak;
    }

    TTempDir dir;
    std::string path;
};

TEST_F(WMADecoderTest, LocalFilePlaysThroughTheSynchronousDecoder) {
    IDecoderPtr decoder = CreateDecoder(path);
    ASSERT_TRUE(std::dynamic_pointer_cast<SyncWMA>(decoder));
    ASSERT_TRUE(decoder->Open(path));
    const TStreamInfo info = *decoder->GetInfo();
    EXPECT_NEAR(info.Duration, ToneMs, 100);
    EXPECT_NEAR(info.Bitrate, 128, 10);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.SampleRate, 44100);
    EXPECT_EQ(info.Bits, 16);
    // The size is the file's, not the duration.
    EXPECT_EQ(info.Size, static_cast<int32_t>(std::filesystem::file_size(path)));
    EXPECT_TRUE(decoder->IsSeekable());

    const test::TDecoded decoded = test::DecodeAll(*decoder);
    ExpectAbout(decoded, ToneMs);
    // A quarter-scale tone, not silence.
    EXPECT_GT(PeakLevel(decoded.Pcm), 5000);
    EXPECT_TRUE(decoder->IsEOF());

    // After the end, a seek to 0 plays the file again; a seek to the middle plays the rest.
    EXPECT_EQ(decoder->Seek(0), 0);
    EXPECT_FALSE(decoder->IsEOF());
    ExpectAbout(test::DecodeAll(*decoder), ToneMs);
    EXPECT_EQ(decoder->Seek(1000), 1000);
    EXPECT_NEAR(static_cast<double>(test::DecodeAll(*decoder).Pcm.size()) / BytesPerMs, 1000, 150);
}

TEST_F(WMADecoderTest, SynchronousDecoderRefusesWhatItCannotPlay) {
    const std::string garbage = dir.File("garbage.wma");
    {
        std::ofstream out(garbage, std::ios::binary);
        for (int i = 0; i < 5000; ++i) out.put(static_cast<char>(i * 37));
    }
    struct Case {
        std::string Name;
        std::string Error;
    } cases[] = {
        {"mms://host/live", "Synchronized reader does not support streaming (hr=$80070057)"},
        {"HTTP://host/a.wma", "Synchronized reader does not support streaming (hr=$80070057)"},
        {"", "Filename is empty (hr=$80070057)"},
        {dir.File("missing.wma"), "Could not open file (hr=$"},
        {garbage, "Could not open file (hr=$"},
    };
    for (const Case& c : cases) {
        SyncWMA decoder;
        EXPECT_FALSE(decoder.Open(c.Name)) << c.Name;
        EXPECT_EQ(decoder.LastError().rfind(c.Error, 0), 0u) << c.Name << ": " << decoder.LastError();
        EXPECT_TRUE(decoder.IsEOF());
        EXPECT_EQ(decoder.Seek(10), -1);
    }
}

TEST_F(WMADecoderTest, TruncatedAndDamagedFilesPlayWhatTheyHoldOrFail) {
    const test::Bytes whole = test::ReadFileBytes(path);
    const std::string broken = dir.File("broken.wma");
    for (size_t keep : {size_t(16), size_t(300), size_t(3000), whole.size() / 2, whole.size() - 7}) {
        test::WriteFile(broken, test::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep)));
        SyncWMA decoder;
        if (!decoder.Open(broken)) continue;
        EXPECT_LE(test::DecodeAll(decoder).Pcm.size(), static_cast<size_t>(ToneMs + 150) * BytesPerMs) << keep;
    }
    // Damage in the middle of the audio: decoding goes on to the end.
    test::Bytes damaged = whole;
    for (size_t i = whole.size() / 3; i < whole.size() / 3 + 2000; i += 3) damaged[i] ^= 0x5A;
    test::WriteFile(broken, damaged);
    SyncWMA decoder;
    ASSERT_TRUE(decoder.Open(broken));
    EXPECT_TRUE(test::DecodeAll(decoder).Pcm.size() > static_cast<size_t>(ToneMs / 2) * BytesPerMs);
    EXPECT_TRUE(decoder.IsEOF());
}

TEST_F(WMADecoderTest, DecodersRefuseWorkBeforeOpen) {
    SyncWMA sync;
    AsyncWMA async;
    for (IDecoder* decoder : {static_cast<IDecoder*>(&sync), static_cast<IDecoder*>(&async)}) {
        try {
            decoder->Decode({}, {});
            ADD_FAILURE();
        } catch (const EMediaError& e) {
            EXPECT_STREQ(e.what(), "WMA Decoder not yet open!");
        }
        EXPECT_TRUE(decoder->IsEOF());
    }
}

TEST_F(WMADecoderTest, StreamingDecoderPlaysAFileFromItsOwnThread) {
    AsyncWMA decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_NEAR(decoder.GetInfo()->Duration, ToneMs, 100);
    EXPECT_EQ(decoder.GetInfo()->Size, static_cast<int32_t>(std::filesystem::file_size(path)));
    EXPECT_TRUE(decoder.IsSeekable());
    const test::TDecoded decoded = test::DecodeAll(decoder);
    ExpectAbout(decoded, ToneMs);
    EXPECT_GT(PeakLevel(decoded.Pcm), 5000);

    // A seek restarts the thread at the new place with an empty buffer.
    EXPECT_EQ(decoder.Seek(1000), 1000);
    EXPECT_FALSE(decoder.IsEOF());
    EXPECT_NEAR(static_cast<double>(test::DecodeAll(decoder).Pcm.size()) / BytesPerMs, 1000, 150);
    decoder.Close();
    EXPECT_TRUE(decoder.IsEOF());

    // Another scheme with a Windows Media extension reaches this decoder in the second pass;
    // a local file address keeps its duration.
    const std::string address = "file://" + path;
    IDecoderPtr byAddress = CreateDecoder(address);
    ASSERT_TRUE(std::dynamic_pointer_cast<AsyncWMA>(byAddress));
    ASSERT_TRUE(byAddress->Open(address));
    EXPECT_NEAR(byAddress->GetInfo()->Duration, ToneMs, 100);
    ExpectAbout(test::DecodeAll(*byAddress), ToneMs);
}

TEST_F(WMADecoderTest, StreamingDecoderLosesNothingWhenItsBufferFills) {
    const std::string longer = dir.File("long.wma");
    test::MakeWmaFile(longer, 14000);
    AsyncWMA decoder;
    ASSERT_TRUE(decoder.Open(longer));
    // The thread outruns the draining and has to pause and resume; nothing may get lost.
    const test::TDecoded decoded = test::DecodeAll(decoder);
    ExpectAbout(decoded, 14000);
}

TEST_F(WMADecoderTest, HttpStreamPlaysWithoutDurationOrSeeking) {
    const test::Bytes file = test::ReadFileBytes(path);
    test::TLoopbackServer server([&](int fd, const std::string&, int) {
        test::SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/x-ms-wma\r\n\r\n");
        test::SendAll(fd, file.data(), file.size());
    });
    const std::string url = server.Url("/live.wma");
    IDecoderPtr decoder = CreateDecoder(url);
    ASSERT_TRUE(std::dynamic_pointer_cast<AsyncWMA>(decoder));
    ASSERT_TRUE(decoder->Open(url));
    EXPECT_EQ(decoder->GetInfo()->Duration, 0);
    EXPECT_EQ(decoder->GetInfo()->Size, -1);
    EXPECT_FALSE(decoder->IsSeekable());
    ExpectAbout(test::DecodeAll(*decoder), ToneMs);
}

TEST_F(WMADecoderTest, WrapperReadsTheHeaderAttributes) {
    TWMFDecoder wrapper;
    wrapper.CreateReader();
    EXPECT_EQ(wrapper.Open(path, false), 0);
    EXPECT_EQ(wrapper.GetTitle(), "Tone");
    EXPECT_EQ(wrapper.GetAuthor(), "Generator");
    EXPECT_EQ(wrapper.GetCopyright(), "");
    EXPECT_NEAR(static_cast<double>(wrapper.GetDuration()), ToneMs, 100);
    EXPECT_NEAR(wrapper.GetBitrate(), 128, 10);
    EXPECT_EQ(wrapper.GetFilterFormat().SampleRate, 44100);
    EXPECT_EQ(wrapper.GetFilterFormat().Channels, 2);
    EXPECT_FALSE(wrapper.IsNetwork());
    wrapper.Release();
    // Without a reader nothing opens.
    try {
        wrapper.Open(path);
        ADD_FAILURE();
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "Could not create Reader ($8000FFFF)");
    }
}

TEST_F(WMADecoderTest, WrapperDeliversNothingWhilePaused) {
    TWMFDecoder wrapper;
    std::atomic<bool> paused{false};
    std::atomic<int> lateBlocks{0};
    std::atomic<int64_t> bytes{0};
    wrapper.OnData = [&](TWMFDecoder& sender, const uint8_t*, int size) {
        if (paused) ++lateBlocks;
        bytes += size;
        sender.Pause();
        paused = true;
    };
    wrapper.CreateReader();
    wrapper.Open(path);
    while (!wrapper.IsEndOfFile()) {
        if (!test::WaitFor([&] { return paused.load() || wrapper.IsEndOfFile(); })) break;
        paused = false;
        wrapper.Resume();
    }
    EXPECT_TRUE(wrapper.IsEndOfFile());
    EXPECT_EQ(lateBlocks, 0);
    EXPECT_NEAR(static_cast<double>(bytes) / BytesPerMs, ToneMs, 120);
    EXPECT_NEAR(wrapper.GetPosition(), ToneMs, 120);
}

TEST_F(WMADecoderTest, StreamingDecoderFailsOnSourcesItCannotOpen) {
    test::TLogCapture log;
    AsyncWMA decoder;
    EXPECT_FALSE(decoder.Open(dir.File("missing.wma")));
    EXPECT_TRUE(log.Contains("Could not open the specified file ($"));
    EXPECT_TRUE(decoder.IsEOF());
    EXPECT_FALSE(decoder.IsSeekable());
    // An MMS server that isn't there, over either protocol.
    EXPECT_FALSE(decoder.Open("mms://127.0.0.1:1/live"));
    EXPECT_TRUE(decoder.IsEOF());
    // A source without audio.
    const std::string text = dir.File("text.wma");
    test::WriteFile(text, test::Bytes(100, 'x'));
    EXPECT_FALSE(decoder.Open(text));
}

TEST(WMFDecoder, DecodeSpeedBelowOneIsRefused) {
    EXPECT_TRUE(platform::WindowsMediaAvailable());
    TWMFDecoder wrapper;
    for (float speed : {0.5f, 0.0f, -0.5f}) EXPECT_THROW(wrapper.SetDecodeSpeed(speed), EMediaError) << speed;
    for (float speed : {1.0f, 2.0f, -1.0f}) EXPECT_NO_THROW(wrapper.SetDecodeSpeed(speed)) << speed;
    try {
        wrapper.SetDecodeSpeed(0.5f);
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "Invalid Decode Speed");
    }
}

}  // namespace
}  // namespace kelvar
