#include "core/playlist/IntegerList.h"

#include <string>

#include "foundation/Errors.h"

namespace kelvar {

int TIntegerList::Add(int32_t value) {
    FItems.push_back(value);
    return Count() - 1;
}

int32_t TIntegerList::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[index];
}

void TIntegerList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.erase(FItems.begin() + index);
}

}  // namespace kelvar
