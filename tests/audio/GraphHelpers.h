#pragma once
// Synthetic sources, sinks and nodes for the graph tests.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "audio/graph/Pins_imp.h"
#include "common/Signals.h"

namespace kelvar::testing {

// Interleaved stereo 16-bit sine of Ms milliseconds at DefaultAudioFormat.
inline std::vector<int16_t> Tone(int Ms, double Amplitude, double Hz = 1000.0) {
    return test::SineSamples(Hz, Amplitude, static_cast<size_t>(44100LL * Ms / 1000), 44100, 2);
}

inline std::vector<uint8_t> AsBytes(const std::vector<int16_t>& Samples) {
    std::vector<uint8_t> bytes(Samples.size() * 2);
    std::memcpy(bytes.data(), Samples.data(), bytes.size());
    return bytes;
}

// A source pin over a block of bytes, stamping each pull with its byte position as time.
class TVectorSource : public IPinSource {
public:
    explicit TVectorSource(std::vector<uint8_t> Data) : FData(std::move(Data)) {}
    void SetSink(IPinSinkPtr) override {}
    int Pull(void* Buffer, int Length, TStreamTime& Time) override {
        const int n = std::min<int>(Length, static_cast<int>(FData.size() - FPos));
        if (n <= 0) return 0;
        std::memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(n));
        Time = BytesToMsRounded(DefaultAudioFormat, static_cast<int>(FPos));
        FPos += static_cast<size_t>(n);
        ++Pulls;
        return n;
    }
    TWaveFormat GetFormat() override { return DefaultAudioFormat; }
    int Pulls = 0;

private:
    std::vector<uint8_t> FData;
    size_t FPos = 0;
};

// A sink that records what is pushed and the control calls it gets.
class TCaptureSink : public IPinSink {
public:
    void SetSource(IPinSourcePtr) override {}
    void Push(void* Buffer, int Length, TStreamTime Time) override {
        const auto* bytes = static_cast<const uint8_t*>(Buffer);
        Data.insert(Data.end(), bytes, bytes + Length);
        Times.push_back(Time);
    }
    bool SetFormat(const TWaveFormat& Format) override {
        LastFormat = Format;
        return AcceptFormat;
    }
    void EndOfStream() override { ++Ends; }
    void Seek(TStreamTime Time) override { SeekTime = Time; }
    bool Start() override { return ++Starts, true; }
    void Stop() override { ++Stops; }

    std::vector<uint8_t> Data;
    std::vector<TStreamTime> Times;
    TWaveFormat LastFormat{};
    bool AcceptFormat = true;
    int Ends = 0, Starts = 0, Stops = 0;
    TStreamTime SeekTime = -1;
};

// Keeps the first half of each block, in place.
class THalfNode : public TNode {
public:
    int Process(void*, int Length, TStreamTime&, IChunkPtr&) override { return Length / 2; }
    std::string GetName() const override { return "Half"; }
};

// Counts end-of-stream calls and passes audio unchanged.
class TCountingNode : public TNode {
public:
    int Process(void*, int Length, TStreamTime&, IChunkPtr&) override { return Length; }
    std::string GetName() const override { return "Counting"; }
    void EndOfStream() override { ++Ends; }
    int Ends = 0;
};

}  // namespace kelvar::testing
