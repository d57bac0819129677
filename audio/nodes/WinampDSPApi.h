/* The DSP plug-in interface (header version 2) as shared objects "dsp_*.so" implement it: the
 * library exports "winampDSPGetHeader2", which answers its header; the header's getModule
 * answers module 0, 1, ... until it answers none. Plain C, so plug-ins can be written in C. */
#ifndef KELVAR_WINAMP_DSP_API_H
#define KELVAR_WINAMP_DSP_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WINAMP_DSP_HEADER_VERSION 0x20

typedef struct TWinampDSPModule {
    char* description;
    /* Filled in by the host before the module is used: its native parent window (an X11
     * window id, 0 for none) and the library's handle. */
    uintptr_t hwndParent;
    void* hDllInstance;
    /* Shows the module's own settings dialog. */
    void (*Config)(struct TWinampDSPModule* this_mod);
    /* 0 on success. */
    int (*Init)(struct TWinampDSPModule* this_mod);
    /* Works on 16-bit interleaved samples in place; answers the new frame count, which may be
     * up to twice the one given (the host's buffer holds that much). */
    int (*ModifySamples)(struct TWinampDSPModule* this_mod, short int* samples, int numsamples, int bps, int nch,
                         int srate);
    void (*Quit)(struct TWinampDSPModule* this_mod);
    void* userData;
} TWinampDSPModule;

typedef struct TWinampDSPHeader {
    int version;
    char* description;
    TWinampDSPModule* (*getModule)(int index);
} TWinampDSPHeader;

typedef TWinampDSPHeader* (*TWinampDSPGetHeader2)(void);

#define WINAMP_DSP_ENTRY_POINT "winampDSPGetHeader2"

#ifdef __cplusplus
}
#endif

#endif
