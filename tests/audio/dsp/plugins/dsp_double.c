/* Test plug-in: one module that repeats every frame, answering twice the frames it got. */
#include <string.h>

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
    for (int i = frames - 1; i >= 0; --i) {
        memmove(samples + (2 * i + 1) * nch, samples + i * nch, sizeof(short int) * nch);
        memmove(samples + 2 * i * nch, samples + i * nch, sizeof(short int) * nch);
    }
    return 2 * frames;
}

static TWinampDSPModule Doubler = {"Frame doubler", 0, 0, 0, Init, Modify, Quit, 0};

static TWinampDSPModule* GetModule(int index) { return index == 0 ? &Doubler : 0; }

static TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, "Test doubler", GetModule};

__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return &Header; }
