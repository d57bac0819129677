#pragma once
// An ordered list of 32-bit integers (song IDs or list IDs).
#include <cstdint>
#include <vector>

namespace kelvar {

class TIntegerList {
public:
    TIntegerList() = default;
    TIntegerList(std::initializer_list<int32_t> values) : FItems(values) {}

    // Answers the index of the new value.
    int Add(int32_t value);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raise EListError outside 0 .. Count-1.
    int32_t Items(int index) const;
    void Delete(int index);

    const std::vector<int32_t>& Values() const { return FItems; }

private:
    std::vector<int32_t> FItems;
};

}  // namespace kelvar
