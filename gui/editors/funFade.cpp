#include "gui/editors/funFade.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <algorithm>
#include <cstdio>

#include "controls/KcTrackBar.h"
#include "gui/editors/EditorControls.h"

namespace kelvar {

namespace {

QCheckBox* MakeOverride(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* b = new QCheckBox(Parent);
    b->setObjectName(Name);
    b->setToolTip("Override");
    b->setGeometry(Geometry);
    b->hide();
    return b;
}

}  // namespace

TfrmFade::TfrmFade(QWidget* Parent) : QWidget(Parent) {
    setFixedSize(250, 118);
    eEnabled = new QCheckBox("Enabled", this);
    eEnabled->setObjectName("eEnabled");
    eEnabled->setGeometry(24, 2, 150, 20);
    sFade1 = new TSwatch(this, QColor(0x00, 0xFF, 0x00), true);
    sFade1->setObjectName("sFade1");
    sFade1->setGeometry(200, 4, 16, 16);
    sFade2 = new TSwatch(this, QColor(0x00, 0x80, 0x00), false);
    sFade2->setObjectName("sFade2");
    sFade2->setGeometry(222, 4, 16, 16);

    MakeEditorLabel(this, "lbCurveCaption", "Curve", QRect(24, 26, 50, 20));
    eCurve = new QComboBox(this);
    eCurve->setObjectName("eCurve");
    eCurve->addItems({"Default", "Linear", "S-Curve", "Exponential"});
    eCurve->setGeometry(76, 26, 120, 22);

    MakeEditorLabel(this, "lbTimeCaption", "Time", QRect(24, 54, 50, 20));
    eTime = MakeEditorTrackBar(this, "eTime", 0, 10000, QRect(76, 52, 120, 24));
    lbTime = MakeEditorLabel(this, "lbTime", "", QRect(198, 54, 52, 20));

    MakeEditorLabel(this, "lbLevelCaption", "Level", QRect(24, 84, 50, 20));
    eLevel = MakeEditorTrackBar(this, "eLevel", 0, 100, QRect(76, 82, 120, 24));
    lbLevel = MakeEditorLabel(this, "lbLevel", "", QRect(198, 84, 52, 20));

    oEnabled = MakeOverride(this, "oEnabled", QRect(2, 2, 20, 20));
    oCurve = MakeOverride(this, "oCurve", QRect(2, 26, 20, 20));
    oTime = MakeOverride(this, "oTime", QRect(2, 54, 20, 20));
    oLevel = MakeOverride(this, "oLevel", QRect(2, 84, 20, 20));

    auto changed = [this] { GuardedUi([this] { Changed(); }); };
    for (QCheckBox* b : {eEnabled, oEnabled, oCurve, oTime, oLevel}) connect(b, &QCheckBox::toggled, this, changed);
    connect(eCurve, &QComboBox::currentIndexChanged, this, changed);
    eTime->OnChange = [changed](TKcCustomControl&) { changed(); };
    eLevel->OnChange = [changed](TKcCustomControl&) { changed(); };
}

void TfrmFade::Init(bool IsFadeIn, bool Override, const TSongSettings& Defaults, const TSongSettings& Own) {
    FIsFadeIn = IsFadeIn;
    FOverride = Override;
    auto* light = static_cast<TSwatch*>(sFade1);
    auto* dark = static_cast<TSwatch*>(sFade2);
    if (IsFadeIn) {
        eEnabled->setText("Enable fade in");
        dark->SetColor(QColor(0x00, 0x00, 0x80));
        light->SetColor(QColor(0x00, 0x00, 0xFF));
    } else {
        eEnabled->setText("Enable fade out");
    }
    auto show = [this](const TFadeParams& P, bool Enabled, bool Curve, bool Time, bool Level) {
        if (Enabled) eEnabled->setChecked(P.Enabled == 1);
        if (Curve) eCurve->setCurrentIndex(P.Curve < 4 ? P.Curve : 0);
        if (Time) eTime->SetPosition(P.Time);
        if (Level) eLevel->SetPosition(P.Level);
    };
    show(IsFadeIn ? Defaults.FadeIn : Defaults.FadeOut, true, true, true, true);
    for (QCheckBox* b : {oEnabled, oCurve, oTime, oLevel}) b->setVisible(Override);
    if (Override) {
        const TFadeParams& q = IsFadeIn ? Own.FadeIn : Own.FadeOut;
        oEnabled->setChecked(q.Enabled != -1);
        oCurve->setChecked(q.Curve != 0);
        oTime->setChecked(q.Time != -1);
        oLevel->setChecked(q.Level != -1);
        show(q, oEnabled->isChecked(), oCurve->isChecked(), oTime->isChecked(), oLevel->isChecked());
    }
    UpdateLabels();
}

void TfrmFade::SaveTo(TFadeParams& Params) const {
    Params.Enabled = eEnabled->isChecked() ? 1 : 0;
    Params.Curve = static_cast<uint8_t>(std::max(0, eCurve->currentIndex()));
    Params.Time = eTime->Position();
    Params.Level = eLevel->Position();
    if (!FOverride) return;
    if (!oEnabled->isChecked()) Params.Enabled = -1;
    if (!oCurve->isChecked()) Params.Curve = 0;
    if (!oTime->isChecked()) Params.Time = -1;
    if (!oLevel->isChecked()) Params.Level = -1;
}

void TfrmFade::Changed() {
    UpdateLabels();
    if (OnChange) OnChange(*this);
}

void TfrmFade::UpdateLabels() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0.1f sec", eTime->Position() / 1000.0);
    SetLabelText(lbTime, buf);
    SetLabelText(lbLevel, std::to_string(eLevel->Position()) + "%");
}

}  // namespace kelvar
