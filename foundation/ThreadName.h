#pragma once
// Names the calling thread for debuggers, top and perf (at most 15 characters are kept).
#include <string>

namespace kelvar {

void SetCurrentThreadName(const std::string& name);

}  // namespace kelvar
