/* Test plug-in: one module that halves every sample. */
#include "audio/nodes/WinampDSPApi.h"

static int Init(TWinampDSPModule* m) {
    (void)m;
    return 0;
}
static void Quit(TWinampDSPModule* m) { (void)m; }
static void Config(TWinampDSPModule* m) { (void)m; }

static int Modify(TWinampDSPModule* m, short int* samples, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)bps;
    (void)srate;
    for (int i = 0; i < frames * nch; ++i) samples[i] = (short int)(samples[i] / 2);
    return frames;
}

static TWinampDSPModule Half = {"Half gain", 0, 0, Config, Init, Modify, Quit, 0};

static TWinampDSPModule* GetModule(int index) { return index == 0 ? &Half : 0; }

static TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, "Test gain", GetModule};

__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return &Header; }
