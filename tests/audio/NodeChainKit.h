#pragma once
// A node in a filter, pushed from the test, with a sink that records what comes out; and
// blocks of 16-bit stereo audio in the default format.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/graph/Pins_imp.h"
#include "common/Signals.h"

namespace kelvar::test {

struct TPushedBlock {
    std::vector<uint8_t> Data;
    TStreamTime Time = 0;
};

class TRecordingSink : public IPinSink {
public:
    void SetSource(IPinSourcePtr) override {}
    void Push(void* Buffer, int Length, TStreamTime Time) override {
        if (Length <= 0) return;
        const auto* p = static_cast<const uint8_t*>(Buffer);
        Blocks.push_back({std::vector<uint8_t>(p, p + Length), Time});
    }
    bool SetFormat(const TWaveFormat& Format) override {
        this->Format = Format;
        return true;
    }
    void EndOfStream() override { ++Ends; }
    void Seek(TStreamTime) override {}
    bool Start() override { return true; }
    void Stop() override {}

    std::vector<uint8_t> Joined() const {
        std::vector<uint8_t> all;
        for (const auto& b : Blocks) all.insert(all.end(), b.Data.begin(), b.Data.end());
        return all;
    }
    size_t Bytes() const {
        size_t n = 0;
        for (const auto& b : Blocks) n += b.Data.size();
        return n;
    }

    std::vector<TPushedBlock> Blocks;
    TWaveFormat Format{};
    int Ends = 0;
};

// A started filter around Node, feeding a recording sink.
template <class TNodeType>
struct TNodeChain {
    explicit TNodeChain(std::unique_ptr<TNodeType> Node = std::make_unique<TNodeType>(),
                        const TWaveFormat& Format = DefaultAudioFormat) {
        Node_ = Node.get();
        Filter = std::make_shared<TFilter>(std::move(Node));
        Sink = std::make_shared<TRecordingSink>();
        Connect(Filter, Sink);
        Filter->SetFormat(Format);
        Filter->Start();
    }
    ~TNodeChain() { Disconnect(Filter, Sink); }
    TNodeType& Node() { return *Node_; }
    // Pushes Data in blocks of BlockMs, stamped from Time on; answers the time after it.
    TStreamTime Push(std::vector<uint8_t> Data, TStreamTime Time, int BlockMs = 50) {
        const size_t block = static_cast<size_t>(MsToBytes(DefaultAudioFormat, BlockMs));
        for (size_t at = 0; at < Data.size(); at += block) {
            const size_t n = std::min(block, Data.size() - at);
            Filter->Push(Data.data() + at, static_cast<int>(n), Time);
            Time += BytesToMsRounded(DefaultAudioFormat, static_cast<int32_t>(n));
        }
        return Time;
    }

    std::shared_ptr<TFilter> Filter;
    std::shared_ptr<TRecordingSink> Sink;
    TNodeType* Node_ = nullptr;
};

// Stereo 16-bit blocks at 44100 Hz.
inline std::vector<uint8_t> StereoSilence(int Ms) {
    return std::vector<uint8_t>(static_cast<size_t>(MsToBytes(DefaultAudioFormat, Ms)), 0);
}

inline std::vector<uint8_t> StereoTone(int Ms, int Amplitude, double Hz = 441.0) {
    const std::vector<int16_t> samples =
        test::SineSamples(Hz, Amplitude, static_cast<size_t>(MsToBytes(DefaultAudioFormat, Ms) / 4), 44100, 2);
    std::vector<uint8_t> out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

// Every sample set to Value.
inline std::vector<uint8_t> StereoLevel(int Ms, int16_t Value) {
    std::vector<uint8_t> out(static_cast<size_t>(MsToBytes(DefaultAudioFormat, Ms)));
    for (size_t i = 0; i + 1 < out.size(); i += 2) std::memcpy(&out[i], &Value, 2);
    return out;
}

inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> Parts) {
    std::vector<uint8_t> all;
    for (const auto& p : Parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline int16_t SampleAt(const std::vector<uint8_t>& Data, size_t Index) {
    int16_t s;
    std::memcpy(&s, &Data[2 * Index], 2);
    return s;
}

}  // namespace kelvar::test
