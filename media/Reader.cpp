#include "media/Reader.h"

namespace kelvar {

// Anchors the interface's vtable here.
IReader::~IReader() = default;

}  // namespace kelvar
