#pragma once

#include "encoder/SbrTransient.h"

#include <vector>

namespace brannoc {

enum SbrFrameClass { kFixFix = 0, kFixVar = 1, kVarFix = 2, kVarVar = 3 };

// What the bitstream writer codes: class, absolute borders, relative borders, pointer, resolutions.
struct SbrGridControl {
    int frameClass = kFixFix;
    int envelopes = 1;  // FIXFIX: 1, 2 or 4
    int absStart = 0;   // VARFIX, VARVAR: 0..3
    int absEnd = 9;     // FIXVAR, VARVAR: 9..12
    int leadCount = 0;  // relative borders forward from absStart
    int lead[3] = {};
    int trailCount = 0;  // relative borders backward from absEnd
    int trail[3] = {};
    int pointer = 0;
    int resolution[5] = {};
};

struct SbrFrameInfo {
    int envelopes = 1;
    int borders[7] = {0, 9};
    int resolution[5] = {1};
    int transientEnvelope = 0;  // 0: none
    int noiseEnvelopes = 1;
    int noiseBorders[3] = {0, 9};
};

struct SbrGridGenerator {
    int staticFraming = 0;
    int staticEnvelopes = 2;
    int fixfixResolution = 1;
    int previousClass = kFixFix;
    bool spreading = false;
    std::vector<int> keptBorders;      // relative to the next frame
    std::vector<int> keptResolutions;  // of the segment starting at each kept border
    int keptTransient = -1;            // index into keptBorders, -1 none
    SbrGridControl control;
};

void SbrGridInit(SbrGridGenerator& generator, int staticFraming, int staticEnvelopesLog2, int fixfixResolution);

SbrFrameInfo SbrMakeGrid(SbrGridGenerator& generator, const SbrTransientInfo& info);

// Frame info from a control record, as a decoder derives it.
SbrFrameInfo SbrFrameInfoFromControl(const SbrGridControl& control, int fixfixResolution);

}  // namespace brannoc
