/* Test plug-in: one module that adds 1000 to every sample (order matters against the gain). */
#include "audio/nodes/WinampDSPApi.h"

static int Init(TWinampDSPModule* m) {
    (void)m;
    return 0;
}
static void Quit(TWinampDSPModule* m) { (void)m; }

static int Modify(TWinampDSPModule* m, short int* samples, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)bps;
    (void)srate;
    for (int i = 0; i < frames * nch; ++i) samples[i] = (short int)(samples[i] + 1000);
    return frames;
}

static TWinampDSPModule Offset = {"Offset", 0, 0, 0, Init, Modify, Quit, 0};

static TWinampDSPModule* GetModule(int index) { return index == 0 ? &Offset : 0; }

static TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, "Test offset", GetModule};

__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return &Header; }
