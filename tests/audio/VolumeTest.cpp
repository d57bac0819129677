#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/nodes/Node_Volume.h"

namespace kelvar {
namespace {

TEST(FadeCurve, ShapesAndDepths) {
    struct TCase {
        TFadeCurve Curve;
        int Elapsed, Duration, Depth;
        bool FadeIn;
        double Expected;
    };
    const TCase cases[] = {
        {FadeCurve::Linear, 250, 1000, 100, false, 75.0},
        {FadeCurve::Linear, 250, 1000, 100, true, 25.0},
        {FadeCurve::Cosine, 500, 1000, 100, false, 50.0},
        {FadeCurve::Cosine, 0, 1000, 100, true, 0.0},
        {FadeCurve::Cosine, 1000, 1000, 100, true, 100.0},
        {FadeCurve::FourthPower, 500, 1000, 100, true, 6.25},
        {FadeCurve::FourthPower, 500, 1000, 100, false, 93.75},
        {FadeCurve::Linear, 1000, 1000, 30, false, 70.0},
        {FadeCurve::Linear, 0, 1000, 30, true, 70.0},
        {9, 500, 1000, 100, false, 50.0},            // unknown curve acts as cosine
        {FadeCurve::Linear, 0, 0, 100, false, 0.0},  // no duration: at its end at once
        {FadeCurve::Linear, 0, 0, 100, true, 100.0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.Curve) << " " << c.Elapsed << "/" << c.Duration << " depth " << c.Depth
                                        << (c.FadeIn ? " in" : " out"));
        EXPECT_NEAR(FadeCurveValue(c.Curve, c.Elapsed, c.Duration, c.Depth, c.FadeIn), c.Expected, 1e-9);
    }
}

std::vector<int16_t> ProcessBlock(TNode_Volume& node, std::vector<int16_t> samples) {
    TStreamTime time = 0;
    IChunkPtr chunk;
    const int bytes = static_cast<int>(samples.size() * 2);
    EXPECT_EQ(node.LockedProcess(samples.data(), bytes, time, chunk), bytes);
    return samples;
}

TEST(Volume, GainsMultiplyAndClamp) {
    TNode_Volume node;
    EXPECT_EQ(ProcessBlock(node, {1000, -1000, 32767}), (std::vector<int16_t>{1000, -1000, 32767}));

    TVolControl* a = node.AddVolControl();
    TVolControl* b = node.AddVolControl();
    a->StartFade(FadeKind::Out, 50, 0);  // at its end: 50 %
    b->StartFade(FadeKind::Out, 50, 0);
    EXPECT_EQ(ProcessBlock(node, {1000, -1000, 4}), (std::vector<int16_t>{250, -250, 1}));

    node.RemoveVolControl(b);
    EXPECT_EQ(b, nullptr);
    a->StartFade(FadeKind::None, 0, 0);
    a->SetVolume(510);
    EXPECT_EQ(ProcessBlock(node, {1000, 20000, -20000}), (std::vector<int16_t>{2000, 32767, -32768}));
}

TEST(Volume, RoundsHalvesToEven) {
    TNode_Volume node;
    node.AddVolControl()->StartFade(FadeKind::Out, 50, 0);
    EXPECT_EQ(ProcessBlock(node, {3, 5, -3, -5, 7}), (std::vector<int16_t>{2, 2, -2, -2, 4}));
}

TEST(Volume, FullFadeOutWithoutDurationSilencesTheFirstBlock) {
    TNode_Volume node;
    node.AddVolControl()->StartFade(FadeKind::Out, 100, 0);
    EXPECT_EQ(ProcessBlock(node, {1000, -32768, 5}), (std::vector<int16_t>{0, 0, 0}));
}

// 10 ms of audio per block: a 1000 ms cosine fade-out of depth 100 is half-way after 50 blocks.
TEST(Volume, FadeInFromAFadeOutStartsAtThePresentLevel) {
    for (int volume : {255, 127, 510}) {
        SCOPED_TRACE(volume);
        TNode_Volume node;
        TVolControl* control = node.AddVolControl();
        control->SetVolume(volume);
        control->StartFade(FadeKind::Out, 100, 1000);
        for (int i = 0; i < 50; ++i) control->Advance(10);
        const double before = control->GetGain();
        EXPECT_NEAR(before, volume / 255.0 * 0.5, 1e-9);
        control->StartFade(FadeKind::In, 100, 1000);
        EXPECT_NEAR(control->GetGain(), before, 1e-9);  // no jump
        for (int i = 0; i < 101; ++i) control->Advance(10);
        EXPECT_EQ(control->GetFadeKind(), FadeKind::None);  // a finished fade-in ends itself
        EXPECT_NEAR(control->GetGain(), volume / 255.0, 1e-9);
    }
}

TEST(Volume, FinishedFadeOutStaysDownUntilCancelled) {
    TNode_Volume node;
    TVolControl* control = node.AddVolControl();
    control->StartFade(FadeKind::Out, 30, 100);
    control->Advance(500);
    EXPECT_EQ(control->GetFadeKind(), FadeKind::Out);
    EXPECT_NEAR(control->GetGain(), 0.7, 1e-9);

    control->SetHold(true);
    node.LockedSeek();
    control->CancelFade();
    EXPECT_EQ(control->GetFadeKind(), FadeKind::Out);  // held
    control->SetHold(false);
    EXPECT_TRUE(node.LockedStart());  // start forgets the fade
    EXPECT_EQ(control->GetFadeKind(), FadeKind::None);
}

TEST(Volume, RealTimeFadeFollowsTheClock) {
    uint32_t now = 5000;
    TNode_Volume node([&now] { return now; });
    TVolControl* control = node.AddVolControl();
    control->SetRealTime(true);
    control->SetCurve(FadeCurve::Linear);
    control->StartFade(FadeKind::Out, 100, 1000);
    now += 250;
    EXPECT_NEAR(control->Advance(1), 0.75, 1e-9);  // the block length does not count
    now += 500;
    EXPECT_NEAR(control->Advance(400), 0.25, 1e-9);
    now += 10000;
    EXPECT_NEAR(control->Advance(0), 0.0, 1e-9);
}

TEST(Volume, AdvancesByTheDurationOfEachBlock) {
    TNode_Volume node;
    TVolControl* control = node.AddVolControl();
    control->SetCurve(FadeCurve::Linear);
    control->StartFade(FadeKind::Out, 100, 100);
    std::vector<int16_t> block(2 * 441, 10000);  // 10 ms of stereo
    EXPECT_EQ(ProcessBlock(node, block)[0], 9000);
    EXPECT_EQ(ProcessBlock(node, block)[0], 8000);
}

TEST(Volume, RefusesAnythingButSixteenBits) {
    TNode_Volume node;
    EXPECT_FALSE(node.SetFormat(MakePcmFormat(44100, 2, 8)));
    EXPECT_TRUE(node.SetFormat(DefaultAudioFormat));
}

}  // namespace
}  // namespace kelvar
