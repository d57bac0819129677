#include "encoder/Mp3Tables.h"

namespace brannoc {

namespace {
const int kRates[9] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};

const int kBitrates[2][15] = {
    {0, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000},
    {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000},
};

const int kLong[9][23] = {
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 12, 24, 36, 48, 60, 72, 88, 108, 132, 160, 192, 232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
};

const int kShort[9][14] = {
    {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192},
    {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192},
    {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192},
    {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192},
};

int RateSlot(int rate) {
    for (int i = 0; i < 9; ++i)
        if (kRates[i] == rate) return i;
    return 0;
}
}  // namespace

const int kPretab[kLongBands] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};
const int kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
const int kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

bool IsMpegRate(int rate) {
    for (int r : kRates)
        if (r == rate) return true;
    return false;
}

MpegVersion VersionOfRate(int rate) {
    if (rate > 24000) return MpegVersion::Mpeg1;
    if (rate > 12000) return MpegVersion::Mpeg2;
    return MpegVersion::Mpeg25;
}

int SampleRateIndex(int rate) { return RateSlot(rate) % 3; }

int GranulesPerFrame(int rate) { return rate >= 32000 ? 2 : 1; }

int BitrateOfIndex(MpegVersion version, int index) {
    if (index < 0 || index > 14) return 0;
    return kBitrates[version == MpegVersion::Mpeg1 ? 0 : 1][index];
}

int SideInfoBits(MpegVersion version, int channels) {
    if (version == MpegVersion::Mpeg1) return channels == 1 ? 136 : 256;
    return channels == 1 ? 72 : 136;
}

const int* LongBandEdges(int rate) { return kLong[RateSlot(rate)]; }
const int* ShortBandEdges(int rate) { return kShort[RateSlot(rate)]; }

}  // namespace brannoc
