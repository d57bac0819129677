#include <gtest/gtest.h>

#include "NodeChainKit.h"
#include "audio/nodes/Node_Metronome.h"
#include "common/TempFolder.h"
#include "foundation/MainThread.h"

namespace kelvar {
namespace {

using test::StereoLevel;
using test::StereoSilence;

std::string Le32(uint32_t v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

std::string Bytes(const std::vector<uint8_t>& data) { return std::string(data.begin(), data.end()); }

// A RIFF file of the given chunks, each padded to an even size.
std::string Riff(std::initializer_list<std::pair<std::string, std::string>> chunks) {
    std::string body = "WAVE";
    for (const auto& [id, data] : chunks) {
        body += id + Le32(static_cast<uint32_t>(data.size())) + data;
        if (data.size() & 1) body += '\0';
    }
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

const std::string kFmt(16, '\x01');

// Runs Ms of silence through the node in blocks of BlockMs; answers the start times (ms) of the
// blocks that begin with a click.
std::vector<int> ClickStarts(TNode_Metronome& node, int Ms, int BlockMs) {
    std::vector<int> starts;
    for (int at = 0; at < Ms; at += BlockMs) {
        auto block = StereoSilence(BlockMs);
        TStreamTime time = at;
        IChunkPtr chunk;
        EXPECT_EQ(node.Process(block.data(), static_cast<int>(block.size()), time, chunk), int(block.size()));
        if (test::SampleAt(block, 0) != 0) starts.push_back(at);
    }
    return starts;
}

struct MetronomeTest : ::testing::Test {
    test::TTempFolder Folder;
    std::string ClickFile = Folder.File("metronome.dta");

    void WriteClick(const std::vector<uint8_t>& samples) {
        test::WriteWholeFile(ClickFile, Riff({{"fmt ", kFmt}, {"data", Bytes(samples)}}));
    }
};

TEST_F(MetronomeTest, ChunkWalkEndsAtTheEndOfTheFile) {
    const std::string click = Bytes(StereoLevel(1, 1000));  // 176 bytes
    struct Case {
        const char* what;
        std::string file;
        int clickSize;
    } cases[] = {
        {"odd chunk with its pad byte", Riff({{"fmt ", kFmt}, {"LIST", "abc"}, {"data", click}}), 176},
        {"no data chunk", Riff({{"fmt ", kFmt}, {"LIST", "abcd"}}), 0},
        {"cut short in the chunk list", Riff({{"fmt ", kFmt}}) + "LIST" + Le32(1000) + "ab", 0},
        {"data longer than the file", Riff({{"fmt ", kFmt}}) + "data" + Le32(100000) + click, 176},
        {"not a RIFF file", "RIFX" + Riff({{"data", click}}).substr(4), 0},
        {"empty file", "", 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        test::WriteWholeFile(ClickFile, k.file);
        TNode_Metronome node(ClickFile);
        EXPECT_EQ(node.LoadClick(), k.clickSize > 0);
        EXPECT_EQ(node.GetClickSize(), k.clickSize);
        if (k.clickSize) {
            node.SetEnabled(true);
            auto block = StereoSilence(50);
            TStreamTime time = 0;
            IChunkPtr chunk;
            node.Process(block.data(), static_cast<int>(block.size()), time, chunk);
            EXPECT_EQ(test::SampleAt(block, 0), 1000);
            EXPECT_EQ(test::SampleAt(block, 87), 1000);
            EXPECT_EQ(test::SampleAt(block, 88), 0);
        }
    }
}

TEST_F(MetronomeTest, DisabledPassesAudioAndNeverReadsTheFile) {
    WriteClick(StereoLevel(5, 1000));
    TNode_Metronome node(ClickFile);
    const auto music = test::StereoTone(200, 5000);
    auto block = music;
    TStreamTime time = 0;
    IChunkPtr chunk;
    EXPECT_EQ(node.Process(block.data(), static_cast<int>(block.size()), time, chunk), int(block.size()));
    EXPECT_EQ(block, music);
    EXPECT_EQ(node.GetClickSize(), 0);
}

TEST_F(MetronomeTest, ClicksStartAtBlockStartsAfterOffsetAndInterval) {
    WriteClick(StereoLevel(5, 1000));
    struct Case {
        int blockMs, offset;
        std::vector<int> starts;
    } cases[] = {
        {50, 0, {0, 1000, 2000}},
        {30, 0, {0, 1020, 2040}},  // the interval rounds up to whole blocks
        {50, 500, {500, 1500, 2500}},
        {30, 500, {510, 1530, 2550}},  // the first block that begins at or after 500 ms
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.blockMs << " ms blocks, offset " << k.offset);
        TNode_Metronome node(ClickFile);
        node.SetOffset(k.offset);
        node.SetInterval(1000);
        node.SetEnabled(true);
        EXPECT_EQ(ClickStarts(node, 3000, k.blockMs), k.starts);
    }
}

TEST_F(MetronomeTest, LongClickGoesOnInTheNextBlocksAndClips) {
    std::vector<uint8_t> click = StereoLevel(100, 30000);
    for (size_t i = 2; i + 1 < click.size(); i += 4) {  // right side negative
        const int16_t v = -30000;
        std::memcpy(&click[i], &v, 2);
    }
    WriteClick(click);
    TNode_Metronome node(ClickFile);
    node.SetEnabled(true);
    std::vector<uint8_t> out;
    for (int b = 0; b < 4; ++b) {
        auto block = StereoLevel(30, 20000);
        for (size_t i = 2; i + 1 < block.size(); i += 4) {
            const int16_t v = -20000;
            std::memcpy(&block[i], &v, 2);
        }
        TStreamTime time = 0;
        IChunkPtr chunk;
        node.Process(block.data(), static_cast<int>(block.size()), time, chunk);
        out.insert(out.end(), block.begin(), block.end());
    }
    const size_t lastClickFrame = 4410 - 1, firstAfter = 4410;
    EXPECT_EQ(test::SampleAt(out, 0), 32767);
    EXPECT_EQ(test::SampleAt(out, 1), -32768);
    EXPECT_EQ(test::SampleAt(out, 2 * lastClickFrame), 32767);
    EXPECT_EQ(test::SampleAt(out, 2 * firstAfter), 20000);
    EXPECT_EQ(test::SampleAt(out, 2 * firstAfter + 1), -20000);
}

TEST_F(MetronomeTest, MissingFileIsRetriedOnTheMainThreadNowAndThen) {
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    TNode_Metronome node(ClickFile);
    node.SetEnabled(true);
    EXPECT_EQ(node.GetClickSize(), 0);
    // 5 s of audio asks for a retry at 0, 2 and 4 s, never on every block.
    EXPECT_TRUE(ClickStarts(node, 5000, 50).empty());
    EXPECT_EQ(loop->ProcessPending(), 3);

    WriteClick(StereoLevel(5, 1000));
    ClickStarts(node, 2000, 50);
    EXPECT_EQ(loop->ProcessPending(), 1);
    EXPECT_EQ(node.GetClickSize(), 882);

    // A file that is there but unusable is not retried by itself.
    test::WriteWholeFile(ClickFile, Riff({{"fmt ", kFmt}}));
    TNode_Metronome broken(ClickFile);
    broken.SetEnabled(true);
    ClickStarts(broken, 5000, 50);
    EXPECT_EQ(loop->ProcessPending(), 0);
    SetMainThreadDispatcher(nullptr);
}

TEST_F(MetronomeTest, RetryAfterTheNodeIsGoneDoesNothing) {
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    {
        TNode_Metronome node(ClickFile);
        node.SetEnabled(true);
        ClickStarts(node, 50, 50);
    }
    WriteClick(StereoLevel(5, 1000));
    EXPECT_EQ(loop->ProcessPending(), 1);
    SetMainThreadDispatcher(nullptr);
}

}  // namespace
}  // namespace kelvar
