#pragma once

namespace brannoc {

// Header fields the band tables derive from.
struct SbrBandSettings {
    int startIndex = 5;
    int stopIndex = 9;
    int frequencyScale = 2;
    int alterScale = 1;
    int crossoverBand = 0;
    bool dualRate = true;
};

// The frequency band tables, all in QMF band indexes.
struct SbrBandTables {
    int sbrRate = 44100;
    int k0 = 0, k2 = 0;
    int master[49] = {};
    int masterCount = 0;  // N_master: the table holds masterCount + 1 borders
    int high[49] = {};
    int highCount = 0;
    int low[25] = {};
    int lowCount = 0;
    float crossoverHz = 0.0f;
};

int SbrStartBand(int startIndex, int bands, int sbrRate);
int SbrStopBand(int bands, int sbrRate, int stopIndex, int k0);
// floor(k x rate / 128) Hz; -1 for an index outside 0..15 (start) or 0..13 (stop).
int SbrStartFrequency(int startIndex, int sbrRate);
int SbrStopFrequency(int stopIndex, int sbrRate);

// With full set derives k0, k2 and the master table first; always the high- and low-resolution
// tables and the crossover frequency. False when the band limits are refused.
bool SbrResetTables(SbrBandTables& tables, const SbrBandSettings& settings, int bands, bool full);

// Noise band borders from the low-resolution table; count receives N_Q. False on an inconsistent count.
bool SbrNoiseBands(const SbrBandTables& tables, int bandsPerOctave, int* borders, int& count);

// Ascending insertion sort with the gaps 1, 4, 13, ...
void SbrSortAscending(int* values, int count);

}  // namespace brannoc
