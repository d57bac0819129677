// Play-list files through the song database and back, the file dialogs, the add-URL dialog,
// the desktop drop watch and the drop target window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "ListsCoreFixture.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistLoader_imp.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/PlaylistDialogs.h"
#include "gui/lists/unAddURL.h"
#include "gui/lists/unDragDrop.h"
#include "gui/lists/unDropTarget.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& Path, const std::string& Text) {
    std::ofstream out(Path, std::ios::binary);
    out << Text;
}

// Sends a built drop (enter, move and drop) to Target at Pos.
bool SendDrop(QWidget* Target, const QMimeData& Mime, QPoint Pos = {5, 5}) {
    QDragEnterEvent enter(Pos, Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(Pos), Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &drop);
    return drop.isAccepted();
}

class PlaylistFiles : public liststest::TCoreFixture {
protected:
    void SetUp() override {
        TCoreFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-lists-" + std::to_string(getpid()));
        fs::create_directories(Folder / "música");
    }
    void TearDown() override {
        SetModalHandler(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TCoreFixture::TearDown();
    }
    fs::path Folder;
};

TEST_F(PlaylistFiles, RoundTripsKeepNonLatinNames) {
    const std::vector<std::string> files = {(Folder / "música" / "Пёсня 1.mp3").string(),
                                            (Folder / "música" / "夜の曲.ogg").string(),
                                            (Folder / "música" / "Ελληνικά & co.wav").string()};
    AddSongRow(files[0], "Мария", "Пёсня", 215999);
    AddSongRow(files[1], "", "夜の曲", 1000);
    AddSongRow(files[2], "  Ελένη ", " Ελληνικά ", -1);
    const std::string m3u = (Folder / "список.m3u").string();
    ASSERT_TRUE(SaveM3U(m3u, PoolQuery("SELECT artist, title, duration, filename FROM songlist ORDER BY ID")));
    std::ifstream in(m3u, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "#EXTM3U\r\n#EXTINF:215,Мария - Пёсня\r\n" + files[0] + "\r\n#EXTINF:1,夜の曲\r\n" + files[1] +
                        "\r\n#EXTINF:0,Ελένη - Ελληνικά\r\n" + files[2] + "\r\n");
    std::vector<std::string> read;
    ASSERT_TRUE(LoadPlaylistFile(m3u, read));
    EXPECT_EQ(read, files);

    // The other formats, written as other programs write them, relative and Windows-style.
    WriteFile(Folder / "list.pls", "[playlist]\r\nNumberOfEntries=3\r\nFile1=música\\Пёсня 1.mp3\r\nfile2=" + files[1] +
                                       "\r\nFile3=./música/Ελληνικά & co.wav\r\n");
    WriteFile(Folder / "list.asx",
              "<asx version=\"3.0\"><Entry><Ref href=\"música/Пёсня 1.mp3\"/></Entry>"
              "<ENTRY><Ref href=\"" +
                  files[1] +
                  "\"/></ENTRY>"
                  "<entry><Ref href=\"http://radio.example/夜\"/></entry></asx>");
    WriteFile(Folder / "list.txt", "música/Пёсня 1.mp3\n\n# note\n" + files[1] + "\n");
    // A list saved in the Windows code page: ú as 0xFA, é as 0xE9.
    WriteFile(Folder / "ansi.m3u", "#EXTM3U\r\nm\xFAsica\\Caf\xE9.mp3\r\n");
    struct Case {
        const char* Name;
        std::vector<std::string> Entries;
    } cases[] = {
        {"list.pls", files},
        {"list.asx", {files[0], files[1], "http://radio.example/夜"}},
        {"list.txt", {files[0], files[1]}},
        {"ansi.m3u", {(Folder / "música" / "Café.mp3").string()}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> entries;
        ASSERT_TRUE(LoadPlaylistFile((Folder / c.Name).string(), entries)) << c.Name;
        EXPECT_EQ(entries, c.Entries) << c.Name;
    }
    std::vector<std::string> none;
    EXPECT_FALSE(LoadPlaylistFile((Folder / "missing.m3u").string(), none));
}

TEST_F(PlaylistFiles, DialogsOfferTheFormatsAndAnswerTheChoice) {
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    SetModalHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<QFileDialog&>(d);
        filters = dialog.nameFilters();
        mode = dialog.fileMode();
        return int(QDialog::Accepted);
    });
    QFileDialog open;
    EXPECT_TRUE(ExecuteMediaOpenDialog(open));
    EXPECT_EQ(mode, QFileDialog::ExistingFiles);
    ASSERT_EQ(filters.size(), 7);
    EXPECT_EQ(filters[0], "All media files (*.mp3 *.wav *.ogg *.wma *.cda)");
    EXPECT_EQ(filters[4], "Windows Media (*.wma *.wmv *.asf)");
    EXPECT_TRUE(ExecutePlaylistOpenDialog(open));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(filters[0], "All playlists (*.m3u *.pls *.asx *.txt)");

    const QString chosen = QString::fromStdString((Folder / "saved.m3u").string());
    SetModalHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<QFileDialog&>(d);
        EXPECT_EQ(dialog.windowTitle(), "Save playlist category");
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        dialog.selectFile(chosen);
        return int(QDialog::Accepted);
    });
    std::string name;
    ASSERT_TRUE(ExecuteM3USaveDialog(name, "Save playlist category"));
    EXPECT_EQ(name, chosen.toStdString());
    SetModalHandler([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_FALSE(ExecuteM3USaveDialog(name, "Save queue"));
}

TEST(AddURL, RecentAddressesNewestFirstAtMostTwenty) {
    std::vector<std::string> recent;
    for (int i = 0; i < 20; ++i) recent.push_back("u" + std::to_string(i));
    AddRecentURL(recent, "new");
    ASSERT_EQ(recent.size(), 20u);
    EXPECT_EQ(recent.front(), "new");
    EXPECT_EQ(recent.back(), "u18");
    AddRecentURL(recent, "u3");
    EXPECT_EQ(recent[0], "u3");
    EXPECT_EQ(std::count(recent.begin(), recent.end(), "u3"), 2);
}

TEST_F(PlaylistFiles, AddURLDialogAnswersAndRemembersAddresses) {
    GuiConfig = TConfigDoc_XML::Create("");
    struct Step {
        std::string Url, Description;
        int Tag;
        bool Ok;
        std::string WantDescription;
    } steps[] = {
        {"http://a.example/1", "", 1, true, "http://a.example/1"},
        {"http://b.example/2", "Station B", 1, true, "Station B"},
        {"", "nothing", 1, false, ""},
        {"http://c.example/3", "", 2, false, ""},
    };
    for (const Step& s : steps) {
        SetModalHandler([&](QDialog& d) {
            auto& dialog = dynamic_cast<TfoAddURL&>(d);
            EXPECT_EQ(dialog.windowTitle(), "Add URL");
            dialog.eURL->setCurrentText(QString::fromStdString(s.Url));
            dialog.eDescription->setText(QString::fromStdString(s.Description));
            SetFormTag(&dialog, s.Tag);
            return int(QDialog::Rejected);
        });
        std::string url, description;
        EXPECT_EQ(ExecuteAddURL(url, description), s.Ok) << s.Url;
        if (s.Ok) {
            EXPECT_EQ(url, s.Url);
            EXPECT_EQ(description, s.WantDescription);
        }
    }
    std::vector<std::string> saved;
    LoadStringsFromConfig(*GuiConfig->Section("AddURL")->Section("MRU"), saved);
    EXPECT_EQ(saved, (std::vector<std::string>{"http://b.example/2", "http://a.example/1"}));
    // The next dialog offers them.
    SetModalHandler([&](QDialog& d) {
        EXPECT_EQ(dynamic_cast<TfoAddURL&>(d).eURL->count(), 2);
        return int(QDialog::Rejected);
    });
    std::string url, description;
    EXPECT_FALSE(ExecuteAddURL(url, description));
    GuiConfig = nullptr;
}

TEST_F(PlaylistFiles, DropWatchTakesDesktopFilesOnlyWhileEnabled) {
    QTreeWidget tree;
    tree.resize(200, 200);
    TDropWatch watch;
    std::vector<std::string> got;
    QPoint at;
    watch.OnFilesDropped = [&](TDropWatch&, int X, int Y, const std::vector<std::string>& Files) {
        got = Files;
        at = {X, Y};
    };
    watch.SetWatchControl(&tree);
    const std::string longName = "/" + std::string(280, 'n') + ".mp3";
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(longName))});
    EXPECT_FALSE(SendDrop(tree.viewport(), files));
    EXPECT_TRUE(got.empty());
    watch.SetEnabled(true);
    EXPECT_TRUE(SendDrop(tree.viewport(), files, {7, 9}));
    EXPECT_EQ(got, std::vector<std::string>{longName});
    EXPECT_EQ(at, QPoint(7, 9));
    {
        auto* doomed = new QTreeWidget;
        watch.SetWatchControl(doomed);
        delete doomed;
        EXPECT_EQ(watch.WatchControl(), nullptr);
        EXPECT_FALSE(watch.Enabled());
    }
}

TEST_F(PlaylistFiles, DropTargetPicksACategoryThatTakesSongsAndPassesDrops) {
    TCategoryTree& tree = *Manager->Categories;
    TCustomCategory* folder = tree.CreateCategory(tree.FindByID(0), "Station folder");
    ASSERT_NE(folder, nullptr);
    folder->Capabilities &= static_cast<uint8_t>(~(1u << CategoryCapability::AddSongs));
    TCustomCategory* inside = tree.CreateCategory(folder, "Morning");
    ASSERT_NE(inside, nullptr);

    TfoDropTarget target;
    EXPECT_TRUE(target.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(target.windowTitle(), "Drag & Drop");
    target.ShowCategories("station FOLDER");
    EXPECT_EQ(target.SelectedCategory(), "Morning");
    for (int i = 0; i < target.eCategory->count(); ++i)
        EXPECT_NE(target.eCategory->itemData(i).toString().toUpper(), "GROUPS");

    std::string droppedOn;
    std::vector<std::string> droppedFiles;
    int rows = 0;
    target.OnDropFiles = [&](TfoDropTarget&, const std::string& Name, const std::vector<std::string>& Files) {
        droppedOn = Name;
        droppedFiles = Files;
    };
    target.OnDropItems = [&](TfoDropTarget&, const std::string& Name, const TSongDrop& Rows) {
        droppedOn = Name;
        rows = Rows.Songs->Count();
    };
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/x/a.mp3"), QUrl::fromLocalFile("/x/b.mp3")});
    EXPECT_TRUE(SendDrop(target.pFiles, files));
    EXPECT_EQ(droppedOn, "Morning");
    EXPECT_EQ(droppedFiles.size(), 2u);

    auto songs = NewSongItemList();
    songs->Add().SongID = 1;
    std::unique_ptr<QMimeData> fromQueue(NewSongRowsMime(*songs, 3, 0));
    EXPECT_TRUE(SendDrop(target.pItems, *fromQueue));
    EXPECT_EQ(rows, 1);
    std::unique_ptr<QMimeData> refused(NewSongRowsMime(*songs, 6, 0));
    EXPECT_FALSE(SendDrop(target.pItems, *refused));
    EXPECT_FALSE(SendDrop(target.pFiles, *fromQueue));

    // With no category selected nothing happens.
    droppedFiles.clear();
    target.eCategory->setCurrentIndex(-1);
    target.DropFiles({"/x/c.mp3"});
    EXPECT_TRUE(droppedFiles.empty());
}

}  // namespace
}  // namespace kelvar
