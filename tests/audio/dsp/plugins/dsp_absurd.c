/* Test plug-in: answers an absurd frame count; a second file variant has no header at all. */
#include "audio/nodes/WinampDSPApi.h"

#ifdef NO_HEADER
__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return 0; }
#else
static int Init(TWinampDSPModule* m) {
    (void)m;
    return 0;
}
static void Quit(TWinampDSPModule* m) { (void)m; }

static int Modify(TWinampDSPModule* m, short int* s, int frames, int bps, int nch, int srate) {
    (void)m;
    (void)s;
    (void)frames;
    (void)bps;
    (void)nch;
    (void)srate;
    return 1 << 30;
}

static TWinampDSPModule Absurd = {"Absurd", 0, 0, 0, Init, Modify, Quit, 0};

static TWinampDSPModule* GetModule(int index) { return index == 0 ? &Absurd : 0; }

static TWinampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, "Test absurd", GetModule};

__attribute__((visibility("default"))) TWinampDSPHeader* winampDSPGetHeader2(void) { return &Header; }
#endif
