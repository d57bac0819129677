// The operations of a category that change the tree's structure: children, deletion, renaming
// and moves, in memory and in the category table.
#include <algorithm>

#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

const char* const PositionSQL =
    "UPDATE category SET parentID = :parentID, levelindex = :levelindex, itemindex = :itemindex WHERE ID = "
    ":categoryID ";

bool IsInSubtreeOf(const TCustomCategory* category, const TCustomCategory* root) {
    for (const TCustomCategory* c = category; c; c = c->Parent)
        if (c == root) return true;
    return false;
}

}  // namespace

std::unique_ptr<TCustomCategory> TCustomCategory::CreateSubNode(int32_t id, const std::string& name,
                                                                TCustomCategory* parent, int32_t itemIndex,
                                                                int32_t levelIndex) {
    if (!Parent)
        throw ECategoryError(
            "Category: Unable to create subnode. No parent with method handler for the CreateSubNode.");
    return Parent->CreateSubNode(id, name, parent ? parent : this, itemIndex, levelIndex);
}

TCustomCategory* TCustomCategory::FirstChild() { return Tree ? Tree->FirstChild(this) : nullptr; }

TCustomCategory* TCustomCategory::NextSibling() { return Tree ? Tree->NextSibling(this) : nullptr; }

void TCustomCategory::CloseGapAt(TCustomCategory* parent, int32_t index) {
    if (!Tree) return;
    for (TCustomCategory* sibling : Tree->Children(parent))
        if (sibling != this && sibling->ItemIndex > index) --sibling->ItemIndex;
}

void TCustomCategory::DeleteChildren() {
    for (TCustomCategory* child = FirstChild(); child;) {
        TCustomCategory* next = child->NextSibling();
        child->DeleteCategory();
        Tree->Remove(child);
        child = next;
    }
}

void TCustomCategory::DeleteCategory() {
    DeleteChildren();
    PoolExecSQL("DELETE FROM category WHERE ID = :ID", {ID});
    PoolExecSQL("DELETE FROM categorylist WHERE categoryID = :ID", {ID});
    PoolExecSQL("UPDATE category SET itemindex=itemindex-1 WHERE (parentID = :ID) AND (itemindex > :index)",
                {Parent ? Parent->ID : 0, ItemIndex});
    // The later siblings move up in memory as they did in the table, so the first child keeps
    // position 0.
    CloseGapAt(Parent, ItemIndex);
}

bool TCustomCategory::Rename(const std::string& newName) {
    if (newName == Name) return true;
    try {
        if (Tree && Tree->FindByName(newName)) return false;
        const int changed = PoolExecSQL("UPDATE category SET name=:name WHERE ID = :ID", {newName, ID});
        Name = newName;
        return changed > 0;
    } catch (const std::exception& e) {
        LogMessage("Error renaming category " + Name + " (" + e.what() + ")", "CORE", LogKind::Error);
        return false;
    }
}

void TCustomCategory::StorePosition() {
    if (ID <= 0) return;  // built-in categories have no row
    PoolExecSQL(PositionSQL, {Parent ? Parent->ID : 0, LevelIndex, ItemIndex, ID});
}

void TCustomCategory::StorePositionsBelow() {
    for (TCustomCategory* child = FirstChild(); child; child = child->NextSibling()) {
        child->LevelIndex = LevelIndex + 1;
        child->StorePosition();
        child->StorePositionsBelow();
    }
}

bool TCustomCategory::MoveTo(TCustomCategory* target, int mode) {
    if (!Tree || !target || (mode != 0 && mode != 1)) return false;
    TCustomCategory* newParent = mode == 0 ? target : target->Parent;
    // A move into its own subtree would make the parent chain a cycle.
    if (!newParent || IsInSubtreeOf(newParent, this) || target == this) return false;

    TCustomCategory* oldParent = Parent;
    if (mode == 0) {
        int32_t last = -1;
        for (TCustomCategory* child : Tree->Children(target))
            if (child != this) last = std::max(last, child->ItemIndex);
        Parent = target;
        ItemIndex = last + 1;
    } else {
        Parent = newParent;
        std::vector<TCustomCategory*> later;
        for (TCustomCategory* c = target; c; c = c->NextSibling()) later.push_back(c);
        for (auto it = later.rbegin(); it != later.rend(); ++it) {
            ++(*it)->ItemIndex;
            (*it)->StorePosition();
        }
        ItemIndex = target->ItemIndex - 1;
    }
    LevelIndex = Parent->LevelIndex + 1;
    StorePosition();
    StorePositionsBelow();

    // The siblings left behind close ranks, so none of them is lost to FirstChild.
    CompactChildren(oldParent);
    if (Parent != oldParent) CompactChildren(Parent);
    return true;
}

void TCustomCategory::CompactChildren(TCustomCategory* parent) {
    int32_t index = 0;
    for (TCustomCategory* sibling : Tree->Children(parent)) {
        if (sibling->ItemIndex != index) {
            sibling->ItemIndex = index;
            sibling->StorePosition();
        }
        ++index;
    }
}

}  // namespace kelvar
