#pragma once
// Renders files one after another on decks A and B through the real players, channels, mixer
// and silent output, chaining the next file on a deck's start-next event, and writes the
// on-air mix to a WAV file. Shared by kelvar-render and the render benchmark.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvar::render {

struct TRenderOptions {
    std::string Output;    // WAV file (44100 Hz, 16 bit, stereo)
    std::string Settings;  // default song settings text; empty: the built-in defaults
    bool HasSettings = false;
    std::string Config;    // configuration document; empty: none
    double ClockRate = 0;  // silent output's clock rate; 0 or less: as fast as it runs
    std::vector<std::string> Files;
};

struct TRenderResult {
    bool Ok = false;
    std::string Error;
    int64_t Bytes = 0;        // PCM bytes written
    double AudioSeconds = 0;  // of the mix written
    double WallSeconds = 0;   // from the first pull to the end
    double CpuSeconds = 0;    // process CPU time over the same span
    int Loaded = 0;
    int Failed = 0;
    int Peak = 0;  // largest absolute sample
};

TRenderResult Render(const TRenderOptions& Options);

}  // namespace kelvar::render
