#pragma once
// Windows Media times count in units of 100 ns.
#include <cstdint>

namespace kelvar {

constexpr int64_t UnitsToMs(int64_t units) { return units / 10000; }
constexpr int64_t MsToUnits(int64_t ms) { return ms * 10000; }

}  // namespace kelvar
