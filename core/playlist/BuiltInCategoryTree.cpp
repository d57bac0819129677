#include "core/playlist/BuiltInCategoryTree.h"

#include "core/playlist/CategoryKinds.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/LevelCategories.h"
#include "foundation/Logger.h"

namespace kelvar {

// The built-in tree is the builder from the start.
TFillCategoryTreeProc FillCategoryTree = BuildCategoryTree;

namespace {

struct TSongTypeFolder {
    const char* Name;
    char SongType;
};

const TSongTypeFolder SongTypeFolders[] = {
    {"Music", 'S'},          {"Sound FX", 'X'}, {"Station IDs", 'I'}, {"Jingles", 'J'}, {"Promos", 'P'},
    {"Advertisements", 'A'}, {"News", 'N'},     {"Interviews", 'V'},  {"Other", 'C'},
};

struct TWeightClass {
    const char* Name;
    int32_t MinWeight, MaxWeight;
};

// "Power hit" ends at 101 so that it takes weight 100.
const TWeightClass WeightClasses[] = {
    {"Power hit", 80, 101},     {"Heavy rotation", 60, 80}, {"Medium rotation", 40, 60},
    {"Light rotation", 20, 40}, {"Rare rotation", 10, 20},  {"No rotation", 0, 10},
};

struct TLevelGroup {
    const char* Name;
    bool Alphabet;
    const char* FieldName;
};

const TLevelGroup LevelGroups[] = {
    {"By Artist (A to Z)", true, "artist"}, {"By Title (A to Z)", true, "title"}, {"By Artist", false, "artist"},
    {"By Title", false, "title"},           {"By Album", false, "album"},         {"By Year", false, "albumyear"},
    {"By Genre", false, "genre"},
};

struct TPlayLimitClass {
    const char* Name;
    int32_t Count;
    const char* Action;
};

const TPlayLimitClass PlayLimitClasses[] = {
    {"Play unlimited", 0, "none"},
    {"Play once", 1, "none"},
    {"Play once and remove", 1, "remove"},
    {"Play once and erase", 1, "erase"},
};

// Makes the built-in categories in their fixed order: each takes the next identifier, counting
// down from 0.
class TBuiltInBuilder {
public:
    explicit TBuiltInBuilder(TCategoryTree& tree) : FTree(tree) {}

    template <class T>
    T* Make(TCustomCategory* parent, int32_t& counter, const std::string& name) {
        const int32_t level = parent ? parent->LevelIndex + 1 : 0;
        auto category = std::make_unique<T>(&FTree, parent, counter, level, name, FNextID);
        T* result = category.get();
        FTree.Add(std::move(category));
        ++counter;
        --FNextID;
        return result;
    }

private:
    TCategoryTree& FTree;
    int32_t FNextID = 0;
};

void BuildBuiltIns(TCategoryTree& tree) {
    TBuiltInBuilder make(tree);
    int32_t top = 0;
    make.Make<TRootCategory>(nullptr, top, "Playlist");
    auto* content = make.Make<TSpecialCategory>(nullptr, top, "Content");
    int32_t contentItems = 0;
    for (const auto& folder : SongTypeFolders)
        make.Make<TSongTypeParentCategory>(content, contentItems, folder.Name)->SongType = folder.SongType;
    for (TCustomCategory* folder = content->FirstChild(); folder; folder = folder->NextSibling()) {
        int32_t allItems = 0;
        make.Make<TSongTypeCategoryAll>(folder, allItems, folder->Name + " (All)")->SongType = folder->SongType;
    }

    auto* special = make.Make<TSpecialCategory>(nullptr, top, "Special");
    // "Weighted Rotation" and the groups share one counter, so "Play limit" takes 7.
    int32_t shared = 0;
    auto* weighted = make.Make<TSpecialCategory>(special, shared, "Weighted Rotation");
    int32_t weightItems = 0;
    for (const auto& weight : WeightClasses) {
        auto* category = make.Make<TWeightCategory>(weighted, weightItems, weight.Name);
        category->MinWeight = weight.MinWeight;
        category->MaxWeight = weight.MaxWeight;
    }

    auto* groups = make.Make<TSpecialCategory>(nullptr, top, "Groups");
    shared = 0;
    for (const auto& group : LevelGroups) {
        if (group.Alphabet)
            make.Make<TAlphabetLevelCategory>(groups, shared, group.Name)->FieldName = group.FieldName;
        else
            make.Make<TFieldLevelCategory>(groups, shared, group.Name)->FieldName = group.FieldName;
    }

    make.Make<TRecycleBinCategory>(nullptr, top, "Recycle Bin");
    auto* playLimit = make.Make<TSpecialCategory>(special, shared, "Play limit");
    int32_t limitItems = 0;
    for (const auto& limit : PlayLimitClasses) {
        auto* category = make.Make<TPlayLimitCategory>(playLimit, limitItems, limit.Name);
        category->PlayLimitCount = limit.Count;
        category->PlayLimitAction = limit.Action;
    }
    auto* other = make.Make<TPlayLimitOtherCategory>(playLimit, limitItems, "Play limit (Other)");
    other->PlayLimitCount = 2;
    other->PlayLimitAction = "none";
}

void AddStoredCategories(TCategoryTree& tree) {
    IDatasetPtr rows =
        PoolQuery("SELECT * FROM category ORDER BY levelindex ASC, parentID ASC, itemindex ASC", {}, true);
    for (rows->First(); !rows->Eof(); rows->Next()) {
        const auto id = static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger());
        const auto parentID = static_cast<int32_t>(rows->GetFieldValue("parentID").AsInteger());
        const std::string name = rows->GetFieldValue("name").AsString();
        TCustomCategory* parent = tree.FindByIDPtr(parentID);
        // Rows below an unknown parent are left out, and with them their own children.
        if (!parent) continue;
        if (tree.FindByIDPtr(id)) {
            LogMessage("Category " + name + " left out of the tree (its ID " + std::to_string(id) + " is taken)",
                       "CORE", LogKind::Error);
            continue;
        }
        try {
            tree.Add(parent->CreateSubNode(id, name, parent,
                                           static_cast<int32_t>(rows->GetFieldValue("itemindex").AsInteger()),
                                           static_cast<int32_t>(rows->GetFieldValue("levelindex").AsInteger())));
        } catch (const ECategoryError& e) {
            // One bad row must not cost the whole library: it is left out with its subtree.
            LogMessage("Category " + name + " (" + std::to_string(id) + ") left out of the tree (" + e.what() + ")",
                       "CORE", LogKind::Error);
        }
    }
}

}  // namespace

void BuildCategoryTree(TCategoryTree& tree) {
    tree.Clear();
    BuildBuiltIns(tree);
    AddStoredCategories(tree);
}

}  // namespace kelvar
