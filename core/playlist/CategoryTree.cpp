#include "core/playlist/CategoryTree.h"

#include <algorithm>

#include "foundation/Logger.h"
#include "foundation/TextUtil.h"

namespace kelvar {

TCategoryTree::~TCategoryTree() { Clear(); }

void TCategoryTree::Fill() {
    if (!FillCategoryTree) throw ECategoryError("FillCategoryTree procedure not set!");
    FillCategoryTree(*this);
}

void TCategoryTree::Clear() {
    // Each category stops its loader as it goes; the last added (the deepest) go first.
    while (!FItems.empty()) FItems.pop_back();
    FByID.clear();
}

TCustomCategory* TCategoryTree::Add(std::unique_ptr<TCustomCategory> category) {
    TCustomCategory* result = category.get();
    if (!result) return nullptr;
    result->Tree = this;
    FItems.push_back(std::move(category));
    FByID.emplace(result->ID, result);
    return result;
}

void TCategoryTree::Remove(TCustomCategory* category) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [&](const auto& c) { return c.get() == category; });
    if (it == FItems.end()) return;
    std::unique_ptr<TCustomCategory> owned = std::move(*it);
    FItems.erase(it);
    auto found = FByID.find(owned->ID);
    if (found != FByID.end() && found->second == category) {
        FByID.erase(found);
        for (const auto& c : FItems)
            if (c->ID == owned->ID) {
                FByID.emplace(c->ID, c.get());
                break;
            }
    }
}

TCustomCategory* TCategoryTree::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

TCustomCategory* TCategoryTree::FindByID(int32_t id) const {
    auto found = FByID.find(id);
    return found == FByID.end() ? nullptr : found->second;
}

TCustomCategory* TCategoryTree::FindByName(const std::string& name) const {
    for (const auto& c : FItems)
        if (SameTextUtf8(c->Name, name)) return c.get();
    return nullptr;
}

TCustomCategory* TCategoryTree::FirstChild(const TCustomCategory* category) const {
    TCustomCategory* best = nullptr;
    for (const auto& c : FItems)
        if (c->Parent == category && category && (!best || c->ItemIndex < best->ItemIndex)) best = c.get();
    return best;
}

TCustomCategory* TCategoryTree::NextSibling(const TCustomCategory* category) const {
    if (!category) return nullptr;
    TCustomCategory* best = nullptr;
    for (const auto& c : FItems)
        if (c->Parent == category->Parent && c->ItemIndex > category->ItemIndex &&
            (!best || c->ItemIndex < best->ItemIndex))
            best = c.get();
    return best;
}

std::vector<TCustomCategory*> TCategoryTree::Children(const TCustomCategory* category) const {
    std::vector<TCustomCategory*> result;
    for (const auto& c : FItems)
        if (c->Parent == category) result.push_back(c.get());
    std::stable_sort(result.begin(), result.end(),
                     [](const TCustomCategory* a, const TCustomCategory* b) { return a->ItemIndex < b->ItemIndex; });
    return result;
}

TCustomCategory* TCategoryTree::CreateCategory(TCustomCategory* parent, const std::string& name) {
    if (!parent) throw ECategoryError("Parent can not be nil for created nodes...");
    int32_t count = 0;
    for (TCustomCategory* child = parent->FirstChild(); child; child = child->NextSibling()) ++count;

    IDatasetPtr rows = PoolQuery("SELECT * FROM category WHERE levelindex = :level AND parentID=:parentID",
                                 {parent->LevelIndex + 1, parent->ID}, false);
    rows->Append();
    rows->SetFieldValue("parentID", parent->ID);
    rows->SetFieldValue("name", name);
    rows->SetFieldValue("levelindex", parent->LevelIndex + 1);
    rows->SetFieldValue("itemindex", count);
    bool posted = false;
    try {
        rows->Post();
        posted = true;
        const int32_t id = static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger());
        auto category = parent->CreateSubNode(id, rows->GetFieldValue("name").AsString(), parent,
                                              static_cast<int32_t>(rows->GetFieldValue("itemindex").AsInteger()),
                                              static_cast<int32_t>(rows->GetFieldValue("levelindex").AsInteger()));
        return Add(std::move(category));
    } catch (const std::exception& e) {
        LogMessage("Error creating category " + name + " (" + e.what() + ")", "CORE", LogKind::Error);
        try {
            // A stored row without its object would stand in the way of the next start.
            if (posted)
                rows->Delete();
            else
                rows->Cancel();
        } catch (const std::exception& e2) {
            LogMessage(std::string("Error removing the new category row (") + e2.what() + ")", "CORE", LogKind::Error);
        }
        return nullptr;
    }
}

}  // namespace kelvar
