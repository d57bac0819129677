#pragma once
// A test-side reader of the SBR blocks in the ancillary data of a stream's frames: it finds each
// frame's block, checks its length field and CRC, and parses the element with the standard's code
// tables (read from the SBR data files when they are at hand) down to absolute envelope and noise
// values.
#include "FrameReader.h"

#include <memory>
#include <string>
#include <vector>

struct SbrChannelData {
    int frameClass = 0;
    int envelopes = 0;
    int borders[6] = {};         // time slots of 128 samples, relative to the frame
    int resolution[5] = {};      // 1 high, 0 low
    std::vector<int> levels[5];  // absolute values per band of the envelope's resolution (balances doubled)
    int noiseEnvelopes = 0;
    std::vector<int> noise[2];
    int invfMode = 0;
    int sinusoids = 0;
};

struct SbrBlock {
    bool found = false;
    int tag = 0;
    int lengthBytes = 0;
    bool crc = false;
    bool header = false;
    bool coupled = false;
    int channels = 0;
    int amplitudeResolution = 1;
    int midSideClass = 0;
    SbrChannelData channel[2];
    // Band borders (QMF bands) the envelopes refer to.
    std::vector<int> high, low, noiseBands;
    std::string error;  // why no valid block was found
};

class SbrStreamReader {
public:
    SbrStreamReader();
    // Where the code tables came from: "data file" or "library".
    const std::string& TableSource() const { return tableSource_; }
    // Reads the block of one frame (frames in stream order; time deltas refer to earlier frames).
    SbrBlock ReadFrame(const FrameInfo& frame);

    struct State;

private:
    std::string tableSource_;
    std::shared_ptr<State> state_;
};
