#pragma once
#include <cstdint>

namespace brannoc {

// Facts of the MPEG audio Layer III format shared by the core's units.
enum class MpegVersion { Mpeg1 = 0, Mpeg2 = 1, Mpeg25 = 2 };

constexpr int kGranuleSize = 576;
constexpr int kLongBands = 22;   // scalefactor bands of a long block (the last one carries no scalefactor)
constexpr int kShortBands = 13;  // per window of a short block

bool IsMpegRate(int rate);
MpegVersion VersionOfRate(int rate);
int SampleRateIndex(int rate);                       // the header's 2-bit code
int GranulesPerFrame(int rate);                      // 2 for MPEG-1, else 1
int BitrateOfIndex(MpegVersion version, int index);  // bit/s; index 0..14
int SideInfoBits(MpegVersion version, int channels);

// Scalefactor band boundaries in lines: 23 entries (long) and 14 entries (short, lines of one window).
const int* LongBandEdges(int rate);
const int* ShortBandEdges(int rate);

extern const int kPretab[kLongBands];
extern const int kSlen1[16];
extern const int kSlen2[16];

}  // namespace brannoc
