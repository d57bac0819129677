#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "RotationTestKit.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "core/rotation/Logic_category.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/RotationErrors.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using rotationtest::TCaptureLogger;
using rotationtest::TRotationFixture;
using rotationtest::TSongRow;

class CategoryRotationTest : public TRotationFixture {
protected:
    void SetUp() override {
        TRotationFixture::SetUp();
        Log = std::make_shared<TCaptureLogger>();
        SetCoreLogger(Log);
        Control = std::make_unique<TPlaylistControl>();
        Logic = std::make_shared<TplCategoryRotation>();
        Control->SetLogic(Logic);
    }
    void TearDown() override {
        Logic->GetDelayedQuery()->WaitForAll();
        Control->SetLogic(nullptr);
        Logic.reset();
        Control.reset();
        SetCoreLogger(nullptr);
        TRotationFixture::TearDown();
    }

    // A user category holding Count songs of its own artists; answers the song IDs.
    std::vector<int> Category(const std::string& name, int count) {
        TCategoryTree& tree = *Control->GetPlaylistManager()->Categories;
        TCustomCategory* category = tree.CreateCategory(tree.FindByName("Playlist"), name);
        EXPECT_TRUE(category) << name;
        std::vector<int> ids;
        for (int i = 0; i < count; ++i) {
            const std::string n = name + std::to_string(i);
            const int id = AddSong(n, n, n);
            PoolExecSQL(
                "INSERT INTO categorylist (ID, songID, categoryID, sortID) "
                "VALUES (GEN_ID(GEN_categorylist_ID, 1), :songID, :categoryID, :sortID)",
                {id, category->GetID(), (i + 1) * 1000.0});
            ids.push_back(id);
        }
        return ids;
    }

    // The artist of each of Count choices, "-" for none.
    std::vector<std::string> Choices(int count) {
        std::vector<std::string> artists;
        for (int i = 0; i < count; ++i) {
            ISongInfoPtr song = Logic->ChooseSong();
            artists.push_back(song ? song->GetArtist() : "-");
            // The choice's artist date must be in before the rules look again.
            Logic->GetDelayedQuery()->WaitForAll();
        }
        return artists;
    }

    std::shared_ptr<TCaptureLogger> Log;
    std::unique_ptr<TPlaylistControl> Control;
    std::shared_ptr<TplCategoryRotation> Logic;
};

TEST_F(CategoryRotationTest, LinesRunInTurnAndPassOverEmptyCategories) {
    Category("A", 1);
    Category("Empty", 0);
    Category("B", 1);
    Logic->RotationFormat = {"Cat['A'].QueueBottom(smLRP, NoRules);", "Cat['Empty'].QueueBottom(smLRP, NoRules);",
                             "Cat['b'].QueueBottom(smLRP, NoRules);"};
    EXPECT_EQ(Choices(4), (std::vector<std::string>{"A0", "B0", "A0", "B0"}));
    Logic->GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(CountRows("songlist", "date_artist_played > '2020-01-01'"), 2);
}

TEST_F(CategoryRotationTest, BadLinesAreLoggedOnceWithTheirNumberAndSkipped) {
    Category("Hits", 2);
    Logic->RotationFormat = {
        "Cat['Hits'].QueueBottom(smLRP, EnforceRules)",  // no ";": the rules argument is lost
        "Cat['Nowhere'].QueueBottom(smLRP, EnforceRules);",
        "Dir['/no/such/folder/'].QueueBottom(smLRP, EnforceRules);",
        "Kat['Hits'].QueueBottom(smLRP, EnforceRules);",
        "",
        "Request;",
        "Cat['Hits'].QueueBottom(smLRP, EnforceRules);",
    };
    EXPECT_EQ(Choices(3), (std::vector<std::string>{"Hits0", "Hits1", "-"}));
    for (int line : {1, 2, 3, 4}) EXPECT_EQ(Log->Count("line " + std::to_string(line) + " skipped"), 1) << line;
    EXPECT_EQ(Log->Count("skipped"), 4);
}

TEST_F(CategoryRotationTest, EmptyScriptChoosesNothing) {
    Category("A", 1);
    EXPECT_EQ(Logic->ChooseSong(), nullptr);
    Logic->RotationFormat = {"Cat['A'].QueueBottom(smLRP, NoRules);"};
    Logic->Position = 7;  // beyond the end: starts again at the top
    ASSERT_TRUE(Logic->ChooseSong());
}

TEST_F(CategoryRotationTest, QuotedNamesAndMethodNumbers) {
    Category("Rock 'n' Roll", 3);
    PoolExecSQL("UPDATE songlist SET date_played = '1990-01-01' WHERE artist = 'Rock ''n'' Roll1'");
    Logic->RotationFormat = {"Cat['Rock ''n'' Roll'].QueueBottom(4, NoRules);"};
    ISongInfoPtr song = Logic->ChooseSong();
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetArtist(), "Rock 'n' Roll1");
}

TEST_F(CategoryRotationTest, FolderIsRescannedAndSelectedInOneChoice) {
    const std::filesystem::path folder = Db->Folder / "music";
    std::filesystem::create_directories(folder / "sub");
    rotationtest::WriteSilentWav((folder / "one.wav").string());
    rotationtest::WriteSilentWav((folder / "sub" / "deep.wav").string());
    const std::string dir = folder.string() + "/";
    Logic->RotationFormat = {"Dir['" + dir + "'].Rescan;", "Dir['" + dir + "'].QueueBottom(smLRP, EnforceRules);"};
    ISongInfoPtr song = Logic->ChooseSong();
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetFilename(), (folder / "one.wav").string());
    EXPECT_EQ(CountRows("songlist"), 1) << "a plain folder line takes no sub-folders";

    Logic->RotationFormat = {"SubDir['" + dir + "'].QueueBottom(smLRP, NoRules, Rescan);"};
    Logic->Position = 0;
    EXPECT_EQ(Logic->ChooseSong() != nullptr, true);
    EXPECT_EQ(CountRows("songlist"), 2);
}

TEST_F(CategoryRotationTest, ScriptFilesAndConfigurationKeepTheLines) {
    const std::string file = (Db->Folder / "wheel.cwf").string();
    std::ofstream(file, std::ios::binary) << "Cat['A'].QueueBottom(smLRP, NoRules);\r\nRequest;\r\n";
    Logic->Position = 1;
    Logic->LoadFromFile(file);
    EXPECT_EQ(Logic->RotationFormat, (std::vector<std::string>{"Cat['A'].QueueBottom(smLRP, NoRules);", "Request;"}));
    EXPECT_EQ(Logic->Position, 1);
    EXPECT_THROW(Logic->LoadFromFile(file + ".missing"), ERotationError);

    auto node = NewConfig()->Section("Logic");
    Logic->PlayDec = 1.5;
    Logic->SaveConfig(*node);
    TplCategoryRotation other(Control->GetPlaylistManager(), Control->GetRules());
    other.LoadConfig(*node);
    EXPECT_EQ(other.RotationFormat, Logic->RotationFormat);
    EXPECT_DOUBLE_EQ(other.PlayDec, 1.5);

    const std::string copy = file + ".copy";
    other.SaveToFile(copy);
    Logic->LoadFromFile(copy);
    EXPECT_EQ(Logic->RotationFormat, other.RotationFormat);

    // A damaged line count reads the lines the file holds instead of running out of memory.
    node->Section("RotationFormat")->WriteString("LineCount", "2000000000");
    other.LoadConfig(*node);
    EXPECT_EQ(other.RotationFormat, Logic->RotationFormat);
    EXPECT_EQ(Log->Count("2000000000 lines stored, 2 read"), 1);
}

TEST_F(CategoryRotationTest, AFailedSongGetsWeightOneEvenFromWeightZero) {
    TSongRow row;
    row.Weight = 0;
    row.Balance = 3;
    const int id = AddSong(row);
    auto song = std::make_shared<TSongInfo>();
    song->SetID(id);
    Logic->OnFail(song);
    Logic->GetDelayedQuery()->WaitForAll();
    EXPECT_DOUBLE_EQ(FieldOf(id, "weight"), 1);
    EXPECT_DOUBLE_EQ(FieldOf(id, "balance"), 3);
}

TEST_F(CategoryRotationTest, NeedsAPlaylistControl) {
    Control.reset();
    EXPECT_THROW(TplCategoryRotation(), ERotationError);
    Control = std::make_unique<TPlaylistControl>();
}

}  // namespace
}  // namespace kelvar
