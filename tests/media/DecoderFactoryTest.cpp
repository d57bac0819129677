#include <gtest/gtest.h>

#include "media/DecoderFactory.h"
#include "media/Decoder_WAV.h"
#include "media/Decoder_mp3PRO2.h"

namespace kelvar {
namespace {

struct TCase {
    const char* Name;
    TDecoderClass Pass0;
    TDecoderClass Pass1;
};

TEST(DecoderFactory, ClassesAcceptNamesByPass) {
    using C = TDecoderClass;
    const TCase cases[] = {
        {"/music/Song.Mp3", C::MP3, C::None},
        {"C:\\Music\\a.MP3", C::MP3, C::None},
        {"http://host/live/stream.mp3", C::MP3, C::MP3},
        {"http://host:8000/", C::None, C::MP3},
        {"http://host/listen?type=ogg", C::Ogg, C::MP3},
        {"/music/a.ogg", C::Ogg, C::Ogg},
        {"/music/a.wav", C::WAV, C::WAV},
        {"http://host/a.wav", C::None, C::MP3},
        {"mic://0", C::LineIn, C::LineIn},
        {"LINEIN://1", C::LineIn, C::LineIn},
        {"mic:/0", C::None, C::None},
        {"mms://host/stream", C::WMAAsync, C::None},
        {"http://host/a.wma", C::WMAAsync, C::MP3},
        {"/music/a.wma", C::WMASync, C::WMAAsync},
        {"ftp://host/a.asf", C::None, C::WMAAsync},
        {"D:\\Track01.cda", C::CDA, C::CDA},
        {"/music/noextension", C::None, C::None},
        {"C:\\dir.mp3\\file", C::None, C::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindDecoderClass(c.Name, 0), c.Pass0) << c.Name;
        EXPECT_EQ(FindDecoderClass(c.Name, 1), c.Pass1) << c.Name;
        // Passes 2 and 3 take nothing that pass 1 didn't.
        EXPECT_EQ(FindDecoderClass(c.Name, 3), c.Pass1) << c.Name;
    }
}

TEST(DecoderFactory, CreatesTheAcceptingDecoder) {
    EXPECT_TRUE(std::dynamic_pointer_cast<TDecoder_mp3PRO>(CreateDecoder("/x/a.mp3")));
    EXPECT_TRUE(std::dynamic_pointer_cast<TDecoder_mp3PRO>(CreateDecoder("http://radio:8000")));
    EXPECT_TRUE(std::dynamic_pointer_cast<TDecoder_WAV>(CreateDecoder("/x/a.WAV")));
    EXPECT_EQ(CreateDecoder("/x/readme"), nullptr);
    EXPECT_EQ(CreateDecoderForPass("http://radio:8000", 0), nullptr);
    auto decoder = CreateDecoder("/x/a.mp3");
    EXPECT_TRUE(decoder->CanDecode("/y/b.mp3", 0));
    EXPECT_FALSE(decoder->CanDecode("/y/b.wav", 0));
}

TEST(DecoderFactory, DecodersRefuseWorkBeforeOpen) {
    TDecoder_mp3PRO mp3;
    TDecoder_WAV wav;
    const TOnPCM pcm;
    const TOnMeta meta;
    try {
        mp3.Decode(pcm, meta);
        FAIL();
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "mp3PRO Decoder not yet open!");
    }
    try {
        wav.Decode(pcm, meta);
        FAIL();
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "WAV Decoder not yet open!");
    }
    EXPECT_TRUE(mp3.IsEOF());
    EXPECT_TRUE(wav.IsEOF());
}

}  // namespace
}  // namespace kelvar
