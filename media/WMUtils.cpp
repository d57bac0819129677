#include "media/WMUtils.h"

namespace kelvar {

static_assert(UnitsToMs(MsToUnits(1234)) == 1234);
static_assert(UnitsToMs(9999) == 0, "whole milliseconds, rounded down");

}  // namespace kelvar
