#include "core/playlist/SongItem.h"

#include <algorithm>

#include "foundation/Errors.h"

namespace kelvar {

namespace {

[[noreturn]] void RaiseIndexError(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

int TSongItemList::Count() const { return static_cast<int>(FItems.size()); }

void TSongItemList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
}

TSongItem& TSongItemList::Items(int index) {
    CheckIndex(index);
    return *FItems[index];
}

void TSongItemList::Recalc() {
    int64_t total = 0;
    bool unknown = false;
    for (auto& item : FItems) {
        if (item->Duration > 0) {
            item->StartTime = total;
            total += item->Duration / 1000;
        } else {
            unknown = true;
        }
    }
    FTotalDuration = static_cast<int32_t>(total);
    FHasUnknownDuration = unknown;
}

TSongItem& TSongItemList::Add() {
    FItems.push_back(std::make_unique<TSongItem>());
    return *FItems.back();
}

TSongItem& TSongItemList::Insert(int index) {
    if (index < 0 || index > Count()) RaiseIndexError(index);
    auto it = FItems.insert(FItems.begin() + index, std::make_unique<TSongItem>());
    return **it;
}

void TSongItemList::Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
}

int TSongItemList::Remove(const TSongItem* item) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [item](const auto& p) { return p.get() == item; });
    if (it == FItems.end()) return -1;
    int index = static_cast<int>(it - FItems.begin());
    FItems.erase(it);
    return index;
}

void TSongItemList::Clear() { FItems.clear(); }

void TSongItemList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    auto item = std::move(FItems[curIndex]);
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, std::move(item));
}

void TSongItemList::MoveFrom(ISongItemList& source, int mode, int index) {
    if (&source == this) return;
    if (mode != 1 && (index < 0 || index > Count())) RaiseIndexError(index);
    int at = index;
    while (source.Count() > 0) {
        std::unique_ptr<TSongItem> item = source.Extract(0);
        if (mode == 1) {
            FItems.push_back(std::move(item));
        } else {
            FItems.insert(FItems.begin() + at, std::move(item));
            ++at;
        }
    }
}

std::unique_ptr<TSongItem> TSongItemList::Extract(int index) {
    CheckIndex(index);
    std::unique_ptr<TSongItem> item = std::move(FItems[index]);
    FItems.erase(FItems.begin() + index);
    return item;
}

ISongItemListPtr NewSongItemList() { return std::make_shared<TSongItemList>(); }

int TLevelItemList::Count() const { return static_cast<int>(FItems.size()); }

TSongItem& TLevelItemList::Items(int index) {
    if (index < 0 || index >= Count()) RaiseIndexError(index);
    return *FItems[index];
}

TSongItem& TLevelItemList::Add() {
    FItems.push_back(std::make_unique<TSongItem>());
    return *FItems.back();
}

void TLevelItemList::Clear() { FItems.clear(); }

ILevelItemListPtr NewLevelItemList() { return std::make_shared<TLevelItemList>(); }

}  // namespace kelvar
