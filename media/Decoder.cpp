#include "media/Decoder.h"

namespace kelvar {

// Anchors the interface's vtable here.
IDecoder::~IDecoder() = default;

}  // namespace kelvar
