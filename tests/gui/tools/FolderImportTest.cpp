// The folder import over a real core and song database: batches of a large folder, Cancel
// during the scan, masks without regard to case, sub-folders without following links in a
// circle, and a batch that fails.
#include <QTest>
#include <QTimer>
#include <vector>

#include "controls/FxFancyButton.h"
#include "core/playlist/CustomCategory.h"
#include "gui/tools/FirstRunImport.h"
#include "gui/tools/ToolsTestKit.h"
#include "gui/tools/unFirstRunAddDir.h"

namespace kelvar {
namespace {

using toolstest::fs::path;

class FolderImport : public toolstest::TToolsCore {
protected:
    TCustomCategory* Tracks() { return FindOrCreateCategory(Tree(), "Tracks", "Playlist"); }

    // Watches the running import at every event pass: Step gets the dialog each time.
    void Watch(std::function<void(TfoAddDir&)> Step) {
        FWatch = std::make_unique<QTimer>();
        FWatch->setInterval(0);
        QObject::connect(FWatch.get(), &QTimer::timeout, [Step] {
            if (auto* dialog = dynamic_cast<TfoAddDir*>(QApplication::activeModalWidget())) Step(*dialog);
        });
        FWatch->start();
    }
    void TearDown() override {
        FWatch.reset();
        TToolsCore::TearDown();
    }

    std::unique_ptr<QTimer> FWatch;
};

TEST_F(FolderImport, LargeFolderGoesInBatchesOf201And48WithMasksInAnyCase) {
    for (int i = 0; i < 450; ++i) {
        // Every third name shouts its extension; it is still an MP3.
        const char* ext = i % 3 == 0 ? ".MP3" : i % 3 == 1 ? ".mp3" : ".Mp3";
        Touch(Folder / "music" / ("song" + std::to_string(1000 + i) + ext));
    }
    Touch(Folder / "music" / "cover.jpg");
    std::vector<int> added;
    Watch([&](TfoAddDir& d) {
        if (added.empty() ? d.FAdded > 0 : d.FAdded != added.back()) added.push_back(d.FAdded);
    });
    TCustomCategory* tracks = Tracks();
    ASSERT_NE(tracks, nullptr);
    EXPECT_TRUE(ImportFolderToCategory(tracks, (Folder / "music").string(), false));
    EXPECT_EQ(added, (std::vector<int>{201, 402, 450}));
    EXPECT_EQ(CountRows("songlist"), 450);
    EXPECT_EQ(CategoryRows(tracks), 450);
}

TEST_F(FolderImport, CancelDuringTheScanAddsNothingAndAnswersFalse) {
    for (int i = 0; i < 450; ++i) Touch(Folder / "music" / ("song" + std::to_string(1000 + i) + ".mp3"));
    Touch(Folder / "music" / "more" / "late.mp3");
    // Escape and the window's close button stop the walk as Cancel does.
    const std::pair<const char*, std::function<void(TfoAddDir&)>> cancels[] = {
        {"Cancel", [](TfoAddDir& d) { QTest::mouseClick(d.btClose, Qt::LeftButton); }},
        {"Escape", [](TfoAddDir& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close", [](TfoAddDir& d) { d.close(); }},
    };
    TCustomCategory* tracks = Tracks();
    for (const auto& [name, cancel] : cancels) {
        bool cancelled = false;
        int foundAtEnd = 0;
        Watch([&, cancel = cancel](TfoAddDir& d) {
            foundAtEnd = d.FFound;
            if (!cancelled && d.FFound >= 100) {
                cancelled = true;
                cancel(d);
            }
        });
        EXPECT_FALSE(ImportFolderToCategory(tracks, (Folder / "music").string(), true)) << name;
        EXPECT_TRUE(cancelled) << name;
        EXPECT_LT(foundAtEnd, 200) << name << ": the scan went on";
        EXPECT_EQ(CountRows("songlist"), 0) << name;
        EXPECT_EQ(CategoryRows(tracks), 0) << name;
    }
}

TEST_F(FolderImport, SubFoldersOnceEachWithoutFollowingLinkedFolders) {
    const path music = Folder / "music";
    Touch(music / "a.mp3");
    Touch(music / "b.WAV");
    Touch(music / "rock" / "c.ogg");
    Touch(music / "rock" / "deep" / "d.wma");
    Touch(music / "rock" / "notes.txt");
    // A link back up the tree: followed, the walk would never end.
    toolstest::fs::create_directory_symlink(music, music / "rock" / "loop");
    toolstest::fs::create_directory_symlink(Folder / "elsewhere", music / "outside");
    Touch(Folder / "elsewhere" / "e.mp3");

    ISongItemListPtr songs;
    EXPECT_TRUE(ImportFolderToList(music.string(), true, songs));
    ASSERT_NE(songs, nullptr);
    EXPECT_EQ(songs->Count(), 4);
    EXPECT_EQ(CountRows("songlist"), 4);
    EXPECT_EQ(CountRows("songlist", "filename LIKE '%e.mp3'"), 0);

    // Without sub-folders only the folder's own files count.
    ISongItemListPtr top;
    EXPECT_TRUE(ImportFolderToList(music.string(), false, top));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Count(), 2);

    ISongItemListPtr none;
    EXPECT_TRUE(ImportFolderToList((Folder / "empty").string(), true, none));
    EXPECT_EQ(none, nullptr);
}

TEST_F(FolderImport, FailingBatchAnswersFalseAndIsLogged) {
    Touch(Folder / "music" / "a.mp3");
    TCustomCategory* tracks = Tracks();
    ASSERT_NE(tracks, nullptr);
    // A category that takes no songs makes the batch raise.
    tracks->Capabilities = 0;
    EXPECT_FALSE(ImportFolderToCategory(tracks, (Folder / "music").string(), false));
    EXPECT_EQ(Log->Count("Unhandled exception (", "GUI"), 1);
}

}  // namespace
}  // namespace kelvar
