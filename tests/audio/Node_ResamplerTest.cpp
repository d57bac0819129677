#include <algorithm>

#include <gtest/gtest.h>

#include "NodeChainKit.h"
#include "audio/nodes/ACMConvert.h"
#include "audio/nodes/Node_Resampler.h"
#include "common/Signals.h"

namespace kelvar {
namespace {

using test::StereoTone;
using TChain = test::TNodeChain<TNode_Resampler>;

std::vector<uint8_t> MonoTone(uint32_t rate, int ms, int amplitude, double hz) {
    const std::vector<int16_t> samples =
        test::SineSamples(hz, amplitude, static_cast<size_t>(rate) * ms / 1000, static_cast<int>(rate), 1);
    std::vector<uint8_t> out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

std::string MessageOf(const std::string& call, int result) {
    try {
        TACMConvert::Check(call, result);
    } catch (const EACMConvertor& e) {
        return e.what();
    }
    return "(nothing raised)";
}

TEST(ACMConvert, ErrorTextsNameTheCall) {
    EXPECT_EQ(MessageOf("acmStreamOpen:", 0), "(nothing raised)");
    struct Case {
        int result;
        const char* message;
    } cases[] = {
        {5, "acmStreamOpen: The specified handle is invalid."},
        {6, "acmStreamOpen: A suitable driver is not available to provide valid format selections."},
        {7, "acmStreamOpen: The system is unable to allocate resources."},
        {10, "acmStreamOpen: At least one flag is invalid."},
        {11, "acmStreamOpen: At least one parameter is invalid."},
        {512, "acmStreamOpen: The requested operation cannot be performed."},
        {513, "acmStreamOpen: The conversion stream is already in use."},
        {514, "acmStreamOpen: Cannot perform this action on a header that has not been prepared."},
        {99, "acmStreamOpen: raised an unknown error (code #99)"},
    };
    for (const auto& k : cases) EXPECT_EQ(MessageOf("acmStreamOpen:", k.result), k.message);
}

TEST(ACMConvert, UnconvertiblePairFailsToOpenAndStaysClosed) {
    TACMConvert convert;
    TWaveFormat unknown = DefaultAudioFormat;
    unknown.FormatTag = 0x4321;
    try {
        convert.Open(unknown, DefaultAudioFormat);
        ADD_FAILURE() << "opened";
    } catch (const EACMConvertor& e) {
        EXPECT_STREQ(e.what(), "acmStreamOpen: A suitable driver is not available to provide valid format selections.");
    }
    EXPECT_FALSE(convert.IsOpen());
    const uint8_t block[4] = {};
    EXPECT_THROW(convert.Convert(block, sizeof block), EACMConvertor);
}

// IMA ADPCM, one channel, 256-byte blocks: a header (predictor 1000, step index 0) and 252 bytes
// of zero nibbles decode to 505 samples of 1000, with no encoder needed.
TEST(ACMConvert, BlockCodecKeepsPartialBlocksForTheNextCall) {
    TWaveFormat ima{};
    ima.FormatTag = 0x0011;
    ima.Channels = 1;
    ima.SamplesPerSec = 22050;
    ima.BlockAlign = 256;
    ima.BitsPerSample = 4;
    ima.AvgBytesPerSec = 22050 * 256 / 505;
    ima.ExtraSize = 2;
    const uint8_t extra[2] = {0xF9, 0x01};  // 505 samples per block
    std::vector<uint8_t> blocks;
    for (int b = 0; b < 4; ++b) {
        const uint8_t header[4] = {0xE8, 0x03, 0x00, 0x00};
        blocks.insert(blocks.end(), header, header + 4);
        blocks.insert(blocks.end(), 252, 0);
    }
    TACMConvert convert;
    convert.Open(ima, MakePcmFormat(22050, 1, 16), extra);
    EXPECT_TRUE(convert.IsFirstBlock());
    std::vector<int16_t> out;
    // 100-byte pieces: most calls end inside a block.
    for (size_t at = 0; at < blocks.size(); at += 100) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(100, blocks.size() - at));
        const uint32_t produced = convert.Convert(blocks.data() + at, n);
        const auto* samples = reinterpret_cast<const int16_t*>(convert.GetOutput());
        out.insert(out.end(), samples, samples + produced / 2);
        EXPECT_FALSE(convert.IsFirstBlock());
    }
    ASSERT_EQ(out.size(), 4u * 505);
    for (int16_t s : out) ASSERT_EQ(s, 1000);
}

TEST(ACMConvert, LargerInputGrowsTheOutputAndReopeningStartsAgain) {
    TACMConvert convert;
    convert.Open(MakePcmFormat(22050, 1, 16), DefaultAudioFormat);
    const auto small = MonoTone(22050, 10, 8000, 441);
    const auto large = MonoTone(22050, 200, 8000, 441);
    convert.Convert(small.data(), static_cast<uint32_t>(small.size()));
    const uint32_t smallSize = convert.GetOutputSize();
    convert.Convert(large.data(), static_cast<uint32_t>(large.size()));
    const uint32_t largeSize = convert.GetOutputSize();
    EXPECT_GE(largeSize, large.size() * 4);
    EXPECT_GT(largeSize, smallSize);
    convert.Convert(small.data(), static_cast<uint32_t>(small.size()));
    EXPECT_EQ(convert.GetOutputSize(), largeSize) << "a smaller block reuses the output";

    convert.Open(MakePcmFormat(48000, 2, 16), DefaultAudioFormat);
    EXPECT_TRUE(convert.IsFirstBlock());
    convert.Close();
    EXPECT_FALSE(convert.IsOpen());
}

TEST(Resampler, DefaultFormatPassesInPlace) {
    TChain chain;
    const auto block = StereoTone(50, 10000);
    chain.Push(block, 1234);
    ASSERT_EQ(chain.Sink->Blocks.size(), 1u);
    EXPECT_EQ(chain.Sink->Blocks[0].Data, block);
    EXPECT_EQ(chain.Sink->Blocks[0].Time, 1234);
    EXPECT_TRUE(SameFormat(chain.Sink->Format, DefaultAudioFormat));
}

TEST(Resampler, ConvertsToTheDefaultFormatWithTheInputTimes) {
    TChain chain(std::make_unique<TNode_Resampler>(), MakePcmFormat(22050, 1, 16));
    EXPECT_TRUE(SameFormat(chain.Filter->GetFormat(), DefaultAudioFormat));
    EXPECT_TRUE(SameFormat(chain.Sink->Format, DefaultAudioFormat));
    const auto mono = MonoTone(22050, 1000, 8000, 441);
    const size_t block = 2205 * 2;  // 100 ms
    for (size_t at = 0; at < mono.size(); at += block) {
        chain.Filter->Push(const_cast<uint8_t*>(mono.data()) + at, static_cast<int>(block),
                           static_cast<TStreamTime>(at / 2 / 22.05));
    }
    ASSERT_EQ(chain.Sink->Blocks.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(chain.Sink->Blocks[i].Time, TStreamTime(i * 100));
    const auto out = chain.Sink->Joined();
    EXPECT_NEAR(double(out.size()), 176400.0, 200.0);
    // Both sides carry the tone at its level.
    double peakLeft = 0, peakRight = 0;
    for (size_t f = 0; f + 3 < out.size(); f += 4) {
        peakLeft = std::max(peakLeft, std::abs(double(test::SampleAt(out, f / 2))));
        peakRight = std::max(peakRight, std::abs(double(test::SampleAt(out, f / 2 + 1))));
    }
    EXPECT_NEAR(peakLeft, 8000, 200);
    EXPECT_NEAR(peakRight, 8000, 200);
}

TEST(Resampler, ANewInputFormatReopensTheStream) {
    TChain chain(std::make_unique<TNode_Resampler>(), MakePcmFormat(22050, 1, 16));
    ASSERT_TRUE(chain.Filter->SetFormat(MakePcmFormat(48000, 2, 16)));
    std::vector<uint8_t> stereo48(48000 * 4);
    for (size_t i = 0; i < stereo48.size() / 2; ++i) {
        const auto s = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 1000 * double(i / 2) / 48000)));
        std::memcpy(&stereo48[2 * i], &s, 2);
    }
    chain.Push(stereo48, 0, 50);
    EXPECT_NEAR(double(chain.Sink->Bytes()), 176400.0, 200.0);

    // The output format can change too; the stream reopens for it.
    chain.Node().SetOutputFormat(MakePcmFormat(44100, 1, 16));
    EXPECT_TRUE(SameFormat(chain.Node().GetFormat(), MakePcmFormat(44100, 1, 16)));
    chain.Sink->Blocks.clear();
    chain.Push(stereo48, 0, 50);
    EXPECT_NEAR(double(chain.Sink->Bytes()), 88200.0, 200.0);
}

TEST(Resampler, SeekDropsWhatTheConverterHeld) {
    TChain chain(std::make_unique<TNode_Resampler>(), MakePcmFormat(22050, 1, 16));
    // A loud block ending in half a sample: the converter holds that byte and the tail of the
    // tone in its filter.
    auto loud = MonoTone(22050, 100, 20000, 441);
    loud.push_back(0x7f);
    chain.Filter->Push(loud.data(), static_cast<int>(loud.size()), 0);
    ASSERT_GT(chain.Sink->Bytes(), 0u);

    chain.Filter->Seek(5000);
    chain.Sink->Blocks.clear();
    std::vector<uint8_t> silence(2205 * 2, 0);  // 100 ms
    chain.Filter->Push(silence.data(), static_cast<int>(silence.size()), 5000);
    const auto out = chain.Sink->Joined();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.size() % 4, 0u);
    EXPECT_EQ(std::count(out.begin(), out.end(), uint8_t{0}), static_cast<std::ptrdiff_t>(out.size()))
        << "nothing from before the seek comes out after it";
    EXPECT_EQ(chain.Sink->Blocks.front().Time, 5000);
}

}  // namespace
}  // namespace kelvar
