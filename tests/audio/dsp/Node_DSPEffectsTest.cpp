#include "audio/nodes/Node_DSPEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "TestSignals.h"
#include "audio/graph/AudioErrors.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

// Pushes 16-bit stereo audio through a started node in blocks; gathers in-place and chunk output.
struct TEffectsRun {
    TNode_DSPEffects Node;
    std::vector<int16_t> Out;
    int InPlace = 0, Chunks = 0, Empty = 0;

    TEffectsRun() {
        Node.SetFormat(DefaultAudioFormat);
        Node.LockedStart();
    }
    void Feed(std::vector<int16_t> audio, int blockFrames) {
        for (size_t pos = 0; pos < audio.size() / 2; pos += blockFrames) {
            const int frames = static_cast<int>(std::min<size_t>(blockFrames, audio.size() / 2 - pos));
            TStreamTime time = 0;
            IChunkPtr chunk;
            int16_t* block = audio.data() + 2 * pos;
            const int n = Node.LockedProcess(block, frames * 4, time, chunk);
            ASSERT_LE(n, frames * 4);
            if (n > 0) {
                ++InPlace;
                Out.insert(Out.end(), block, block + n / 2);
            } else if (chunk && chunk->GetSize() > 0) {
                ++Chunks;
                auto* s = reinterpret_cast<int16_t*>(chunk->GetData());
                Out.insert(Out.end(), s, s + chunk->GetSize() / 2);
            } else {
                ++Empty;
            }
        }
    }
};

TEST(Node_DSPEffects, RateAndTempoAreClampedPitchIsNot) {
    TNode_DSPEffects node;
    struct {
        double Set, Stored;
    } cases[] = {{150, 100}, {-80, -50}, {12.5, 12.5}, {0, 0}};
    for (const auto& c : cases) {
        node.SetRate(c.Set);
        EXPECT_DOUBLE_EQ(node.GetDSP().GetRate(), c.Stored);
        node.SetTempo(c.Set);
        EXPECT_DOUBLE_EQ(node.GetDSP().GetTempo(), c.Stored);
    }
    node.SetPitchSemiTones(-30);
    EXPECT_DOUBLE_EQ(node.GetDSP().GetPitchSemiTones(), -30);
    EXPECT_TRUE(node.GetDSP().EffectsWanted());
    node.SetPitchSemiTones(0);
    node.SetRate(0);
    node.SetTempo(0);
    EXPECT_FALSE(node.GetDSP().EffectsWanted());
}

TEST(Node_DSPEffects, BandIndexOutsideTheTenRaises) {
    TNode_DSPEffects node;
    for (int bad : {-1, 10}) {
        EXPECT_THROW(
            try { node.SetEQBand(bad, 0); } catch (const EAudioError& e) {
                EXPECT_STREQ(e.what(), "Invalid EQ ID!");
                throw;
            },
            EAudioError);
        EXPECT_THROW(node.GetEQBand(bad), EAudioError);
    }
    node.SetEQBand(9, -100);
    EXPECT_EQ(node.GetEQBand(9), -100);
}

TEST(Node_DSPEffects, EqualiserCutsItsBandInTheChain) {
    TEffectsRun run;
    run.Node.SetEQEnabled(true);
    run.Node.SetEQBand(9, -100);
    const auto tone = test::Sine(16000, 0.5, 44100);
    run.Feed(tone, 1024);
    ASSERT_EQ(run.Out.size(), tone.size());
    EXPECT_NEAR(test::RmsDb(run.Out, 2, 0, 4410, 30000) - test::RmsDb(tone, 2, 0, 4410, 30000), -20, 1.5);
}

TEST(Node_DSPEffects, TempoChangesTheLengthThroughInPlaceAndChunkOutput) {
    struct {
        double Rate, Tempo;
        bool ExpectChunks;
        double Speed;  // how much faster the output plays: its length is 1/Speed
        double Pitch;
    } cases[] = {
        {0, 10, false, 1.1, 1.0},
        {0, -20, true, 0.8, 1.0},
        {150, 0, false, 2.0, 2.0},  // the stream is given the clamped 100 %, not 150 %
    };
    for (const auto& c : cases) {
        TEffectsRun run;
        run.Node.SetRate(c.Rate);
        run.Node.SetTempo(c.Tempo);
        const auto tone = test::Sine(440, 0.5, 44100 * 3);
        run.Feed(tone, 2205);
        const double ratio = static_cast<double>(run.Out.size()) / tone.size();
        // The stream holds back some audio (its latency) until more arrives.
        EXPECT_NEAR(ratio, 1.0 / c.Speed, 0.06) << c.Rate << "/" << c.Tempo;
        EXPECT_GT(run.Empty, 0) << "the first block fills the stream";
        if (c.ExpectChunks) {
            EXPECT_GT(run.Chunks, 0) << "slower output outgrows its blocks";
        }
        EXPECT_NEAR(test::ZeroCrossingFrequency(run.Out, 2, 44100, 4410), 440 * c.Pitch, 9 * c.Pitch)
            << c.Rate << "/" << c.Tempo;
    }
}

TEST(Node_DSPEffects, OpenDropsAStreamSetUpForAnotherFormat) {
    // Blocks processed before the object is opened set up the stream for the default format;
    // opening it for mono must not keep that stream.
    TDSPObj dsp;
    dsp.SetTempo(10);
    std::vector<int16_t> stereo(2 * 2205, 0);
    IChunkPtr chunk;
    for (int i = 0; i < 4; ++i) dsp.Process(stereo.data(), static_cast<int>(stereo.size() * 2), chunk);
    dsp.Open(MakePcmFormat(44100, 1, 16));
    const auto tone = test::Sine(440, 0.5, 44100 * 3, 44100, 1);
    std::vector<int16_t> out;
    for (size_t pos = 0; pos < tone.size(); pos += 2205) {
        std::vector<int16_t> block(tone.begin() + static_cast<std::ptrdiff_t>(pos),
                                   tone.begin() + static_cast<std::ptrdiff_t>(std::min(pos + 2205, tone.size())));
        chunk.reset();
        const int n = dsp.Process(block.data(), static_cast<int>(block.size() * 2), chunk);
        if (n > 0)
            out.insert(out.end(), block.begin(), block.begin() + n / 2);
        else if (chunk) {
            auto* s = reinterpret_cast<int16_t*>(chunk->GetData());
            out.insert(out.end(), s, s + chunk->GetSize() / 2);
        }
    }
    EXPECT_NEAR(static_cast<double>(out.size()) / tone.size(), 1 / 1.1, 0.06);
    EXPECT_NEAR(test::ZeroCrossingFrequency(out, 1, 44100, 4410), 440, 9);
    dsp.Close();
}

TEST(Node_DSPEffects, ExtremeBandValuesAreHeldToTheirRange) {
    TEffectsRun run;
    run.Node.SetEQEnabled(true);
    const struct {
        int Band, Set, Read;
    } cases[] = {{0, INT32_MAX, EQMaxValue}, {5, INT32_MIN, EQMinValue}, {9, 301, 300}, {3, -300, -300}};
    for (const auto& c : cases) {
        run.Node.SetEQBand(c.Band, c.Set);
        EXPECT_EQ(run.Node.GetEQBand(c.Band), c.Read) << c.Set;
    }
    const auto tone = test::Sine(60, 0.5, 8820);
    run.Feed(tone, 1024);
    ASSERT_EQ(run.Out.size(), tone.size());
    // +60 dB on the lowest band drives the tone into the rails; it stays a bounded sample.
    EXPECT_GT(test::RmsDb(run.Out, 2, 0, 4410, 4000), -3.0);
}

TEST(Node_DSPEffects, ExtremeSettingsKeepTheAudioFlowing) {
    const struct {
        double Rate, Tempo, Pitch;
    } cases[] = {{-80, -80, -1e6}, {150, 150, 1e6}, {0, 0, NAN}, {NAN, 0, 48}};
    for (const auto& c : cases) {
        TEffectsRun run;
        run.Node.SetRate(c.Rate);
        run.Node.SetTempo(c.Tempo);
        run.Node.SetPitchSemiTones(c.Pitch);
        run.Feed(test::Sine(440, 0.5, 44100 * 2), 2205);
        EXPECT_GT(run.Out.size(), 44100u / 4) << c.Rate << "/" << c.Tempo << "/" << c.Pitch;
    }
}

TEST(Node_DSPEffects, OneFrameBlocksAndEmptyBlocksPass) {
    TEffectsRun run;
    run.Node.SetPitchSemiTones(3);
    int16_t frame[2] = {1234, -1234};
    TStreamTime time = 0;
    IChunkPtr chunk;
    EXPECT_EQ(run.Node.LockedProcess(frame, 4, time, chunk), 4);
    EXPECT_EQ(frame[0], 1234);
    EXPECT_EQ(run.Node.LockedProcess(nullptr, 0, time, chunk), 0);
    EXPECT_EQ(run.Node.LockedProcess(frame, 0, time, chunk), 0);
}

TEST(Node_DSPEffects, FormatsTheTempoStreamCannotTakePassUnchanged) {
    for (const TWaveFormat& format :
         {MakePcmFormat(44100, 20, 16), MakePcmFormat(0, 2, 16), MakePcmFormat(44100, 2, 32)}) {
        TDSPObj dsp;
        dsp.Open(format);
        dsp.SetTempo(10);
        std::vector<uint8_t> block(40 * 1024), original;
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 37 % 251);
        original = block;
        for (int i = 0; i < 3; ++i) {
            IChunkPtr chunk;
            const int n = dsp.Process(block.data(), static_cast<int>(block.size()), chunk);
            ASSERT_EQ(n, static_cast<int>(block.size())) << format.Channels << " channels, " << format.SamplesPerSec
                                                         << " Hz, " << format.BitsPerSample << " bit";
        }
        EXPECT_EQ(block, original);
    }
}

TEST(Node_DSPEffects, EqualiserSettingsRoundTripThroughTheSection) {
    auto doc = TConfigDoc_XML::Create("");
    {
        TNode_DSPEffects node;
        node.SetEQEnabled(true);
        for (int i = 0; i < 10; ++i) node.SetEQBand(i, i * 10 - 45);
        node.SetTempo(20);  // not saved
        node.LockedSaveConfig(*doc->Section("DSPEffects"));
    }
    TNode_DSPEffects other;
    other.LockedLoadConfig(*doc->Section("DSPEffects"));
    EXPECT_TRUE(other.GetEQEnabled());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(other.GetEQBand(i), i * 10 - 45);
    EXPECT_EQ(other.GetDSP().GetTempo(), 0);
    EXPECT_EQ(doc->Section("DSPEffects")->ReadString("EQ3", ""), "-15");
    // Missing keys keep the current values.
    TNode_DSPEffects third;
    third.SetEQBand(4, 33);
    third.LockedLoadConfig(*doc->Section("Nothing"));
    EXPECT_EQ(third.GetEQBand(4), 33);
}

TEST(Node_DSPEffects, BeatDetectionOnItsOwnObject) {
    TDSPObj dsp;
    EXPECT_EQ(dsp.BPMStop(), 0.0);
    dsp.BPMStart(MakePcmFormat(44100, 2, 8));
    EXPECT_TRUE(dsp.BPMActive());
    uint8_t bytes[64] = {};
    EXPECT_THROW(
        try { dsp.BPMProcess(bytes, 64); } catch (const EAudioError& e) {
            EXPECT_STREQ(e.what(), "Only 16-bit samples supported");
            throw;
        },
        EAudioError);
    dsp.BPMStart(DefaultAudioFormat);
    const auto clicks = test::ClickTrack(120, 30);
    for (size_t pos = 0; pos < clicks.size(); pos += 4410)
        dsp.BPMProcess(clicks.data() + pos, static_cast<int>(std::min<size_t>(4410, clicks.size() - pos) * 2));
    EXPECT_NEAR(dsp.BPMStop(), 120, 1.0);
    EXPECT_FALSE(dsp.BPMActive());
}

}  // namespace
}  // namespace kelvar
