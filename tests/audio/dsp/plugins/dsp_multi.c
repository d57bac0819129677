/* Test plug-in with four modules: 0 negates, 1 silences, 2 adds 7, 3 fails its Init. It counts
 * Init, Quit and Config calls and keeps the parent window Config saw, for the tests to read. */
#include "audio/nodes/WinampDSPApi.h"

static int Inits, Quits, Configs;
static uintptr_t ConfigParent;

static int Init(TWinampDSPModule* m) {
    (void)m;
    ++Inits;
    return 0;
}
static int FailInit(TWinampDSPModule* m) {
    (void)m;
    return 1;
}
static void Quit(TWinampDSPModule* m) {
    (void)m;
    ++Quits;
}
static void Config(TWinampDSPModule* m) {
    ++Configs;
    ConfigParent = m->hwndParent;
}

static int Negate(TWinampDSPModule* m, short int* s, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)bps;
    (void)srate;
    for (int i = 0; i < frames * nch; ++i) s[i] = (short int)-s[i];
    return frames;
}

static int Silence(TWinampDSPModule* m, short int* s, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)bps;
    (void)srate;
    for (int i = 0; i < frames * nch; ++i) s[i] = 0;
    return frames;
}

static int AddSeven(TWinampDSPModule* m, short int* s, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)bps;
    (void)srate;
    for (int i = 0; i < frames * nch; ++i) s[i] = (short int)(s[i] + 7);
    return frames;
}

static TWinampDSPModule Modules[4] = {
    {"Negate", 0, 0, Config, Init, Negate, Quit, 0},
    {"Silence", 0, 0, Config, Init, Silence, Quit, 0},
    {"Add seven", 0, 0, Config, Init, AddSeven, Quit, 0},
    {"Broken", 0, 0, Config, FailInit, AddSeven, Quit, 0},
};

static TWinampDSPModule* GetModule(int index) { return index >= 0 && index < 4 ? &Modules[index] : 0; }

static TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, "Test multi", GetModule};

__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return &Header; }
__attribute__((visibility("default"))) int TestInits(void) { return Inits; }
__attribute__((visibility("default"))) int TestQuits(void) { return Quits; }
__attribute__((visibility("default"))) int TestConfigs(void) { return Configs; }
__attribute__((visibility("default"))) uintptr_t TestConfigParent(void) { return ConfigParent; }
