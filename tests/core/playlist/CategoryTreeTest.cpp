// The category tree: the built-in part, stored categories below it, and the operations that
// change the structure (create, rename, move, delete), in memory and after a restart.
#include <vector>

#include "CategoryTestSupport.h"

namespace kelvar {
namespace {

using categorytest::TCategoryFixture;

class CategoryTreeTest : public TCategoryFixture {
protected:
    // The names of Parent's children in order, read through FirstChild and NextSibling.
    std::vector<std::string> ChildNames(TCustomCategory* parent) {
        std::vector<std::string> names;
        for (TCustomCategory* c = parent->FirstChild(); c; c = c->NextSibling()) names.push_back(c->Name);
        return names;
    }
    std::vector<std::string> ChildNames(const std::string& parent) { return ChildNames(Find(parent)); }

    TCustomCategory* Create(const std::string& parent, const std::string& name) {
        TCustomCategory* c = Tree->CreateCategory(Find(parent), name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
};

TEST_F(CategoryTreeTest, BuiltInTreeHasItsFixedIdentifiersAndPlaces) {
    struct TExpect {
        int ID;
        const char* Name;
        const char* Parent;
        int ItemIndex;
        int LevelIndex;
        uint8_t Capabilities;
        uint8_t Kind;
    };
    const TExpect expected[] = {
        {0, "Playlist", "", 0, 0, 24, 1},
        {-1, "Content", "", 1, 0, 0, 1},
        {-2, "Music", "Content", 0, 1, 16, 1},
        {-10, "Other", "Content", 8, 1, 16, 1},
        {-11, "Music (All)", "Music", 0, 2, 1, 0},
        {-19, "Other (All)", "Other", 0, 2, 1, 0},
        {-20, "Special", "", 2, 0, 0, 1},
        {-22, "Power hit", "Weighted Rotation", 0, 2, 1, 0},
        {-27, "No rotation", "Weighted Rotation", 5, 2, 1, 0},
        {-28, "Groups", "", 3, 0, 0, 1},
        {-35, "By Genre", "Groups", 6, 1, 0, 2},
        {-36, "Recycle Bin", "", 4, 0, 5, 0},
        {-37, "Play limit", "Special", 7, 1, 0, 1},
        {-42, "Play limit (Other)", "Play limit", 4, 2, 0, 0},
    };
    EXPECT_EQ(Tree->Count(), 43);
    for (const auto& e : expected) {
        TCustomCategory* c = Tree->FindByID(e.ID);
        ASSERT_NE(c, nullptr) << e.Name;
        EXPECT_EQ(c->Name, e.Name);
        EXPECT_EQ(CategoryName(c->Parent), e.Parent) << e.Name;
        EXPECT_EQ(c->ItemIndex, e.ItemIndex) << e.Name;
        EXPECT_EQ(c->LevelIndex, e.LevelIndex) << e.Name;
        EXPECT_EQ(c->Capabilities, e.Capabilities) << e.Name;
        EXPECT_EQ(c->Kind, e.Kind) << e.Name;
    }
    EXPECT_EQ(Find("Jingles (All)")->SongType, 'J');
    auto* power = dynamic_cast<TWeightCategory*>(Find("Power hit"));
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(power->MaxWeight, 101);
    auto* other = dynamic_cast<TPlayLimitOtherCategory*>(Find("Play limit (Other)"));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->PlayLimitCount, 2);
    // Any case finds a category.
    EXPECT_EQ(Tree->FindByName("recycle bin"), Tree->FindByID(-36));
}

TEST_F(CategoryTreeTest, StoredRowsBecomeCategoriesOfTheirParentsKind) {
    const int top = StoreCategoryRow(0, "Rock", 1, 0);
    const int jingle = StoreCategoryRow(-5, "Morning jingles", 2, 0);
    const int child = StoreCategoryRow(top, "Classic rock", 2, 0);
    const int orphan = StoreCategoryRow(9999, "Orphan", 1, 0);
    StoreCategoryRow(orphan, "Below the orphan", 2, 0);
    // Below "Special" no category can be made: the row and its subtree are left out, the rest
    // of the library stays.
    const int bad = StoreCategoryRow(-20, "Bad", 1, 0);
    StoreCategoryRow(bad, "Below bad", 2, 0);
    BuildTree();

    auto* rock = dynamic_cast<TNormalCategory*>(Tree->FindByID(top));
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->Parent, Tree->FindByID(0));
    EXPECT_EQ(rock->Capabilities, 255);
    auto* morning = dynamic_cast<TSongTypeCategory*>(Tree->FindByID(jingle));
    ASSERT_NE(morning, nullptr);
    EXPECT_EQ(morning->SongType, 'J');
    EXPECT_EQ(CategoryName(morning->Parent), "Jingles");
    auto* classic = dynamic_cast<TNormalCategory*>(Tree->FindByID(child));
    ASSERT_NE(classic, nullptr);
    EXPECT_EQ(classic->Parent, rock);
    EXPECT_EQ(Tree->FindByName("Orphan"), nullptr);
    EXPECT_EQ(Tree->FindByName("Below the orphan"), nullptr);
    EXPECT_EQ(Tree->FindByName("Bad"), nullptr);
    EXPECT_EQ(Tree->FindByName("Below bad"), nullptr);
    EXPECT_EQ(Tree->Count(), 43 + 3);
}

TEST_F(CategoryTreeTest, FillWithoutBuilderRaises) {
    const auto saved = FillCategoryTree;
    FillCategoryTree = nullptr;
    TCategoryTree tree;
    EXPECT_THROW(
        {
            try {
                tree.Fill();
            } catch (const ECategoryError& e) {
                EXPECT_STREQ(e.what(), "FillCategoryTree procedure not set!");
                throw;
            }
        },
        ECategoryError);
    FillCategoryTree = saved;
}

TEST_F(CategoryTreeTest, CreateStoresPositionAndDepth) {
    for (const char* name : {"A", "B", "C"}) Create("Playlist", name);
    TCustomCategory* d = Create("Playlist", "D");
    EXPECT_EQ(d->ItemIndex, 3);
    EXPECT_EQ(d->LevelIndex, 1);
    EXPECT_EQ(Number("SELECT itemindex FROM category WHERE ID = :ID", {d->ID}), 3);
    TCustomCategory* sub = Tree->CreateCategory(d, "D1");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->LevelIndex, 2);
    TCustomCategory* promo = Create("Promos", "Summer");
    EXPECT_EQ(promo->SongType, 'P');
    // Names are found without regard to case in any script, as an operator types them.
    TCustomCategory* accented = Create("Playlist", "\xC3\x89missions");  // Émissions
    EXPECT_EQ(Tree->FindByName("\xC3\xA9MISSIONS"), accented);

    EXPECT_THROW(Tree->CreateCategory(nullptr, "X"), ECategoryError);
    // A folder that makes no children: no category and no row left behind.
    EXPECT_EQ(Tree->CreateCategory(Find("Special"), "Nowhere"), nullptr);
    EXPECT_EQ(CountRows("category", "name = 'Nowhere'"), 0);

    BuildTree();
    EXPECT_EQ(ChildNames("Playlist"), (std::vector<std::string>{"A", "B", "C", "D", "\xC3\x89missions"}));
    EXPECT_EQ(ChildNames("D"), std::vector<std::string>{"D1"});
}

TEST_F(CategoryTreeTest, RenameKeepsNamesUniqueWithoutRegardToCase) {
    TCustomCategory* a = Create("Playlist", "Rock");
    Create("Playlist", "Jazz");
    EXPECT_TRUE(a->Rename("Rock"));
    EXPECT_FALSE(a->Rename("ROCK"));
    EXPECT_FALSE(a->Rename("jazz"));
    EXPECT_FALSE(a->Rename("music"));
    EXPECT_TRUE(a->Rename("Blues"));
    EXPECT_EQ(a->Name, "Blues");
    BuildTree();
    EXPECT_NE(Tree->FindByName("Blues"), nullptr);
    EXPECT_EQ(Tree->FindByName("Rock"), nullptr);
}

TEST_F(CategoryTreeTest, MoveToPlacesAsLastChildOrInTargetsPlace) {
    TCustomCategory* target = Create("Playlist", "Target");
    TCustomCategory* mover = Create("Playlist", "Mover");
    EXPECT_TRUE(mover->MoveTo(target, 0));
    EXPECT_EQ(mover->ItemIndex, 0);
    EXPECT_EQ(mover->LevelIndex, 2);
    for (const char* name : {"T1", "T2"}) Tree->CreateCategory(target, name);
    TCustomCategory* second = Create("Playlist", "Second");
    EXPECT_TRUE(second->MoveTo(target, 0));
    EXPECT_EQ(second->ItemIndex, 3);
    EXPECT_EQ(ChildNames(target), (std::vector<std::string>{"Mover", "T1", "T2", "Second"}));

    // Taking the place of the child at 2 pushes it and those after it down.
    TCustomCategory* t2 = Find("T2");
    TCustomCategory* third = Create("Playlist", "Third");
    EXPECT_TRUE(third->MoveTo(t2, 1));
    EXPECT_EQ(third->ItemIndex, 2);
    EXPECT_EQ(t2->ItemIndex, 3);
    EXPECT_EQ(ChildNames(target), (std::vector<std::string>{"Mover", "T1", "Third", "T2", "Second"}));

    // Moving a category with children takes its subtree along, one level deeper.
    TCustomCategory* deep = Tree->CreateCategory(mover, "Deep");
    TCustomCategory* other = Create("Playlist", "Other folder");
    EXPECT_TRUE(target->MoveTo(other, 0));
    EXPECT_EQ(deep->LevelIndex, 4);

    BuildTree();
    EXPECT_EQ(ChildNames("Playlist"), std::vector<std::string>{"Other folder"});
    EXPECT_EQ(ChildNames("Target"), (std::vector<std::string>{"Mover", "T1", "Third", "T2", "Second"}));
    EXPECT_EQ(Find("Deep")->LevelIndex, 4);
}

TEST_F(CategoryTreeTest, MoveIntoItselfOrItsSubtreeIsRefused) {
    TCustomCategory* a = Create("Playlist", "A");
    TCustomCategory* b = Tree->CreateCategory(a, "B");
    TCustomCategory* c = Tree->CreateCategory(b, "C");
    EXPECT_FALSE(a->MoveTo(a, 0));
    EXPECT_FALSE(a->MoveTo(c, 0));
    EXPECT_FALSE(a->MoveTo(b, 1));
    EXPECT_FALSE(a->MoveTo(a, 1));
    EXPECT_FALSE(a->MoveTo(Find("Playlist"), 1));  // beside a category without a parent
    EXPECT_EQ(a->Parent, Find("Playlist"));
    EXPECT_EQ(b->Parent, a);
    BuildTree();
    EXPECT_EQ(ChildNames("A"), std::vector<std::string>{"B"});
    EXPECT_EQ(ChildNames("B"), std::vector<std::string>{"C"});
}

TEST_F(CategoryTreeTest, SiblingsLeftBehindByAMoveStayReachable) {
    TCustomCategory* folder = Create("Playlist", "Folder");
    for (const char* name : {"First", "Second", "Third"}) Tree->CreateCategory(folder, name);
    TCustomCategory* elsewhere = Create("Playlist", "Elsewhere");
    EXPECT_TRUE(Find("First")->MoveTo(elsewhere, 0));
    EXPECT_EQ(ChildNames(folder), (std::vector<std::string>{"Second", "Third"}));
    EXPECT_EQ(Find("Second")->ItemIndex, 0);

    // Deleting the folder now reaches every child and its song rows.
    const int song = AddSongRow("/music/a.mp3", "A", "a");
    TSongItemList items;
    items.Add().SongID = song;
    Find("Third")->AddSongs(items, 0, 0);
    folder->DeleteCategory();
    Tree->Remove(folder);
    EXPECT_EQ(CountRows("categorylist"), 0);
    EXPECT_EQ(Tree->FindByName("Second"), nullptr);
    EXPECT_EQ(Tree->FindByName("Third"), nullptr);

    BuildTree();
    EXPECT_EQ(ChildNames("Playlist"), std::vector<std::string>{"Elsewhere"});
    EXPECT_EQ(ChildNames("Elsewhere"), std::vector<std::string>{"First"});
    EXPECT_EQ(CountRows("category"), 2);
}

TEST_F(CategoryTreeTest, DeleteRenumbersLaterSiblingsInMemoryAndTable) {
    for (const char* name : {"A", "B", "C"}) Create("Playlist", name);
    TCustomCategory* a = Find("A");
    a->DeleteCategory();
    Tree->Remove(a);
    EXPECT_EQ(Find("B")->ItemIndex, 0);
    EXPECT_EQ(Find("C")->ItemIndex, 1);
    TCustomCategory* d = Create("Playlist", "D");
    EXPECT_EQ(d->ItemIndex, 2);
    BuildTree();
    EXPECT_EQ(ChildNames("Playlist"), (std::vector<std::string>{"B", "C", "D"}));
}

TEST_F(CategoryTreeTest, ThousandsOfStoredCategoriesLoad) {
    // Two levels: 50 folders of 60 categories each, written in one transaction.
    auto connection = PoolGetWriteConnection();
    auto rows = connection->Query("SELECT * FROM category WHERE ID = 0", {}, false);
    for (int f = 0; f < 50; ++f) {
        rows->Append();
        rows->SetFieldValue("parentID", 0);
        rows->SetFieldValue("name", "Folder " + std::to_string(f));
        rows->SetFieldValue("levelindex", 1);
        rows->SetFieldValue("itemindex", f);
        rows->Post();
        const auto folder = rows->GetFieldValue("ID").AsInteger();
        for (int i = 0; i < 60; ++i) {
            rows->Append();
            rows->SetFieldValue("parentID", folder);
            rows->SetFieldValue("name", "Category " + std::to_string(f) + "." + std::to_string(i));
            rows->SetFieldValue("levelindex", 2);
            rows->SetFieldValue("itemindex", i);
            rows->Post();
        }
    }
    rows.reset();
    connection->Commit();
    BuildTree();
    EXPECT_EQ(Tree->Count(), 43 + 50 + 50 * 60);
    EXPECT_EQ(Find("Category 49.59")->Parent, Find("Folder 49"));
    EXPECT_EQ(ChildNames("Folder 7").size(), 60u);
}

}  // namespace
}  // namespace kelvar
