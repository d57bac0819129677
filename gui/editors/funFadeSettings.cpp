#include "gui/editors/funFadeSettings.h"

#include <QLabel>
#include <QTimer>

#include "gui/editors/EditorControls.h"
#include "gui/editors/funFade.h"
#include "gui/editors/funXFade.h"
#include "gui/editors/funXFadeGraph.h"

namespace kelvar {

TfrmFadeSettings::TfrmFadeSettings(QWidget* Parent) : QWidget(Parent) {
    setFixedSize(516, 390);
    frmFadeOut = new TfrmFade(this);
    frmFadeOut->setObjectName("frmFadeOut");
    frmFadeOut->move(4, 4);
    frmFadeIn = new TfrmFade(this);
    frmFadeIn->setObjectName("frmFadeIn");
    frmFadeIn->move(4, 126);
    frmXFade1 = new TfrmXFade(this);
    frmXFade1->setObjectName("frmXFade1");
    frmXFade1->move(262, 4);
    frmXFadeGraph1 = new TfrmXFadeGraph(this);
    frmXFadeGraph1->setObjectName("frmXFadeGraph1");
    frmXFadeGraph1->setGeometry(4, 250, 508, 110);
    lbDrawProblem = MakeEditorLabel(this, "lbDrawProblem",
                                    "Please note: Due to the fact that some data is auto-detected during playback, "
                                    "the above graph is only an estimated view of how the fade will sound.",
                                    QRect(4, 358, 508, 30));
    lbDrawProblem->setWordWrap(true);
    DrawTimer = new QTimer(this);
    DrawTimer->setInterval(150);
    DrawTimer->setSingleShot(true);
    connect(DrawTimer, &QTimer::timeout, this, [this] { GuardedUi([this] { DrawTimerTimer(); }); });
}

TfrmFadeSettings::~TfrmFadeSettings() = default;

void TfrmFadeSettings::Init(bool Override, const TSongSettings& Defaults, const TSongSettings& Own) {
    frmXFadeGraph1->Init();
    frmFadeIn->Init(true, Override, Defaults, Own);
    frmFadeOut->Init(false, Override, Defaults, Own);
    frmXFade1->Init(Override, Defaults, Own);
    auto invalidate = [this](QWidget&) { Invalidate(); };
    frmFadeIn->OnChange = invalidate;
    frmFadeOut->OnChange = invalidate;
    frmXFade1->OnChange = invalidate;
    Invalidate();
}

void TfrmFadeSettings::Done() {
    frmFadeIn->ClearOnChange();
    frmFadeOut->ClearOnChange();
    frmXFade1->ClearOnChange();
    DrawTimer->stop();
    frmXFadeGraph1->Done();
}

void TfrmFadeSettings::SaveTo(TSongSettings& Settings) const {
    frmFadeIn->SaveTo(Settings.FadeIn);
    frmFadeOut->SaveTo(Settings.FadeOut);
    frmXFade1->SaveTo(Settings);
}

// Every change restarts the wait, so a burst of changes draws once.
void TfrmFadeSettings::Invalidate() { DrawTimer->start(); }

void TfrmFadeSettings::DrawTimerTimer() {
    DrawTimer->stop();
    TSongSettings own;
    own.Start = own.End = own.Intro = own.Outro = own.Fade = own.XFade = 0;
    own.GapKiller = own.Gain = 0;
    own.BPM = 0;
    own.FadeIn = own.FadeOut = TFadeParams{0, 0, 0, 0};
    own.XFadeMode = own.XFadeLevel = own.XFadeMinTime = own.XFadeMaxTime = 0;
    SaveTo(own);
    TSongSettings merged;
    MergeSongSettings(DefaultSongSettings, own, merged);
    frmXFadeGraph1->Draw(merged);
}

}  // namespace kelvar
