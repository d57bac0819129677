#include "gui/engine/WindowList_imp.h"

#include <algorithm>

#include "gui/engine/unMDIForm.h"

namespace kelvar {

TWindowItem::TWindowItem(std::string Name, std::string Caption, bool Sizeable)
    : FName(std::move(Name)), FCaption(std::move(Caption)), FSizeable(Sizeable) {}

TWindowItem::~TWindowItem() = default;

TfoMDIForm* TWindowItem::GetHost() const { return FHost.data(); }

void TWindowItem::SetHost(TfoMDIForm* Host) { FHost = Host; }

void TWindowItem::Activate() {
    if (FActive) throw EWindowItemError("Window item already active (" + FName + ")");
    FActive = true;
}

void TWindowItem::Deactivate() {
    if (!FActive) throw EWindowItemError("Window item not active, can not close (" + FName + ")");
    FActive = false;
}

TWindowList::~TWindowList() {
    try {
        Clear();
    } catch (...) {}
}

void TWindowList::Get(int Index, IWindowItemPtr& Item) const {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    Item = FItems[static_cast<size_t>(Index)];
}

void TWindowList::Add(IWindowItemPtr Item) {
    if (Item) FItems.push_back(std::move(Item));
}

void TWindowList::Remove(const IWindowItemPtr& Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    if (Item->IsActive()) Item->Deactivate();
    // The deactivation may have changed the list.
    it = std::find(FItems.begin(), FItems.end(), Item);
    if (it != FItems.end()) FItems.erase(it);
}

void TWindowList::Clear() {
    // A copy: a frame's deactivation must not invalidate the walk.
    const auto items = FItems;
    for (const auto& item : items)
        if (item->IsActive()) item->Deactivate();
    FItems.clear();
}

}  // namespace kelvar
