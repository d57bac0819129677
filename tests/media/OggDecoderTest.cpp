#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "MediaTestUtil.h"
#include "OggFixture.h"
#include "media/DecoderFactory.h"
#include "media/Decoder_Ogg.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

std::vector<std::string> Captions(const TDecoded& decoded) {
    std::vector<std::string> out;
    for (const auto& e : decoded.Events)
        if (auto c = std::dynamic_pointer_cast<IMetaCaption>(e); c && e->GetKind() == MetaKind::Caption)
            out.push_back(c->GetCaption());
    return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int64_t FramesOf(const TDecoded& decoded) { return static_cast<int64_t>(decoded.Pcm.size() / 4); }

TEST(OggDecoder, FileGivesInfoAudioAndOneCaption) {
    TTempDir dir;
    const std::string path = dir.File("song.ogg");
    const Bytes file = EncodeOggVorbis(88200, {"ARTIST=Ann", "TITLE=Song"});
    WriteFile(path, file);

    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(path));
    const TStreamInfo* info = decoder.GetInfo();
    EXPECT_EQ(info->Duration, 2000);
    EXPECT_EQ(info->Bitrate, 128);
    EXPECT_EQ(info->Channels, 2);
    EXPECT_EQ(info->SampleRate, 44100);
    EXPECT_EQ(info->Size, static_cast<int32_t>(file.size()));
    EXPECT_TRUE(decoder.IsSeekable());

    const TDecoded decoded = DecodeAll(decoder);
    EXPECT_EQ(FramesOf(decoded), 88200);
    EXPECT_EQ(decoded.Format.SamplesPerSec, 44100u);
    EXPECT_EQ(decoded.Format.Channels, 2);
    EXPECT_EQ(decoded.Format.BitsPerSample, 16);
    EXPECT_EQ(decoded.Format.BlockAlign, 4);
    ASSERT_EQ(Captions(decoded), std::vector<std::string>{"Ann - Song"});
    EXPECT_EQ(decoded.Events.front()->GetTime(), 0);
    EXPECT_EQ(decoder.EndCode(), TDecoder_Ogg::EndOfFile);
}

TEST(OggDecoder, CaptionFollowsTheComments) {
    const struct {
        std::vector<std::string> comments;
        std::vector<std::string> captions;
    } cases[] = {
        {{"TITLE=Only"}, {"Only"}},
        {{"artist=lower", "title=case"}, {"lower - case"}},
        {{"ARTIST=Solo"}, {"Solo - "}},
        {{"GENRE=Rock"}, {}},
        {{"TITLE=  "}, {}},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.File("c.ogg");
        WriteFile(path, EncodeOggVorbis(4410, c.comments));
        TDecoder_Ogg decoder;
        ASSERT_TRUE(decoder.Open(path));
        EXPECT_EQ(Captions(DecodeAll(decoder)), c.captions) << c.comments.front();
    }
}

TEST(OggDecoder, ChainedFileSendsACaptionPerLink) {
    TTempDir dir;
    const std::string path = dir.File("chain.ogg");
    WriteFile(path,
              Concat(EncodeOggVorbis(44100, {"TITLE=One"}, 1), EncodeOggVorbis(22050, {"ARTIST=X", "TITLE=Two"}, 2)));
    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_EQ(decoder.GetInfo()->Duration, 1500);
    const TDecoded decoded = DecodeAll(decoder);
    EXPECT_EQ(FramesOf(decoded), 66150);
    EXPECT_EQ(Captions(decoded), (std::vector<std::string>{"One", "X - Two"}));
}

TEST(OggDecoder, SeekMovesAndStampsCaptions) {
    TTempDir dir;
    const std::string path = dir.File("seek.ogg");
    WriteFile(path, EncodeOggVorbis(88200, {"TITLE=T"}));
    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_EQ(decoder.Seek(1500), 1500);
    const TDecoded decoded = DecodeAll(decoder);
    EXPECT_EQ(FramesOf(decoded), 22050);
    ASSERT_EQ(Captions(decoded).size(), 1u);
    EXPECT_EQ(decoded.Events.front()->GetTime(), 1500);

    // After the end, a seek makes the file playable again.
    EXPECT_TRUE(decoder.IsEOF());
    EXPECT_EQ(decoder.Seek(0), 0);
    EXPECT_FALSE(decoder.IsEOF());
    EXPECT_EQ(FramesOf(DecodeAll(decoder)), 88200);

    try {
        decoder.Seek(60000);
        FAIL() << "seek past the end";
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "Invalid argument value.");
    }
}

TEST(OggDecoder, BadSourcesFailClearly) {
    TTempDir dir;
    TDecoder_Ogg decoder;
    EXPECT_THROW(
        {
            try {
                TOnPCM pcm;
                TOnMeta meta;
                decoder.Decode(pcm, meta);
            } catch (const EMediaError& e) {
                EXPECT_STREQ(e.what(), "Ogg Decoder not yet open!");
                throw;
            }
        },
        EMediaError);

    EXPECT_THROW(decoder.Open(dir.File("missing.ogg")), EMediaError);

    const std::string junk = dir.File("junk.ogg");
    WriteFile(junk, Bytes(5000, 0x41));
    EXPECT_THROW(decoder.Open(junk), EMediaError);
    EXPECT_TRUE(decoder.IsEOF());

    // A file cut in the middle plays what it holds and ends.
    const std::string cut = dir.File("cut.ogg");
    Bytes whole = EncodeOggVorbis(88200, {"TITLE=T"});
    whole.resize(whole.size() / 2);
    WriteFile(cut, whole);
    ASSERT_TRUE(decoder.Open(cut));
    const TDecoded decoded = DecodeAll(decoder, 10000);
    EXPECT_TRUE(decoder.IsEOF());
    EXPECT_GT(FramesOf(decoded), 0);
    EXPECT_LT(FramesOf(decoded), 88200);
}

TEST(OggDecoder, FactoryCreatesItForOggNames) {
    EXPECT_NE(std::dynamic_pointer_cast<TDecoder_Ogg>(CreateDecoder("/music/a.OGG")), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<TDecoder_Ogg>(CreateDecoder("http://host/listen?type=ogg")), nullptr);
    TDecoder_Ogg decoder;
    EXPECT_TRUE(decoder.CanDecode("/music/a.ogg", 0));
    EXPECT_FALSE(decoder.CanDecode("/music/a.mp3", 0));
}

// The stream sends the whole file, stays open until released, then closes: everything
// buffered still plays once the stream is dead.
TEST(OggDecoder, StreamPlaysWhileLiveAndPlaysOutWhenDead) {
    const Bytes file = EncodeOggVorbis(4 * 44100, {"ARTIST=Live", "TITLE=Show"});
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: application/ogg\r\n\r\n");
        SendAll(fd, file.data(), file.size());
        while (!server.Release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(server.Url("/live.ogg")));
    EXPECT_FALSE(decoder.IsSeekable());
    EXPECT_EQ(decoder.Seek(1000), 0);

    TDecoded all;
    const TOnPCM onPCM = [&](const void* buffer, int32_t bytes, const TWaveFormat& format) {
        const auto* p = static_cast<const uint8_t*>(buffer);
        all.Pcm.insert(all.Pcm.end(), p, p + bytes);
        all.Format = format;
    };
    const TOnMeta onMeta = [&](const IMetaDataPtr& e) { all.Events.push_back(e); };
    // While the stream lives, decoding stops short of its last bytes: decode until the audio
    // has started and then nothing more came for a while.
    int idle = 0;
    for (int calls = 0; calls < 60000 && !(all.Pcm.size() > 0 && idle >= 300) && !decoder.IsEOF(); ++calls) {
        const size_t before = all.Pcm.size();
        decoder.Decode(onPCM, onMeta);
        if (all.Pcm.size() == before) {
            ++idle;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
            idle = 0;
        }
    }
    EXPECT_FALSE(decoder.IsEOF());
    EXPECT_GT(FramesOf(all), 0);
    EXPECT_LT(FramesOf(all), 4 * 44100);

    server.Release = true;
    ASSERT_TRUE(WaitFor([&] {
        decoder.Decode(onPCM, onMeta);
        return decoder.IsEOF();
    }));
    EXPECT_EQ(FramesOf(all), 4 * 44100);
    EXPECT_EQ(decoder.EndCode(), TDecoder_Ogg::EndOfFile);
    EXPECT_EQ(Captions(all), std::vector<std::string>{"Live - Show"});
    EXPECT_EQ(decoder.GetInfo()->Bitrate, 128);
}

TEST(OggDecoder, StreamOfJunkEndsWithTheLibrarysCode) {
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
        const Bytes junk(40000, 0x5A);
        SendAll(fd, junk.data(), junk.size());
    });
    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(server.Url("/x.ogg")));
    const TDecoded decoded = DecodeAll(decoder);
    EXPECT_TRUE(decoder.IsEOF());
    EXPECT_TRUE(decoded.Pcm.empty());
    EXPECT_LT(decoder.EndCode(), 0);
    EXPECT_NE(decoder.EndCode(), TDecoder_Ogg::EndOfFile);
}

}  // namespace
}  // namespace kelvar
