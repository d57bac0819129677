// The song information editor over the real database and real music files: editing and saving
// tags in MP3, Ogg and WMA files, loading tags, moving between songs, pictures, the weight and
// the web searches.
#include <gtest/gtest.h>

// Before Qt, whose "emit" keyword it uses as a name.
#include "common/KelvarTestAccess.h"
#include "common/OggVorbisEncoder.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "common/GuiTestKit.h"
#include "common/Mp3Encoder.h"
#include "common/SongTestDatabase.h"
#include "controls/BoxButton.h"
#include "controls/FxFancyButton.h"
#include "controls/KcTrackBar.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "core/playlist/SongItem.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/editors/funSongSettings.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/funSongInfo.h"
#include "gui/songinfo/unSongInfo.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"
#include "media/SongSettings.h"
#include "media/WMAFixture.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar {

// Takes the place of the desktop's browser.
class TSearchRecorder : public QObject {
    Q_OBJECT
public:
    QStringList Urls;
public slots:
    void Open(const QUrl& Url) { Urls << Url.toString(QUrl::FullyEncoded); }
};

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream out(Path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void MakeMp3(const fs::path& Path) {
    std::vector<int16_t> pcm(44100 * 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(double(i / 2) * 0.06));
    WriteBytes(Path, test::EncodeMp3(pcm, 44100, 2));
}

void MakeOgg(const fs::path& Path, const std::vector<std::string>& Comments = {}) {
    WriteBytes(Path, test::EncodeOggVorbisStream(test::TOggEncoding{}, Comments));
}

void MakePicture(const fs::path& Path, QColor Colour) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Colour);
    image.save(QString::fromStdString(Path.string()), "JPG");
}

class SongInfoEditorTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-songinfo-" + std::to_string(getpid()));
        fs::create_directories(Folder / "pictures");
        // The real core, whose metadata settings the editor reads.
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        auto doc = TConfigDoc_XML::Create("");
        doc->Section("Kelvar")->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*doc->Section("Kelvar"));
        In().MetaDataConfig->SetLocalPictureDir((Folder / "pictures").string() + "/");
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
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
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        fs::remove_all(Folder);
        TSongDbFixture::TearDown();
    }

    // Runs the editor for IDs; Step works on the shown dialog, which then closes with OK or Cancel.
    bool Edit(const std::vector<int>& IDs, const std::function<void(TfoSongInfo&)>& Step, bool Ok = true) {
        SetModalHandler([this, Step, Ok](QDialog& dialog) {
            auto& d = dynamic_cast<TfoSongInfo&>(dialog);
            d.show();
            if (Step) Step(d);
            QTest::mouseClick(Ok ? d.frmOKCancel->btOK : d.frmOKCancel->btClose, Qt::LeftButton);
            for (int i = 0; i < 50 && d.isVisible(); ++i) QCoreApplication::processEvents();
            return d.result();
        });
        return EditSongIDs(IDs);
    }

    static void Type(QLineEdit* Edit, const QString& Text) {
        Edit->selectAll();
        QTest::keyClick(Edit, Qt::Key_Delete);
        QTest::keyClicks(Edit, Text);
    }

    static std::string Stored(int ID, const std::string& Field) {
        return PoolQuery("SELECT * FROM songlist WHERE ID = :id", {ID})->GetValue(Field);
    }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
    std::unique_ptr<TKelvarApi> Api;
    std::vector<std::string> Messages;
};

TEST_F(SongInfoEditorTest, SavesTagsIntoMp3OggAndWmaFilesAndTheDatabase) {
    const fs::path mp3 = Folder / "song.mp3", ogg = Folder / "song.ogg", wma = Folder / "song.wma";
    MakeMp3(mp3);
    MakeOgg(ogg, {"ARTIST=Old"});
    test::MakeWmaFile(wma.string(), 1000, {{"title", "Old"}});
    for (const fs::path& file : {mp3, ogg, wma}) {
        SCOPED_TRACE(file.string());
        const int id = AddSongRow(file.string(), "Old Artist", "Old Title");
        Messages.clear();
        EXPECT_TRUE(Edit({id}, [](TfoSongInfo& d) {
            TfrmSongInfo& f = *d.frmSongInfo1;
            EXPECT_TRUE(f.btSaveTag->isEnabled());
            EXPECT_EQ(f.eArtist->text(), "Old Artist");
            Type(f.eArtist, "New Artist");
            Type(f.eTitle, "New Title");
            Type(f.eAlbum, "New Album");
            Type(f.eYear, "1999");
            f.eGenre->setCurrentText("Jazz");
            f.eLyrics->setPlainText("la la la");
            QTest::mouseClick(f.btSaveTag, Qt::LeftButton);
        }));
        EXPECT_TRUE(Messages.empty()) << (Messages.empty() ? "" : Messages[0]);

        EXPECT_EQ(Stored(id, "artist"), "New Artist");
        EXPECT_EQ(Stored(id, "title"), "New Title");
        EXPECT_EQ(Stored(id, "album"), "New Album");
        EXPECT_EQ(Stored(id, "albumyear"), "1999");
        EXPECT_EQ(Stored(id, "genre"), "Jazz");
        EXPECT_EQ(Stored(id, "lyrics"), "la la la");

        TSongInfo tags;
        ASSERT_TRUE(SongInfoManager().ReadInfo(file.string(), tags));
        EXPECT_EQ(tags.GetValue("artist"), "New Artist");
        EXPECT_EQ(tags.GetValue("title"), "New Title");
        EXPECT_EQ(tags.GetValue("album"), "New Album");
        EXPECT_EQ(tags.GetValue("albumyear"), "1999");
        EXPECT_EQ(tags.GetValue("genre"), "Jazz");
    }
}

TEST_F(SongInfoEditorTest, LoadTagReadsTheFileIntoTheRow) {
    const fs::path ogg = Folder / "tagged.ogg";
    MakeOgg(ogg, {"ARTIST=Tag Artist", "TITLE=Tag Title", "ALBUM=Tag Album"});
    const int id = AddSongRow(ogg.string(), "Row Artist", "Row Title");
    const fs::path wav = Folder / "plain.txt";
    std::ofstream(wav) << "no music";
    const int other = AddSongRow(wav.string(), "Text", "File");
    EXPECT_TRUE(Edit({id}, [](TfoSongInfo& d) {
        QTest::mouseClick(d.frmSongInfo1->btLoadTag, Qt::LeftButton);
        EXPECT_EQ(d.frmSongInfo1->eArtist->text(), "Tag Artist");
        EXPECT_EQ(d.frmSongInfo1->eAlbum->text(), "Tag Album");
    }));
    EXPECT_EQ(Stored(id, "artist"), "Tag Artist");
    EXPECT_EQ(Stored(id, "title"), "Tag Title");
    EXPECT_EQ(Stored(id, "album"), "Tag Album");

    // A file no provider reads leaves both tag buttons off.
    Edit({other}, [](TfoSongInfo& d) {
        EXPECT_FALSE(d.frmSongInfo1->btLoadTag->isEnabled());
        EXPECT_FALSE(d.frmSongInfo1->btSaveTag->isEnabled());
    });
}

TEST_F(SongInfoEditorTest, SwitchingSongsPostsAndCancelDropsOnlyTheCurrentRow) {
    const int a = AddSongRow("/m/a.mp3", "Beta", "One");
    const int b = AddSongRow("/m/b.mp3", "Alpha", "Two");
    EXPECT_FALSE(EditSongIDs({}));
    EXPECT_FALSE(Edit(
        {a, b},
        [&](TfoSongInfo& d) {
            ASSERT_TRUE(d.lvSong->isVisible());
            ASSERT_EQ(d.lvSong->count(), 2);
            // Sorted by artist.
            EXPECT_EQ(d.lvSong->item(0)->text(), "Alpha - Two");
            EXPECT_EQ(d.lvSong->item(1)->text(), "Beta - One");
            EXPECT_EQ(d.width(), TfoSongInfo::ClientWidth + TfoSongInfo::ListWidth);
            Type(d.frmSongInfo1->eTitle, "Two changed");
            d.lvSong->setCurrentRow(1);
            d.lvSongClick();
            EXPECT_EQ(d.frmSongInfo1->eTitle->text(), "One");
            Type(d.frmSongInfo1->eTitle, "One changed");
        },
        false));
    EXPECT_EQ(Stored(b, "title"), "Two changed");
    EXPECT_EQ(Stored(a, "title"), "One");

    Edit({a}, [](TfoSongInfo& d) {
        EXPECT_FALSE(d.lvSong->isVisible());
        EXPECT_EQ(d.width(), TfoSongInfo::ClientWidth);
    });
}

TEST_F(SongInfoEditorTest, SelectedRowsOpenAtMostTwoHundredSongsInTheTreesOrder) {
    // 250 rows, shown in the tree from the newest song to the oldest.
    // One transaction for all of them.
    auto writer = PoolGetWriteConnection();
    for (int i = 0; i < 250; ++i) {
        char artist[16];
        std::snprintf(artist, sizeof artist, "Artist %03d", i);
        writer->ExecSQL(
            "INSERT INTO songlist (ID, filename, artist, title) VALUES (NEXT VALUE FOR GEN_songlist_ID, "
            ":f, :a, 'T')",
            {"/m/" + std::to_string(i) + ".mp3", std::string(artist)});
    }
    writer->Commit();
    std::vector<int> ids;
    for (auto rows = PoolQuery("SELECT ID FROM songlist ORDER BY artist"); !rows->Eof(); rows->Next())
        ids.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
    ASSERT_EQ(ids.size(), 250u);
    auto list = std::make_shared<TSongItemList>();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) list->Add().SongID = *it;
    TVirtualSongTree tree;
    tree.SetSongList(list);
    tree.selectAll();
    std::vector<int> opened;
    QStringList shown;
    SetModalHandler([&](QDialog& dialog) {
        auto& d = dynamic_cast<TfoSongInfo&>(dialog);
        for (int i = 0; i < d.lvSong->count(); ++i) {
            opened.push_back(d.lvSong->item(i)->data(Qt::UserRole).toInt());
            shown << d.lvSong->item(i)->text();
        }
        return QDialog::Rejected;
    });
    EXPECT_FALSE(EditSelectedSongs(tree));
    ASSERT_EQ(opened.size(), 200u);
    // The newest 200 songs (the tree's first rows), sorted by artist.
    EXPECT_EQ(shown.front(), "Artist 050 - T");
    EXPECT_EQ(shown.back(), "Artist 249 - T");
    EXPECT_EQ(opened.front(), ids[50]);

    tree.clearSelection();
    bool asked = false;
    SetModalHandler([&](QDialog&) {
        asked = true;
        return QDialog::Rejected;
    });
    EXPECT_FALSE(EditSelectedSongs(tree));
    EXPECT_FALSE(asked);
}

TEST_F(SongInfoEditorTest, PlayoutSettingsAreStoredAsTheRowsXfadeValue) {
    const int id = AddSongRow("/m/x.mp3", "X", "X");
    PoolExecSQL("UPDATE songlist SET xfade = 'c=1500&gl=3' WHERE ID = :id", {id});
    Edit(
        {id},
        [](TfoSongInfo& d) {
            EXPECT_EQ(d.frmSongInfo1->frmSongSettings->Working().Start, 1500);
            d.frmSongInfo1->frmSongSettings->eGain->SetPosition(-6);
        },
        false);
    EXPECT_EQ(Stored(id, "xfade"), "c=1500&gl=3");
    Edit({id}, [](TfoSongInfo& d) { d.frmSongInfo1->frmSongSettings->eGain->SetPosition(-6); });
    TSongSettings stored;
    StringToSongSettings(Stored(id, "xfade"), stored);
    EXPECT_EQ(stored.Start, 1500);
    EXPECT_EQ(stored.Gain, -6);
}

TEST_F(SongInfoEditorTest, AFailedSaveOnOkKeepsTheDialogOpen) {
    const int id = AddSongRow("/m/p.mp3", "P", "P");
    Edit({id}, [this](TfoSongInfo& d) {
        // Longer than the column takes.
        Type(d.frmSongInfo1->eYear, QString(40, '1'));
        Type(d.frmSongInfo1->eTitle, "Kept");
        QTest::mouseClick(d.frmOKCancel->btOK, Qt::LeftButton);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_TRUE(d.isVisible());
        Type(d.frmSongInfo1->eYear, "2003");
    });
    EXPECT_EQ(Stored(id, "albumyear"), "2003");
    EXPECT_EQ(Stored(id, "title"), "Kept");
}

TEST_F(SongInfoEditorTest, WeightTrackBarWritesOnlyWhenItMoves) {
    const int zero = AddSongRow("/m/z.mp3", "Z", "Z");
    PoolExecSQL("UPDATE songlist SET weight = 0 WHERE ID = :id", {zero});
    Edit({zero}, [](TfoSongInfo& d) {
        EXPECT_EQ(d.frmSongInfo1->tbWeight->Position(), 1);
        EXPECT_EQ(d.frmSongInfo1->lbWeight->text(), "No rotation");
        d.frmSongInfo1->tbWeight->SetPosition(85);
        EXPECT_EQ(d.frmSongInfo1->eWeight->text(), "85");
    });
    EXPECT_EQ(Stored(zero, "weight"), "85");

    const std::pair<int, const char*> categories[] = {
        {9, "No rotation"},     {10, "Rare rotation"},   {19, "Rare rotation"},   {20, "Light rotation"},
        {39, "Light rotation"}, {40, "Medium rotation"}, {59, "Medium rotation"}, {60, "Heavy rotation"},
        {79, "Heavy rotation"}, {80, "Power hit"},
    };
    for (const auto& [weight, text] : categories) EXPECT_EQ(WeightCategory(weight), text) << weight;
}

TEST_F(SongInfoEditorTest, PicturesStayInsideThePictureFolderAndNeverOverwriteEachOther) {
    fs::create_directories(Folder / "one");
    fs::create_directories(Folder / "two");
    MakePicture(Folder / "one" / "cover.jpg", Qt::red);
    MakePicture(Folder / "two" / "cover.jpg", Qt::blue);
    const int first = AddSongRow("/m/1.mp3", "A", "1");
    const int second = AddSongRow("/m/2.mp3", "B", "2");
    const std::string pictures = In().MetaDataConfig->LocalPictureDir();
    Edit({first}, [&](TfoSongInfo& d) {
        d.frmSongInfo1->LoadPictureFile((Folder / "one" / "cover.jpg").string());
        EXPECT_EQ(d.frmSongInfo1->PictureFile(), pictures + "cover.jpg");
    });
    Edit({second}, [&](TfoSongInfo& d) {
        d.frmSongInfo1->LoadPictureFile((Folder / "two" / "cover.jpg").string());
        EXPECT_EQ(d.frmSongInfo1->PictureFile(), pictures + "cover_1.jpg");
    });
    EXPECT_EQ(Stored(first, "picture"), "cover.jpg");
    EXPECT_EQ(Stored(second, "picture"), "cover_1.jpg");
    EXPECT_EQ(QImage(QString::fromStdString(pictures + "cover.jpg")).pixelColor(8, 8).red() > 200, true);
    EXPECT_EQ(QImage(QString::fromStdString(pictures + "cover_1.jpg")).pixelColor(8, 8).blue() > 200, true);

    // The same file again, and a file already in the folder (any letter case), are not copied.
    Edit({first}, [&](TfoSongInfo& d) {
        EXPECT_EQ(d.frmSongInfo1->PictureFile(), pictures + "cover.jpg");
        d.frmSongInfo1->LoadPictureFile((Folder / "one" / "cover.jpg").string());
        EXPECT_EQ(d.frmSongInfo1->PictureFile(), pictures + "cover.jpg");
    });
    EXPECT_EQ(std::distance(fs::directory_iterator(pictures), fs::directory_iterator()), 2);

    // Names from the database that leave the folder are not shown; a broken picture gets the note.
    MakePicture(Folder / "outside.jpg", Qt::green);
    std::ofstream(pictures + "broken.jpg") << "not a picture";
    const std::pair<std::string, bool> names[] = {
        {"../outside.jpg", false}, {(Folder / "outside.jpg").string(), false}, {"broken.jpg", true}};
    for (const auto& [name, note] : names) {
        PoolExecSQL("UPDATE songlist SET picture = :p WHERE ID = :id", {name, first});
        Edit({first}, [&](TfoSongInfo& d) {
            EXPECT_EQ(d.frmSongInfo1->PictureFile(), "") << name;
            EXPECT_EQ(!d.frmSongInfo1->lbUnsupported->isHidden(), note) << name;
            if (note) {
                EXPECT_EQ(d.frmSongInfo1->lbUnsupported->text(),
                          "Unsupported picture format or invalid picture: broken.jpg");
            }
        });
    }
}

TEST_F(SongInfoEditorTest, WebSearchesAndStreamAddresses) {
    const int id = AddSongRow("http://radio.example/live", "AC/DC", "Back in Black");
    PoolExecSQL("UPDATE songlist SET album = 'Back in Black' WHERE ID = :id", {id});
    TSearchRecorder browser;
    QDesktopServices::setUrlHandler("https", &browser, "Open");
    Edit({id}, [](TfoSongInfo& d) {
        TfrmSongInfo& f = *d.frmSongInfo1;
        f.FindLyrics();
        f.FindImages();
        EXPECT_TRUE(f.eFilename->isReadOnly());
        QTest::mouseClick(f.btChangeFile, Qt::LeftButton);
        EXPECT_FALSE(f.eFilename->isReadOnly());
        Type(f.eFilename, "http://radio.example/other");
    });
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(browser.Urls, (QStringList{"https://www.google.com/search?q=lyrics+AC%2FDC+Back%20in%20Black",
                                         "https://www.google.com/images?q=AC%2FDC+Back%20in%20Black"}));
    EXPECT_EQ(Stored(id, "filename"), "http://radio.example/other");
}

}  // namespace
}  // namespace kelvar

#include "SongInfoEditorTest.moc"
