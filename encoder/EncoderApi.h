#pragma once
#include "encoder/BrannocApi.h"

namespace brannoc {

// The static table of the eleven entry points that GetAPI hands to hosts.
const EncoderApi* ApiTable();

}  // namespace brannoc
