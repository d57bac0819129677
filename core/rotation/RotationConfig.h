#pragma once
// Settings reads of the rotation that survive a damaged configuration: a value that can't be
// read is logged and the current value is kept, so the other settings still load.
#include <string>

#include "foundation/ConfigDoc.h"

namespace kelvar {

int ReadConfigInt(const IConfigDoc& node, const std::string& name, int current);
// Infinite and NaN values count as unreadable.
double ReadConfigFloat(const IConfigDoc& node, const std::string& name, double current);
bool ReadConfigBool(const IConfigDoc& node, const std::string& name, bool current);

}  // namespace kelvar
