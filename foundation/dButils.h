#pragma once
// Decibel conversions. Every input first goes through AbsNonZero, so 0 never reaches log10 and
// the conversions back to amplitude treat -6 dB and +6 dB alike.
namespace kelvar {

// 0 becomes 1e-10, a negative value its absolute value.
double AbsNonZero(double v);

double LinearToDb255(double v);     // 20 log10(v / 255)
double LinearToDb100(double v);     // 20 log10(v / 100)
double LinearToDb32768(double v);   // 20 log10(v / 32768), levels of 16-bit samples
double DbToLinear100(double dB);    // 100 / 10^(dB / 20)
double DbToLinear32768(double dB);  // 32768 / 10^(dB / 20), thresholds of 16-bit samples

}  // namespace kelvar
