// A Winamp DSP library for the tests: module 0 halves the samples, module 1 inverts them and
// throws from its Config, module 2 fails its Init, sets every sample to 7 and claims twice the frames it got.
// TEST_NO_ENTRY builds it without its entry point.
#include <stdexcept>

#include "audio/nodes/WinampDSPApi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

// What the tests read back.
extern "C" {
__attribute__((visibility("default"))) int DspTestInits = 0;
__attribute__((visibility("default"))) int DspTestQuits = 0;
__attribute__((visibility("default"))) int DspTestConfigs = 0;
__attribute__((visibility("default"))) void* DspTestInstance = nullptr;
}

namespace {

int Init(TWinampDSPModule* m) {
    ++DspTestInits;
    DspTestInstance = m->hDllInstance;
    return 0;
}
int FailInit(TWinampDSPModule* m) {
    Init(m);
    return 1;
}
void Quit(TWinampDSPModule*) { ++DspTestQuits; }
void Config(TWinampDSPModule*) { ++DspTestConfigs; }
void ThrowingConfig(TWinampDSPModule*) {
    ++DspTestConfigs;
    throw std::runtime_error("dialog broke");
}

int Halve(TWinampDSPModule*, short int* samples, int frames, int, int nch, int) {
    for (int i = 0; i < frames * nch; ++i) samples[i] = static_cast<short int>(samples[i] / 2);
    return frames;
}
int Invert(TWinampDSPModule*, short int* samples, int frames, int, int nch, int) {
    for (int i = 0; i < frames * nch; ++i) samples[i] = static_cast<short int>(-samples[i]);
    return frames;
}
int Greedy(TWinampDSPModule*, short int* samples, int frames, int, int nch, int) {
    for (int i = 0; i < frames * nch; ++i) samples[i] = 7;
    return frames * 2;
}

char HalveName[] = "Halve";
char InvertName[] = "Invert";
char GreedyName[] = "Greedy";
char HeaderName[] = "Test DSP library";

TWinampDSPModule Modules[] = {
    {HalveName, 0, nullptr, Config, Init, Halve, Quit, nullptr},
    {InvertName, 0, nullptr, ThrowingConfig, Init, Invert, Quit, nullptr},
    {GreedyName, 0, nullptr, Config, FailInit, Greedy, Quit, nullptr},
};

TWinampDSPModule* GetModule(int index) { return index >= 0 && index < 3 ? &Modules[index] : nullptr; }

[[maybe_unused]] TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, HeaderName, GetModule};

}  // namespace

#ifndef TEST_NO_ENTRY
EXPORT TWinampDSPHeader* winampDSPGetHeader2() { return &Header; }
#endif
