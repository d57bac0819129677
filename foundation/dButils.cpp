#include "foundation/dButils.h"

#include <cmath>

namespace kelvar {

double AbsNonZero(double v) {
    if (v == 0.0) return 1e-10;
    return std::fabs(v);
}

double LinearToDb255(double v) { return 20.0 * std::log10(AbsNonZero(v) / 255.0); }
double LinearToDb100(double v) { return 20.0 * std::log10(AbsNonZero(v) / 100.0); }
double LinearToDb32768(double v) { return 20.0 * std::log10(AbsNonZero(v) / 32768.0); }
double DbToLinear100(double dB) { return 100.0 / std::pow(10.0, AbsNonZero(dB) / 20.0); }
double DbToLinear32768(double dB) { return 32768.0 / std::pow(10.0, AbsNonZero(dB) / 20.0); }

}  // namespace kelvar
