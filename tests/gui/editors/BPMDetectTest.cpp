// Tempo measurement: a click track written by the test, the worker without the dialog, the
// dialog closing by itself when the worker ends (with or without a result), and the song
// settings editor taking the measured tempo.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProgressBar>
#include <chrono>
#include <thread>

#include "EditorTestCore.h"
#include "controls/KcButtons.h"
#include "core/BPMDetect.h"
#include "gui/editors/funSongSettings.h"
#include "gui/editors/unBPMDetect.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class BPMDetection : public guitest::GuiTest {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("kelvar-bpm-" + std::to_string(getpid()));
        fs::create_directories(Folder);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }
    std::string Clicks(double Bpm, double Seconds) {
        const std::string file = (Folder / ("clicks" + std::to_string(static_cast<int>(Bpm)) + ".wav")).string();
        editortest::WriteClickWav(file, Bpm, Seconds);
        return file;
    }
    static void WaitForEnd(const TBPMDetect& D) {
        for (int i = 0; i < 3000 && !D.HasEnded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fs::path Folder;
};

TEST_F(BPMDetection, WorkerMeasuresClickTracks) {
    for (double bpm : {120.0, 96.0}) {
        TBPMDetect d(Clicks(bpm, 30));
        WaitForEnd(d);
        EXPECT_TRUE(d.IsDone());
        EXPECT_EQ(d.GetDuration(), 30000);
        EXPECT_NEAR(d.GetProgressMs(), 30000, 50);
        EXPECT_NEAR(d.Finish(), bpm, 1.0);
        EXPECT_NEAR(d.Finish(), bpm, 1.0);  // a second Finish answers the same
    }
}

TEST_F(BPMDetection, UnreadableFilesEndTheWorkerWithoutResult) {
    const std::string notAudio = (Folder / "notes.txt").string();
    std::ofstream(notAudio) << "no audio here";
    const std::string brokenWav = (Folder / "broken.wav").string();
    std::ofstream(brokenWav, std::ios::binary) << "RIFF\x10\x00\x00\x00WAVEjunk";
    for (const std::string& name : {(Folder / "missing.wav").string(), notAudio, brokenWav}) {
        TBPMDetect d(name);
        WaitForEnd(d);
        EXPECT_TRUE(d.HasEnded()) << name;
        EXPECT_EQ(d.GetProgressMs(), -1) << name;
        EXPECT_EQ(d.Finish(), 0.0) << name;
    }
}

TEST_F(BPMDetection, DialogClosesWhenTheWorkerEnds) {
    // Without a decoder the dialog does not wait for Cancel: it closes and answers 0.
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(DetectBPM((Folder / "missing.wav").string()), 0.0);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_NEAR(DetectBPM(Clicks(120, 20)), 120.0, 1.0);
}

TEST_F(BPMDetection, ProgressStaysInRangeAndCancelCollectsTheWorker) {
    TfoBPMDetect dialog;
    dialog.Start(Clicks(120, 20));
    dialog.Timer1Timer();
    EXPECT_GE(dialog.eProgress->value(), 0);
    EXPECT_LE(dialog.eProgress->value(), dialog.eProgress->maximum());
    EXPECT_GE(dialog.eProgress->maximum(), 100);
    dialog.Stop();  // as on Cancel: the worker is collected with what it decoded so far
    dialog.Stop();
    EXPECT_FALSE(dialog.Timer1->isActive());
    EXPECT_GE(dialog.Result(), 0.0);
}

class BPMInEditor : public editortest::TCoreFixture {};

TEST_F(BPMInEditor, AutoDetectSetsTheSongTempo) {
    const std::string file = (Folder / "clicks.wav").string();
    editortest::WriteClickWav(file, 120, 20);
    const int id = AddSongRow(file, "Click", "Track", 20000);
    auto song = TSongInfo::Create(id, file);
    TfrmSongSettings f;
    f.Init(song, TSongSettings{}, nullptr);
    f.btBPMDetect->Click();
    EXPECT_NEAR(f.Working().BPM, 120.0, 1.0);
    EXPECT_TRUE(f.btMetronome->isEnabled());
    f.Done();
    TfrmSongSettings none;
    none.DetectTempo();  // no song: nothing
    EXPECT_EQ(none.Working().BPM, 0.0);
}

}  // namespace
}  // namespace kelvar
