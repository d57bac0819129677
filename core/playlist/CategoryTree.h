#pragma once
// Every category object of the library's category tree, in the order they were added, with
// the lookups the library window, the clockwheel logic and the tree builder need.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistRules.h"
#include "core/playlist/SQLPoolEnabled.h"

namespace kelvar {

class TCategoryTree;

// The builder of the tree; the built-in tree installs its own.
using TFillCategoryTreeProc = void (*)(TCategoryTree& tree);
extern TFillCategoryTreeProc FillCategoryTree;

class TCategoryTree : public TSQLPoolEnabled {
public:
    TCategoryTree() = default;
    ~TCategoryTree() override;

    // Raises "FillCategoryTree procedure not set!" without a builder.
    void Fill();
    void Clear();
    // Takes the category over; answers it.
    TCustomCategory* Add(std::unique_ptr<TCustomCategory> category);
    // Takes it out and frees it.
    void Remove(TCustomCategory* category);
    int Count() const { return static_cast<int>(FItems.size()); }
    // None outside 0 .. Count-1.
    TCustomCategory* Items(int index) const;

    TCustomCategory* FindByID(int32_t id) const;
    TCustomCategory* FindByIDPtr(int32_t id) const { return FindByID(id); }
    // Without regard to case.
    TCustomCategory* FindByName(const std::string& name) const;
    // The child with the least position (the first of them in list order).
    TCustomCategory* FirstChild(const TCustomCategory* category) const;
    // The sibling with the next greater position.
    TCustomCategory* NextSibling(const TCustomCategory* category) const;
    // The children in order of position.
    std::vector<TCustomCategory*> Children(const TCustomCategory* category) const;

    void SetRules(IPlaylistRulesPtr rules) { FRules = std::move(rules); }
    const IPlaylistRulesPtr& GetRules() const { return FRules; }

    // Stores a new child row of Parent at the end of its children and answers its object; none
    // when storing or making it fails (nothing stays stored then).
    TCustomCategory* CreateCategory(TCustomCategory* parent, const std::string& name);

private:
    std::vector<std::unique_ptr<TCustomCategory>> FItems;
    // First category of each ID, for the lookups of the tree builder.
    std::unordered_map<int32_t, TCustomCategory*> FByID;
    IPlaylistRulesPtr FRules;
};

}  // namespace kelvar
