// The maintenance tools on the embedded song database with temporary music files: each asks
// first, the weight reset clamps before it divides, the verification removes only plain files
// that are gone (on a thread of its own, stopped by Cancel or by the tools going away), the mass
// tagger copies tags both ways on a thread of its own and logs what it could not do, and a walk
// stops at Cancel with the rows after the current one untouched.
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include "common/Mp3Encoder.h"
#include "controls/FxFancyButton.h"
#include "gui/tools/MaintenanceTools.h"
#include "gui/tools/ToolsTestKit.h"
#include "gui/tools/unProgress.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class Maintenance : public toolstest::TToolsCore {
protected:
    void SetUp() override {
        TToolsCore::SetUp();
        Tools = std::make_unique<TMaintenanceTools>();
        Tools->TagLogFileName = (Folder / "VedoVudevo.log").string();
        SetMessageHandler([this](const TMessageRequest& r) {
            if (r.Buttons & MsgButton::Yes) {
                Questions.push_back(r.Text);
                return Answer;
            }
            Messages.push_back(r.Text);
            return MsgButton::OK;
        });
    }
    void TearDown() override {
        Tools.reset();
        TToolsCore::TearDown();
    }

    std::string Mp3(const std::string& Name, const std::string& Artist, const std::string& Title) {
        const std::string file = (Folder / Name).string();
        const std::vector<uint8_t> bytes = test::EncodeMp3(std::vector<int16_t>(2 * 4410, 0), 44100, 2);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        TSongInfo tags;
        tags.SetValue("artist", Artist);
        tags.SetValue("title", Title);
        EXPECT_TRUE(SongInfoManager().WriteInfo(file, tags));
        return file;
    }
    static std::string Column(int ID, const char* Name) {
        return PoolQuery("SELECT * FROM songlist WHERE ID = " + std::to_string(ID))->GetValue(Name);
    }
    std::string TagLog() const {
        std::ifstream in(Tools->TagLogFileName);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Runs the main loop (Qt's events and the dispatcher's calls) until Done, 30 s at most.
    bool PumpUntil(const std::function<bool()>& Done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            QCoreApplication::processEvents();
            if (Loop->ProcessPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // "Verify songs" to its end.
    void VerifySongs() {
        Tools->Verifysongs1Click();
        EXPECT_TRUE(PumpUntil([this] { return !Tools->Busy(); }));
    }
    // A tag command to its end: it returns while its walk runs on.
    void TagWalk(bool Load) {
        Load ? Tools->LoadALLtags1Click() : Tools->SaveALLtags1Click();
        EXPECT_TRUE(Tools->Busy());
        EXPECT_TRUE(Messages.empty());
        EXPECT_TRUE(PumpUntil([this] { return !Tools->Busy(); }));
    }
    // Rows 1 to Count; the file of row 1, of row 50 and of every row from Locked on is gone, the
    // others exist. Row Locked's category row is changed by a transaction left open on the
    // answered connection, so that the check, deleting the song, waits there until the test
    // lets go (the song rows themselves stay readable).
    ISQLConnectionPtr LibraryWithLockedRow(int Count, int Locked) {
        Touch(Folder / "here.mp3");
        // One transaction: a commit per row would take most of the test's time.
        ISQLConnectionPtr connection = PoolGetWriteConnection();
        for (int i = 1; i <= Count; ++i)
            connection->ExecSQL(
                "INSERT INTO songlist (ID, filename) VALUES (:id, :f)",
                {i, i == 1 || i == 50 || i >= Locked ? (Folder / ("gone" + std::to_string(i) + ".mp3")).string()
                                                     : (Folder / "here.mp3").string()});
        connection->ExecSQL("INSERT INTO categorylist (ID, songID, categoryID) VALUES (1, :id, 1)", {Locked});
        connection->Commit();
        ISQLConnectionPtr lock = PoolGetWriteConnection();
        lock->ExecSQL("UPDATE categorylist SET sortID = 2 WHERE ID = 1", {});
        return lock;
    }

    std::unique_ptr<TMaintenanceTools> Tools;
    int Answer = MsgButton::Yes;
    std::vector<std::string> Questions, Messages;
};

TEST_F(Maintenance, ResetWeightBalanceClampsThenDividesInFloatingPoint) {
    const double weights[] = {0, 0.5, 4, 150, 65};
    std::vector<int> ids;
    for (double w : weights) {
        ids.push_back(AddSongRow((Folder / "x.mp3").string()));
        PoolExecSQL("UPDATE songlist SET weight = :w, balance = 7 WHERE ID = :id", {w, ids.back()});
    }
    Answer = MsgButton::Cancel;
    Tools->Resetweight1Click();
    ASSERT_EQ(Questions.size(), 1u);
    EXPECT_EQ(Questions[0], "This will reset the weight balance of all songs.\nDo you wish to continue?");
    EXPECT_EQ(std::stod(Column(ids[0], "balance")), 7);

    Answer = MsgButton::Yes;
    Tools->Resetweight1Click();
    const double weightAfter[] = {1, 1, 4, 99, 65};
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_DOUBLE_EQ(std::stod(Column(ids[i], "weight")), weightAfter[i]);
        EXPECT_NEAR(std::stod(Column(ids[i], "balance")), 1.0 / weightAfter[i], 1e-9) << "weight " << weights[i];
    }
}

TEST_F(Maintenance, ClearHistoryOnlyAfterYes) {
    for (int id : {1, 2}) PoolExecSQL("INSERT INTO historylist (ID, filename) VALUES (:id, 'a.mp3')", {id});
    Answer = MsgButton::Cancel;
    Tools->Clearhistory1Click();
    EXPECT_EQ(CountRows("historylist"), 2);
    Answer = MsgButton::Yes;
    Tools->Clearhistory1Click();
    EXPECT_EQ(CountRows("historylist"), 0);
    ASSERT_EQ(Questions.size(), 2u);
    EXPECT_EQ(Questions[0].rfind("This will clear the history table and you will lose all reporting information!", 0),
              0u);
}

TEST_F(Maintenance, VerifySongsRemovesOnlyPlainFilesThatAreGone) {
    Answer = MsgButton::Yes;
    VerifySongs();
    EXPECT_EQ(Messages, std::vector<std::string>{"No invalid tracks found"});

    Touch(Folder / "here.mp3");
    const int here = AddSongRow((Folder / "here.mp3").string());
    const int gone = AddSongRow((Folder / "gone.mp3").string());
    PoolExecSQL("INSERT INTO queuelist (ID, songID, sortID) VALUES (1, :id, 1)", {gone});
    AddSongRow("http://radio.example/stream");
    AddSongRow((Folder / "Track01.cda").string());
    Messages.clear();
    VerifySongs();
    EXPECT_EQ(Messages, std::vector<std::string>{"1 track(s) were removed because they no longer exist."});
    EXPECT_EQ(CountRows("songlist"), 3);
    EXPECT_EQ(CountRows("songlist", "ID = " + std::to_string(gone)), 0);
    EXPECT_EQ(CountRows("songlist", "ID = " + std::to_string(here)), 1);
    Loop->ProcessPending();
    EXPECT_EQ(Tools->Progress(), nullptr);

    Answer = MsgButton::Cancel;
    Touch(Folder / "x.mp3");
    AddSongRow((Folder / "gone-too.mp3").string());
    Tools->Verifysongs1Click();
    EXPECT_FALSE(Tools->Busy());
    EXPECT_EQ(CountRows("songlist"), 4);
}

TEST_F(Maintenance, CancelStopsTheCheckAfterTheRowItIsOn) {
    ISQLConnectionPtr lock = LibraryWithLockedRow(120, 51);
    Tools->Verifysongs1Click();
    // The check runs on while the main thread goes on; it has reported row 50 and waits at
    // row 51 at the latest.
    ASSERT_TRUE(PumpUntil([this] { return Tools->Progress()->eProgess->value() >= 50; }));
    EXPECT_EQ(Tools->Progress()->eProgess->maximum(), 120);
    EXPECT_TRUE(Messages.empty());
    QTest::keyClick(Tools->Progress(), Qt::Key_Escape);
    lock->Rollback();
    ASSERT_TRUE(PumpUntil([this] { return !Tools->Busy(); }));
    // Rows 1 and 50 went, row 51 too when the check had reached it; every row after it stays,
    // and the message counts what went.
    const int removed = 120 - CountRows("songlist");
    EXPECT_TRUE(removed == 2 || removed == 3) << removed;
    EXPECT_EQ(Messages, std::vector<std::string>{std::to_string(removed) +
                                                 " track(s) were removed because they no longer exist."});
    EXPECT_EQ(CountRows("songlist", "ID > 51"), 69);
    EXPECT_EQ(Tools->Progress(), nullptr);
}

TEST_F(Maintenance, ToolsGoingAwayStopAndWaitForTheCheck) {
    ISQLConnectionPtr lock = LibraryWithLockedRow(120, 51);
    Tools->Verifysongs1Click();
    ASSERT_TRUE(PumpUntil([this] { return Tools->Progress()->eProgess->value() >= 50; }));
    // The tools wait for the row the check is on, which waits for the test's transaction.
    std::thread release([&lock] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lock->Rollback();
    });
    Tools.reset();
    release.join();
    // The check's thread is gone and what it had posted never reaches the tools.
    Loop->ProcessPending();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Messages.empty());
    EXPECT_GE(CountRows("songlist"), 117);
    EXPECT_EQ(CountRows("songlist", "ID > 51"), 69);
}

TEST_F(Maintenance, LoadAllTagsCopiesTagsAndLogsWhatItCouldNot) {
    // The row that can't be read comes first: it stays as it was and the walk goes on.
    Touch(Folder / "unknown.xyz");
    const int unreadable = AddSongRow((Folder / "unknown.xyz").string(), "Keep", "Me");
    const int good = AddSongRow(Mp3("good.mp3", "Tag Artist", "Tag Title"), "Old", "Old");
    AddSongRow((Folder / "missing.mp3").string());
    AddSongRow("http://radio.example/stream");
    std::ofstream(Tools->TagLogFileName) << "an older run\n";

    TagWalk(true);
    EXPECT_EQ(Messages, std::vector<std::string>{"1 tags loaded, 1 failed to load properly and 2 were skipped. For "
                                                 "details refer to VedoVudevo.log"});
    EXPECT_EQ(Column(good, "artist"), "Tag Artist");
    EXPECT_EQ(Column(good, "title"), "Tag Title");
    EXPECT_EQ(Column(unreadable, "artist"), "Keep");
    EXPECT_EQ(TagLog(), "Failed: " + (Folder / "unknown.xyz").string() +
                            "\nSkipped: " + (Folder / "missing.mp3").string() +
                            "\nSkipped: http://radio.example/stream\n1 tags loaded, 1 failed to load properly and 2 "
                            "were skipped\n");

    // A run with nothing to report leaves the last run's log as it was.
    PoolExecSQL("DELETE FROM songlist WHERE ID <> :id", {good});
    const std::string before = TagLog();
    Messages.clear();
    TagWalk(true);
    EXPECT_EQ(Messages, std::vector<std::string>{"1 tags loaded, 0 failed to load properly and 0 were skipped. For "
                                                 "details refer to VedoVudevo.log"});
    EXPECT_EQ(TagLog(), before);
}

TEST_F(Maintenance, SaveAllTagsWritesTheRowsIntoTheFiles) {
    const std::string mp3 = Mp3("song.mp3", "Before", "Before");
    const int id = AddSongRow(mp3, "Saved Artist", "Saved Title");
    // WAV files take no tags.
    coretest::WriteToneWav((Folder / "tone.wav").string(), 100, 440);
    AddSongRow((Folder / "tone.wav").string(), "A", "B");
    TagWalk(false);
    EXPECT_EQ(Messages, std::vector<std::string>{"1 tags saved, 1 failed to save properly and 0 were skipped. For "
                                                 "details refer to VedoVudevo.log"});
    TSongInfo tags;
    ASSERT_TRUE(SongInfoManager().ReadInfo(mp3, tags));
    EXPECT_EQ(tags.GetArtist(), "Saved Artist");
    EXPECT_EQ(tags.GetTitle(), "Saved Title");
    EXPECT_EQ(TagLog(), "Failed: " + (Folder / "tone.wav").string() +
                            "\n1 tags saved, 1 failed to save properly and 0 were skipped\n");
    EXPECT_EQ(Column(id, "artist"), "Saved Artist");
}

TEST_F(Maintenance, CancelStopsTheTaggerAfterTheRowItIsOn) {
    const std::string mp3 = Mp3("song.mp3", "Tag Artist", "Tag Title");
    constexpr int Rows = 300;
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    for (int i = 1; i <= Rows; ++i)
        connection->ExecSQL("INSERT INTO songlist (ID, filename, artist) VALUES (:id, :f, 'Old')", {i, mp3});
    connection->Commit();
    // Writing row 51 also changes a row of another table, which a transaction left open holds:
    // the tagger waits at the write of the batch with row 51, while the song rows stay readable.
    PoolExecSQL("CREATE TABLE gate (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER)", {});
    PoolExecSQL("INSERT INTO gate (ID, N) VALUES (1, 0)", {});
    PoolExecSQL(
        "CREATE TRIGGER gate_row_51 FOR songlist BEFORE UPDATE AS BEGIN IF (NEW.ID = 51) THEN "
        "UPDATE gate SET N = N + 1 WHERE ID = 1; END",
        {});
    ISQLConnectionPtr lock = PoolGetWriteConnection();
    lock->ExecSQL("UPDATE gate SET N = 5 WHERE ID = 1", {});
    Tools->LoadALLtags1Click();
    ASSERT_TRUE(PumpUntil([this] { return Tools->Progress()->eProgess->value() >= 1; }));
    EXPECT_EQ(Tools->Progress()->eProgess->maximum(), Rows);
    QTest::keyClick(Tools->Progress(), Qt::Key_Escape);
    lock->Rollback();
    ASSERT_TRUE(PumpUntil([this] { return !Tools->Busy(); }));
    // The rows up to the one the tagger was on have their tags (a batch is written at 100 rows
    // at the latest), the message counts them, and every row after it stays.
    const int loaded = CountRows("songlist", "artist = 'Tag Artist'");
    EXPECT_GE(loaded, 1);
    EXPECT_LE(loaded, 150);
    EXPECT_EQ(CountRows("songlist", "artist = 'Tag Artist' AND ID <= " + std::to_string(loaded)), loaded);
    EXPECT_EQ(Messages, std::vector<std::string>{std::to_string(loaded) +
                                                 " tags loaded, 0 failed to load properly and 0 were skipped. For "
                                                 "details refer to VedoVudevo.log"});
    EXPECT_EQ(Tools->Progress(), nullptr);
}

}  // namespace
}  // namespace kelvar
