// Very short files on a bare deck: every sample comes out, the last partial block included,
// whatever the decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DeckTestUtil.h"
#include "common/Mp3Encoder.h"
#include "common/OggVorbisEncoder.h"
#include "media/Player_imp.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

// The sample frames a bare deck plays of File, pulled until the deck is finished; -1 when it
// doesn't load, -2 when it never finishes.
int64_t FramesPlayed(const std::string& file) {
    TPlayer player;
    if (!player.Load(file)) return -1;
    player.Play();
    int64_t frames = 0;
    const bool finished = PullUntil(
        player.Channel->GetOutput(), [&] { return player.IsFinished(); },
        [&](const int16_t*, int count, TStreamTime) { frames += count / 2; });
    return finished ? frames : -2;
}

TEST(ShortFileDeck, PlaysEverySampleOfTinyFiles) {
    TTempDir dir;
    TLogCapture log;
    // Shorter than one block of the deck, one and a half blocks, several blocks and a part.
    for (const int ms : {3, 15, 62}) {
        const std::vector<int16_t> tone = Tone(44100, 2, ms, 440, 12000);
        const int64_t frames = static_cast<int64_t>(tone.size() / 2);
        const std::string stem = dir.File("t" + std::to_string(ms));
        TOggEncoding ogg;
        ogg.Frames = static_cast<long>(frames);
        ogg.Channels = 2;
        WriteFile(stem + ".mp3", EncodeMp3(tone, 44100, 2));
        WriteFile(stem + ".ogg", EncodeOggVorbisStream(ogg, {}));
        for (const std::string& file :
             {WriteWav(dir, "t" + std::to_string(ms) + ".wav", tone), stem + ".mp3", stem + ".ogg"}) {
            SCOPED_TRACE(file);
            EXPECT_EQ(FramesPlayed(file), frames);
        }
    }
}

}  // namespace
}  // namespace kelvar
