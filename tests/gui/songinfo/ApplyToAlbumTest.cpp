// Copying a song's fields into the other songs of its album through the real database: the
// target and field choice, the empty-only rule, the remembered settings and the cancel roads.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QTreeWidget>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/unSongApplyList.h"

namespace kelvar {
namespace {

class ApplyToAlbumTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        GuiConfig = TConfigDoc_XML::Create("");
        SetMessageHandler([this](const TMessageRequest& r) {
            Messages.push_back(r.Text);
            return MsgButton::OK;
        });
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
        GuiConfig = nullptr;
        TSongDbFixture::TearDown();
    }

    int Song(const std::string& title, const std::string& album, const std::string& year, const std::string& genre,
             double weight) {
        const int id = AddSongRow("/m/" + title + ".mp3", "Artist", title);
        PoolExecSQL("UPDATE songlist SET album = :a, albumyear = :y, genre = :g, weight = :w WHERE ID = :id",
                    {album, year, genre, weight, id});
        return id;
    }
    static std::string Field(int id, const std::string& name) {
        return PoolQuery("SELECT * FROM songlist WHERE ID = :id", {id})->GetValue(name);
    }
    static IDatasetPtr Row(int id) { return PoolQuery("SELECT songlist.* FROM songlist WHERE ID = :id", {id}, false); }

    // Answers the dialog: Step adjusts it, then Apply (tag 1) or a plain close.
    void Answer(std::function<void(TfoSongApplyList&)> Step, bool Apply = true) {
        SetModalHandler([Step, Apply](QDialog& d) {
            auto& dialog = dynamic_cast<TfoSongApplyList&>(d);
            if (Step) Step(dialog);
            if (Apply) SetFormTag(&dialog, 1);
            return QDialog::Accepted;
        });
    }

    static void CheckSong(TfoSongApplyList& d, const QString& title, bool on) {
        for (int i = 0; i < d.lvSonglist->topLevelItemCount(); ++i)
            if (d.lvSonglist->topLevelItem(i)->text(3) == title)
                d.lvSonglist->topLevelItem(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    static QListWidgetItem* FieldItem(TfoSongApplyList& d, const QString& name) {
        for (int i = 0; i < d.eFieldList->count(); ++i)
            if (d.eFieldList->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return d.eFieldList->item(i);
        return nullptr;
    }

    std::vector<std::string> Messages;
};

TEST_F(ApplyToAlbumTest, EmptyOnlyRuleAndUncheckedSongs) {
    const int source = Song("S", "Album", "2001", "Jazz", 80);
    const int zeroYear = Song("A", "Album", "0", "", 20);
    const int wordYear = Song("B", "Album", "abc", "Rock", 30);
    const int unchecked = Song("C", "Album", "", "", 40);
    const int otherAlbum = Song("D", "Other", "", "", 50);
    QStringList titles;
    Answer([&](TfoSongApplyList& d) {
        for (int i = 0; i < d.lvSonglist->topLevelItemCount(); ++i) titles << d.lvSonglist->topLevelItem(i)->text(3);
        EXPECT_TRUE(d.eApplyToEmpty->isChecked());
        CheckSong(d, "C", false);
    });
    auto row = Row(source);
    ApplyToAlbum(*row);

    // The edited song is never a target, the other album is not asked for.
    EXPECT_EQ(titles, (QStringList{"A", "B", "C"}));
    ASSERT_EQ(Messages, std::vector<std::string>{"Information applied to 2 tracks"});
    EXPECT_EQ(Field(zeroYear, "albumyear"), "2001");
    EXPECT_EQ(Field(zeroYear, "genre"), "Jazz");
    EXPECT_EQ(Field(zeroYear, "weight"), "80");
    EXPECT_EQ(Field(wordYear, "albumyear"), "2001");  // not a number counts as empty
    EXPECT_EQ(Field(wordYear, "genre"), "Rock");      // filled text stays
    EXPECT_EQ(Field(wordYear, "weight"), "80");       // the weight is always taken
    EXPECT_EQ(Field(unchecked, "genre"), "");
    EXPECT_EQ(Field(unchecked, "weight"), "40");
    EXPECT_EQ(Field(otherAlbum, "weight"), "50");
    EXPECT_EQ(Field(zeroYear, "title"), "A");
}

TEST_F(ApplyToAlbumTest, FieldChoiceIsOfferedSavedAndRestored) {
    const int source = Song("S", "Album", "2001", "Jazz", 80);
    const int target = Song("A", "Album", "1999", "Rock", 20);
    Answer([&](TfoSongApplyList& d) {
        for (const char* hidden : {"ID", "songID", "filename", "title", "duration", "trackno", "xfade", "count_played",
                                   "date_played", "balance"})
            EXPECT_EQ(FieldItem(d, hidden), nullptr) << hidden;
        ASSERT_NE(FieldItem(d, "genre"), nullptr);
        ASSERT_NE(FieldItem(d, "lyrics"), nullptr);
        FieldItem(d, "genre")->setCheckState(Qt::Unchecked);
        d.eApplyToEmpty->setChecked(false);
    });
    auto row = Row(source);
    ApplyToAlbum(*row);
    EXPECT_EQ(Field(target, "albumyear"), "2001");  // overwritten without the empty-only switch
    EXPECT_EQ(Field(target, "genre"), "Rock");      // unchecked field untouched

    // The next run starts from the stored choice; a field never stored is offered checked.
    GuiConfig->Section("AlbumApply")->Section("ApplyFields")->Clear();
    GuiConfig->Section("AlbumApply")->Section("ApplyFields")->WriteBool("GENRE", false);
    bool seen = false;
    Answer(
        [&](TfoSongApplyList& d) {
            seen = true;
            EXPECT_FALSE(d.eApplyToEmpty->isChecked());
            EXPECT_EQ(FieldItem(d, "genre")->checkState(), Qt::Unchecked);
            EXPECT_EQ(FieldItem(d, "album")->checkState(), Qt::Checked);
        },
        false);
    row = Row(source);
    ApplyToAlbum(*row);
    EXPECT_TRUE(seen);
}

TEST_F(ApplyToAlbumTest, EmptyAlbumAndClosingApplyNothing) {
    const int source = Song("S", "", "2001", "Jazz", 80);
    Song("A", "", "", "", 20);
    bool asked = false;
    Answer([&](TfoSongApplyList&) { asked = true; });
    auto row = Row(source);
    ApplyToAlbum(*row);
    EXPECT_FALSE(asked);
    EXPECT_EQ(Messages, std::vector<std::string>{"Album name empty. Unable to apply..."});

    Messages.clear();
    const int album = Song("T", "Album", "2001", "Jazz", 80);
    const int target = Song("B", "Album", "", "", 20);
    Answer(nullptr, false);
    row = Row(album);
    // An edit of the source row is posted before the targets are read.
    row->Edit();
    row->SetValue("genre", std::string("Blues"));
    ApplyToAlbum(*row);
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Field(target, "genre"), "");
    EXPECT_EQ(Field(album, "genre"), "Blues");
}

}  // namespace
}  // namespace kelvar
