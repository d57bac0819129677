#include "gui/editors/EditorsScreenshots.h"

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/SongRows.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/editors/funSongSettings.h"
#include "gui/engine/Screenshots.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

// The first song of the library, or a stand-in when the library is empty or unreachable.
ISongInfoPtr SomeSong() {
    if (ISongInfoPtr song = SampleSong()) return song;
    auto song = TSongInfo::Create(0, "demo.wav");
    song->SetArtist("Demo Artist");
    song->SetTitle("Demo Title");
    song->SetDuration(215000);
    return song;
}

TSongSettings ShownSettings() {
    TSongSettings s;
    s.Start = 1200;
    s.Intro = 14500;
    s.Outro = 198300;
    s.End = 211000;
    s.XFade = -1;
    s.Fade = -1;
    s.Gain = 64;
    s.BPM = 122.4;
    s.CuePoints[0] = {"First chorus", 45200};
    s.FadeOut = {1, 6000, 90, 2};
    s.FadeIn = {-1, -1, -1, 0};
    s.XFadeMode = 2;
    s.XFadeLevel = 9;
    return s;
}

}  // namespace

void RegisterEditorsScreenshots() {
    RegisterScreenshot("SongSettings", []() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<TfrmSongSettings>();
        f->Init(SomeSong(), ShownSettings(), nullptr);
        return f;
    });
    RegisterScreenshot("FadeSettings", []() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<TfrmFadeSettings>();
        f->Init(true, DefaultSongSettings, ShownSettings());
        f->DrawTimerTimer();
        return f;
    });
}

}  // namespace kelvar
