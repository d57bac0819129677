#pragma once

namespace brannoc {

// i^(4/3) for i = 0..8191, shared by every instance; filled on first use.
const float* PowerTable();

}  // namespace brannoc
