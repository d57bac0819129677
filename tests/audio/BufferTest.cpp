#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "audio/graph/AudioErrors.h"
#include "audio/graph/Buffer2_imp.h"
#include "audio/graph/Buffer_imp.h"
#include "common/AllocCount.h"

namespace kelvar {
namespace {

std::vector<uint8_t> Ramp(size_t count, uint8_t start = 0) {
    std::vector<uint8_t> data(count);
    std::iota(data.begin(), data.end(), start);
    return data;
}

TEST(Chunk, WriteReadAndSizeLimits) {
    TChunk chunk(10);
    const auto data = Ramp(16);
    EXPECT_EQ(chunk.Write(data.data(), 4), 4);
    EXPECT_FALSE(chunk.GetFull());
    EXPECT_EQ(chunk.Write(data.data() + 4, 6), 6);  // exactly fills it
    EXPECT_TRUE(chunk.GetFull());
    EXPECT_EQ(chunk.Write(data.data(), 3), 0);

    uint8_t out[16] = {};
    EXPECT_EQ(chunk.Read(out, 7), 7);
    EXPECT_EQ(chunk.GetPosition(), 7);
    EXPECT_EQ(chunk.GetRemaining(), 3);
    EXPECT_EQ(chunk.Read(out + 7, 16), 3);
    EXPECT_TRUE(chunk.IsEof());
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10), Ramp(10));

    try {
        chunk.SetSize(11);
        FAIL() << "no exception";
    } catch (const EAudioError& e) {
        EXPECT_STREQ(e.what(), "Data size bigger than allocated size");
    }
    EXPECT_THROW(chunk.SetSize(-1), EAudioError);
}

TEST(Buffer, FreeSpaceAndAvailableFollowWrites) {
    TBuffer buffer(20, 8820);
    EXPECT_EQ(buffer.FreeSpace(), 176400);
    const auto data = Ramp(100);
    buffer.Write(data.data(), 100);
    EXPECT_EQ(buffer.FreeSpace(), 176300);
    EXPECT_EQ(buffer.DataAvailable(), 0);  // the open chunk is not readable
    uint8_t out[100];
    EXPECT_EQ(buffer.Read(out, 100), 0);  // reads stop at the chunk being written
    buffer.Flush();
    EXPECT_EQ(buffer.DataAvailable(), 100);
    EXPECT_EQ(buffer.Read(out, 100), 100);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 100), data);
    EXPECT_TRUE(buffer.IsEmpty());
}

TEST(Buffer, WholeChunksAndWritesPastTheLimit) {
    TBuffer buffer(2, 64);
    const auto data = Ramp(3 * 64);
    buffer.Write(data.data(), static_cast<int>(data.size()));  // never refused
    EXPECT_EQ(buffer.DataAvailable(), 3 * 64);
    EXPECT_EQ(buffer.FreeSpace(), 0);
    std::vector<uint8_t> out(3 * 64);
    EXPECT_EQ(buffer.Read(out.data(), 100), 100);
    EXPECT_EQ(buffer.Read(out.data() + 100, 200), 92);
    EXPECT_EQ(out, data);
    EXPECT_EQ(buffer.FreeSpace(), 128);
}

TEST(Buffer, ClearDropsEverythingWritten) {
    TBuffer buffer(4, 16);
    const auto old = Ramp(40, 100);
    buffer.Write(old.data(), 40);
    buffer.Clear();
    EXPECT_TRUE(buffer.IsEmpty());
    const auto fresh = Ramp(10);
    buffer.Write(fresh.data(), 10);
    buffer.Flush();
    uint8_t out[64];
    EXPECT_EQ(buffer.Read(out, 64), 10);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10), fresh);
}

TEST(Buffer, ChunksHandedInAndOut) {
    TBuffer buffer(4, 16);
    IChunkPtr empty = std::make_shared<TChunk>(16);
    buffer.PutChunk(empty);
    EXPECT_NE(empty, nullptr);  // an empty chunk stays with the caller
    EXPECT_TRUE(buffer.IsEmpty());

    const auto first = Ramp(5);
    buffer.Write(first.data(), 5);  // open, then closed by PutChunk
    IChunkPtr chunk = std::make_shared<TChunk>(8);
    const auto second = Ramp(8, 50);
    chunk->Write(second.data(), 8);
    buffer.PutChunk(chunk);
    EXPECT_EQ(chunk, nullptr);
    EXPECT_EQ(buffer.DataAvailable(), 13);

    IChunkPtr out = buffer.GetChunk();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->GetSize(), 5);
    out = buffer.GetChunk();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->GetData()[0], 50);
    EXPECT_EQ(buffer.GetChunk(), nullptr);
}

TEST(Buffer, RefusesChunkSizeZero) {
    EXPECT_THROW(TBuffer(4, 0), EAudioError);
    TBuffer buffer(4, 16);
    EXPECT_THROW(buffer.SetChunkSize(0), EAudioError);
    EXPECT_THROW(TPreBuffer(1000, 0, 100), EAudioError);
}

TEST(AudioBuffer, ReadsAnswerTheTimeOfTheirFirstByte) {
    TAudioBuffer buffer(20, nullptr, 8820);
    std::vector<uint8_t> data(8820, 1);
    buffer.WriteStamped(data.data(), 8820, 1000);
    std::vector<uint8_t> out(4410);
    TStreamTime time = -5;
    EXPECT_EQ(buffer.ReadStamped(out.data(), 4410, time), 4410);
    EXPECT_EQ(time, 1000);
    EXPECT_EQ(buffer.ReadStamped(out.data(), 4410, time), 4410);
    EXPECT_EQ(time, 1025);
    EXPECT_EQ(buffer.ReadStamped(out.data(), 4410, time), 0);
    EXPECT_EQ(time, 0);  // nothing read
}

TEST(AudioBuffer, ReadSpanningChunksFromTimeZero) {
    TAudioBuffer buffer(20, nullptr, 1764);
    std::vector<uint8_t> data(1764 * 3, 2);
    buffer.WriteStamped(data.data(), static_cast<int>(data.size()), 0);
    std::vector<uint8_t> out(3000);
    TStreamTime time = 77;
    EXPECT_EQ(buffer.ReadStamped(out.data(), 3000, time), 3000);
    EXPECT_EQ(time, 0);
    EXPECT_EQ(buffer.ReadStamped(out.data(), 1000, time), 1000);
    EXPECT_EQ(time, 17);  // 3000 bytes = 17.0 ms into the stream
}

// A write that begins in a partly filled chunk stamps the next chunk with the time of its own
// first byte, not with the write's start time.
TEST(AudioBuffer, ChunkOpenedMidWriteCarriesItsOwnTime) {
    TAudioBuffer buffer(20, nullptr, 8820);
    std::vector<uint8_t> block(4608, 3);  // 26.1 ms
    buffer.WriteStamped(block.data(), 4608, 0);
    buffer.WriteStamped(block.data(), 4608, 26);  // 4212 bytes into chunk 1, 396 open chunk 2
    std::vector<uint8_t> out(8820);
    TStreamTime time = 0;
    EXPECT_EQ(buffer.ReadStamped(out.data(), 8820, time), 8820);
    EXPECT_EQ(time, 0);
    buffer.Flush();
    EXPECT_EQ(buffer.ReadStamped(out.data(), 396, time), 396);
    EXPECT_EQ(time, 26 + BytesToMsRounded(DefaultAudioFormat, 4212));  // 50, not 26
}

// A deck's bridge drains a second and fills it again, over and over: once it has been full,
// that costs no allocation on either side.
TEST(AudioBuffer, DrainAndRefillAllocateNothingOnceFull) {
    TAudioBuffer buffer(200, nullptr, 8820);
    std::vector<uint8_t> block(4410, 5), out(1764);
    TStreamTime time = 0;
    auto fill = [&] {
        while (buffer.FreeSpace() > 0) buffer.WriteStamped(block.data(), 4410, 0);
    };
    auto drain = [&](int Bytes) {
        for (int done = 0; done < Bytes;) done += buffer.ReadStamped(out.data(), 1764, time);
    };
    fill();
    drain(176400);
    fill();
    const int64_t before = testkit::ThreadAllocations();
    for (int round = 0; round < 5; ++round) {
        drain(176400 * 2);
        fill();
    }
    EXPECT_EQ(testkit::ThreadAllocations(), before);
}

TEST(AudioBuffer, RecycledChunkIsFilledAfresh) {
    TAudioBuffer buffer(20, nullptr, 4410);
    buffer.WriteStamped(Ramp(4410).data(), 4410, 1000);
    IChunkPtr chunk = buffer.GetChunk();
    ASSERT_TRUE(chunk);
    std::vector<uint8_t> part(100);
    chunk->Read(part.data(), 100);
    IChunk* raw = chunk.get();
    buffer.Recycle(std::move(chunk));

    const auto fresh = Ramp(4410, 7);
    buffer.WriteStamped(fresh.data(), 4410, 2000);
    IChunkPtr again = buffer.GetChunk();
    ASSERT_TRUE(again);
    EXPECT_EQ(again.get(), raw);
    EXPECT_EQ(std::dynamic_pointer_cast<IAudioChunk>(again)->GetTimeStamp(), 2000);
    std::vector<uint8_t> out(4410);
    EXPECT_EQ(again->Read(out.data(), 4410), 4410);
    EXPECT_EQ(out, fresh);

    // One still held elsewhere is left alone.
    IChunkPtr shared = again;
    buffer.Recycle(std::move(again));
    buffer.WriteStamped(fresh.data(), 4410, 3000);
    EXPECT_NE(buffer.GetChunk().get(), raw);
}

TEST(PreBuffer, HoldsDataUntilPreBufferIsFull) {
    constexpr int chunk = 100;
    TPreBuffer buffer(20 * chunk, chunk, 4 * chunk);
    EXPECT_TRUE(buffer.IsPreBuffering());
    std::vector<uint8_t> data(chunk, 9);
    std::vector<uint8_t> out(10 * chunk);
    for (int i = 0; i < 3; ++i) buffer.Write(data.data(), chunk);
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 0);
    buffer.Write(data.data(), chunk - 1);
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 0);  // the fourth chunk is not complete
    buffer.Write(data.data(), 1);
    EXPECT_FALSE(buffer.IsPreBuffering());
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 4 * chunk);
    EXPECT_TRUE(buffer.IsPreBuffering());  // underrun: held back again
    buffer.Write(data.data(), chunk);
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 0);
}

TEST(PreBuffer, PercentAndEndOfInput) {
    constexpr int chunk = 100;
    TPreBuffer buffer(20 * chunk, chunk, 4 * chunk);
    std::vector<uint8_t> data(chunk * 2 + 30, 5);
    buffer.Write(data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(buffer.PreBufferPercent(), 50);  // 2 of 4 chunks complete
    std::vector<uint8_t> out(10 * chunk);
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 0);
    buffer.SetEof();
    EXPECT_EQ(buffer.Read(out.data(), 10 * chunk), 2 * chunk + 30);
    EXPECT_FALSE(buffer.IsPreBuffering());
    buffer.Clear();
    EXPECT_TRUE(buffer.IsPreBuffering());
}

TEST(PreBuffer, ZeroPreBufferSizeReportsFullAndPasses) {
    TPreBuffer buffer(1000, 100, 0);
    EXPECT_EQ(buffer.PreBufferPercent(), 100);
    std::vector<uint8_t> data(100, 1);
    buffer.Write(data.data(), 100);
    std::vector<uint8_t> out(100);
    EXPECT_EQ(buffer.Read(out.data(), 100), 100);
}

TEST(PreBuffer, SwitchedOffPassesAtOnce) {
    TPreBuffer buffer(1000, 100, 400);
    buffer.SetPreBufferEnabled(false);
    std::vector<uint8_t> data(100, 1);
    buffer.Write(data.data(), 100);
    std::vector<uint8_t> out(100);
    EXPECT_EQ(buffer.Read(out.data(), 100), 100);
    buffer.Restart();
    buffer.Write(data.data(), 100);  // held in the pre-buffer, moved on by the next call
    EXPECT_EQ(buffer.Read(out.data(), 100), 100);
}

}  // namespace
}  // namespace kelvar
