#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "media/DecoderFactory.h"
#include "media/Decoder_CDA.h"
#include "media/MediaTestUtil.h"
#include "platform/cdio/AKRIP_API.h"
#include "platform/cdio/CDEvents.h"
#include "platform/cdio/DriveManager.h"

namespace kelvar {
namespace {

using test::TTempDir;

constexpr int FrameBytes = 2352;

// A disc image: two audio tracks and a data track. Every sample of a frame holds the frame's
// number, so a test can tell exactly which frames were read.
class CDImage {
public:
    // Track starts in frames; the lead-out follows the last track's Frames.
    static constexpr int Track2 = 160;  // track 1: 159 frames played, not a multiple of 23
    static constexpr int Track3 = 390;  // track 2: 229 frames played
    static constexpr int LeadOut = 410;

    explicit CDImage(const TTempDir& dir) : Bin(dir.File("disc.bin")), Cue(dir.File("disc.cue")) {
        std::ofstream bin(Bin, std::ios::binary);
        for (int frame = 0; frame < LeadOut; ++frame) {
            for (int i = 0; i < FrameBytes / 2; ++i) {
                bin.put(static_cast<char>(frame & 0xFF));
                bin.put(static_cast<char>(frame >> 8));
            }
        }
        std::ofstream cue(Cue);
        cue << "FILE \"disc.bin\" BINARY\n"
            << "  TRACK 01 AUDIO\n    INDEX 01 " << Msf(0) << "\n"
            << "  TRACK 02 AUDIO\n    INDEX 01 " << Msf(Track2) << "\n"
            << "  TRACK 03 MODE1/2352\n    INDEX 01 " << Msf(Track3) << "\n";
    }

    static std::string Msf(int frame) {
        char text[16];
        std::snprintf(text, sizeof(text), "%02d:%02d:%02d", frame / (75 * 60), frame / 75 % 60, frame % 75);
        return text;
    }

    std::string Bin;
    std::string Cue;
};

// The frame number a block of PCM starts and ends with.
int FirstFrameOf(const test::Bytes& pcm) { return pcm.size() < 2 ? -1 : pcm[0] | (pcm[1] << 8); }
int LastFrameOf(const test::Bytes& pcm) {
    return pcm.size() < 2 ? -1 : pcm[pcm.size() - 2] | (pcm[pcm.size() - 1] << 8);
}

class CDAudioTest : public ::testing::Test {
protected:
    void SetUp() override { GetDriveManager().AddDrive('E', image.Cue); }

    static std::string ErrorOf(const std::string& name) {
        TDecoder_CDA decoder;
        try {
            decoder.Open(name);
        } catch (const EMediaError& e) {
            EXPECT_TRUE(decoder.IsEOF());
            return e.what();
        }
        return "opened";
    }

    TTempDir dir;
    CDImage image{dir};
};

TEST_F(CDAudioTest, TracksPlayWithTheirDurationsAndEndAtTheirEndFrame) {
    struct Case {
        const char* Name;
        int First;
        int Frames;
    } cases[] = {
        {"E:\\Track01.cda", 0, CDImage::Track2 - 1},
        {"e:/track02.CDA", CDImage::Track2, CDImage::Track3 - CDImage::Track2 - 1},
    };
    for (const Case& c : cases) {
        IDecoderPtr decoder = CreateDecoder(c.Name);
        ASSERT_TRUE(std::dynamic_pointer_cast<TDecoder_CDA>(decoder)) << c.Name;
        ASSERT_TRUE(decoder->Open(c.Name));
        const TStreamInfo& info = *decoder->GetInfo();
        EXPECT_EQ(info.Size, c.Frames * FrameBytes) << c.Name;
        EXPECT_EQ(info.Duration, std::lround(c.Frames * FrameBytes / 176.4)) << c.Name;
        EXPECT_EQ(info.Bitrate, 128);
        EXPECT_EQ(info.SampleRate, 44100);
        EXPECT_TRUE(decoder->IsSeekable());

        const test::TDecoded decoded = test::DecodeAll(*decoder);
        EXPECT_TRUE(decoder->IsEOF());
        // Chunks of 23 frames, the last one shorter and ending exactly at the end frame; one
        // more call finds the end.
        EXPECT_EQ(decoded.Calls, (c.Frames + 22) / 23 + 1) << c.Name;
        EXPECT_EQ(decoded.Pcm.size(), static_cast<size_t>(c.Frames) * FrameBytes) << c.Name;
        EXPECT_EQ(FirstFrameOf(decoded.Pcm), c.First) << c.Name;
        EXPECT_EQ(LastFrameOf(decoded.Pcm), c.First + c.Frames - 1) << c.Name;
        EXPECT_TRUE(SameFormat(decoded.Format, MakePcmFormat(44100, 2, 16)));
    }
}

TEST_F(CDAudioTest, SeekStartsAtTheNearestFrame) {
    TDecoder_CDA decoder;
    ASSERT_TRUE(decoder.Open("E:/Track02.cda"));
    const int64_t half = decoder.GetInfo()->Duration / 2;
    EXPECT_EQ(decoder.Seek(half), half);
    const test::TDecoded decoded = test::DecodeAll(decoder);
    const int frames = CDImage::Track3 - CDImage::Track2 - 1;
    EXPECT_NEAR(FirstFrameOf(decoded.Pcm), CDImage::Track2 + frames / 2.0, 1.0);
    EXPECT_EQ(LastFrameOf(decoded.Pcm), CDImage::Track3 - 2);

    // Beyond either end: the track's start or its end.
    decoder.Seek(-5000);
    EXPECT_EQ(FirstFrameOf(test::DecodeAll(decoder, 1).Pcm), CDImage::Track2);
    decoder.Seek(1000000);
    EXPECT_TRUE(test::DecodeAll(decoder).Pcm.empty());
    EXPECT_TRUE(decoder.IsEOF());
}

TEST_F(CDAudioTest, NamesThatNameNoAudioTrackFail) {
    struct Case {
        const char* Name;
        const char* Error;
    } cases[] = {
        {"E:\\Song.cda", "CDRip: Invalid Tracknumber in filename"},
        {"E:\\Track00.cda", "CDRip: Invalid Tracknumber in filename"},
        {"E:\\Track04.cda", "CDRip: Invalid Tracknumber in filename"},
        {"E:\\Track99.cda", "CDRip: Invalid Tracknumber in filename"},
        {"E:\\Track03.cda", "CDRip: Track 3 is no audio track"},
        {"Q:\\Track01.cda", "AKRip: Unable to map CD Drive letter to CD Number"},
        {"Track01.cda", "AKRip: Unable to map CD Drive letter to CD Number"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.Name), c.Error) << c.Name;

    TDecoder_CDA decoder;
    try {
        decoder.Decode({}, {});
        ADD_FAILURE();
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "CDA Decoder not yet open!");
    }
    EXPECT_EQ(decoder.Seek(100), 0);
}

TEST_F(CDAudioTest, DrivesWithoutADiscFailToOpen) {
    GetDriveManager().AddDrive('F', dir.File("nothing.cue"));
    EXPECT_FALSE(GetDriveManager().FindDrive('f')->MediaPresent);
    EXPECT_EQ(ErrorOf("F:/Track01.cda"), "AKRip: Unable to obtain CD handle");
}

TEST_F(CDAudioTest, TwoDecksShareOneHandle) {
    auto first = std::make_unique<TDecoder_CDA>();
    auto second = std::make_unique<TDecoder_CDA>();
    ASSERT_TRUE(first->Open("E:/Track01.cda"));
    ASSERT_TRUE(second->Open("E:/Track02.cda"));
    auto info = std::dynamic_pointer_cast<TCDInfo>(GetDriveManager().FindDrive('E')->CDInfo);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->GetUserCount(), 2);
    first.reset();
    EXPECT_TRUE(info->HasHandle());
    EXPECT_EQ(info->GetUserCount(), 1);
    // The remaining deck still reads.
    EXPECT_EQ(FirstFrameOf(test::DecodeAll(*second, 1).Pcm), CDImage::Track2);
    second.reset();
    EXPECT_FALSE(info->HasHandle());
    EXPECT_EQ(info->GetUserCount(), 0);
}

TEST_F(CDAudioTest, MediaEventsKeepTheDriveCurrent) {
    TLogicalDrive* drive = GetDriveManager().FindDrive('e');
    ASSERT_NE(drive, nullptr);
    EXPECT_TRUE(drive->MediaPresent);
    const uint32_t serial = drive->SerialNumber;
    EXPECT_NE(serial, 0u);

    GetDriveManager().GetEvents().DeviceChange(image.Cue, false);
    EXPECT_FALSE(drive->MediaPresent);
    EXPECT_EQ(drive->SerialNumber, 0u);
    GetDriveManager().GetEvents().DeviceChange(image.Cue, true);
    EXPECT_TRUE(drive->MediaPresent);
    EXPECT_EQ(drive->SerialNumber, serial);
    // A device that is no known drive changes nothing.
    GetDriveManager().GetEvents().DeviceChange("/dev/sr9", false);
    EXPECT_TRUE(drive->MediaPresent);
}

TEST_F(CDAudioTest, AReadFailureEndsTheSongWithAnError) {
    TDecoder_CDA decoder;
    ASSERT_TRUE(decoder.Open("E:/Track02.cda"));
    decoder.Decode({}, {});
    // The disc loses its second half while playing.
    std::filesystem::resize_file(image.Bin, static_cast<uintmax_t>(CDImage::Track2 + 40) * FrameBytes);
    try {
        test::DecodeAll(decoder);
        ADD_FAILURE();
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "AKRip: Could not read frames after 3 retries");
    }
    EXPECT_TRUE(decoder.IsEOF());
}

TEST(CDRipper, DiscSerialNumberFollowsTheTable) {
    platform::TTOC toc;
    toc.Entries = {{1, true, 0}, {2, true, 160}, {platform::CDLeadOutTrack, false, 410}};
    // Tracks start at 2 s and 4 s of the disc (lead-in included), 5 s long in all.
    EXPECT_EQ(platform::DiscSerialNumber(toc), (6u << 24) | (5u << 8) | 2u);
    EXPECT_EQ(platform::DiscSerialNumber(platform::TTOC()), 0u);
}

}  // namespace
}  // namespace kelvar
