#include "foundation/ValueList.h"

namespace kelvar {

// Anchors the interface's vtable here.
IValueList::~IValueList() = default;

}  // namespace kelvar
