#include "media/Decoder.h"

namespace kelvar {

// Anchor the interfaces' vtables here.
IReader::~IReader() = default;
IDecoder::~IDecoder() = default;

}  // namespace kelvar
