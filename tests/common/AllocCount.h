#pragma once
// Counts the calls of the global operator new made by the calling thread, so a test can see
// whether a real-time path allocates.
#include <cstdint>

namespace kelvar::testkit {
int64_t ThreadAllocations();
}
