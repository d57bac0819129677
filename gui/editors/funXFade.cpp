#include "gui/editors/funXFade.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QSpinBox>
#include <cstdio>
#include <cstdlib>

#include "controls/KcTrackBar.h"
#include "foundation/MiscFunc.h"
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

QSpinBox* MakeSpin(QWidget* Parent, const char* Name, int Min, int Max, int Step, int Value, QRect Geometry) {
    auto* s = new QSpinBox(Parent);
    s->setObjectName(Name);
    s->setRange(Min, Max);
    s->setSingleStep(Step);
    s->setValue(Value);
    s->setGeometry(Geometry);
    return s;
}

}  // namespace

TfrmXFade::TfrmXFade(QWidget* Parent) : QWidget(Parent) {
    setFixedSize(250, 190);
    eXFade = new QComboBox(this);
    eXFade->setObjectName("eXFade");
    eXFade->addItems({"Default", "Disable crossfading", "Fixed point", "Auto detect (dB level)"});
    eXFade->setGeometry(24, 2, 200, 22);

    MakeEditorLabel(this, "lbFixedCaption", "Fixed crossfade point", QRect(24, 30, 200, 18));
    lbTimeCaption = MakeEditorLabel(this, "lbTimeCaption", "Time", QRect(24, 50, 40, 20));
    eTime = MakeEditorTrackBar(this, "eTime", 0, 8000, QRect(66, 48, 124, 24));
    lbTime = MakeEditorLabel(this, "lbTime", "", QRect(192, 50, 56, 20));

    MakeEditorLabel(this, "lbDetectCaption", "Crossfade point detection", QRect(24, 80, 200, 18));
    MakeEditorLabel(this, "lbTriggerCaption", "Trigger at", QRect(24, 102, 90, 22));
    eTrigger = MakeSpin(this, "eTrigger", -60, -1, 1, -6, QRect(116, 102, 70, 22));
    MakeEditorLabel(this, "lbTriggerUnit", "dB", QRect(190, 102, 30, 22));
    MakeEditorLabel(this, "lbFadeMinCaption", "Min. fade time", QRect(24, 130, 90, 22));
    eFadeMin = MakeSpin(this, "eFadeMin", 0, 10000, 100, 1500, QRect(116, 130, 70, 22));
    MakeEditorLabel(this, "lbFadeMinUnit", "ms", QRect(190, 130, 30, 22));
    MakeEditorLabel(this, "lbFadeMaxCaption", "Max. fade time", QRect(24, 158, 90, 22));
    eFadeMax = MakeSpin(this, "eFadeMax", 0, 10000, 100, 8000, QRect(116, 158, 70, 22));
    MakeEditorLabel(this, "lbFadeMaxUnit", "ms", QRect(190, 158, 30, 22));

    oXFade = MakeOverride(this, "oXFade", QRect(2, 2, 20, 20));
    oTime = MakeOverride(this, "oTime", QRect(2, 50, 20, 20));
    oTrigger = MakeOverride(this, "oTrigger", QRect(2, 102, 20, 20));
    oFadeMin = MakeOverride(this, "oFadeMin", QRect(2, 130, 20, 20));
    oFadeMax = MakeOverride(this, "oFadeMax", QRect(2, 158, 20, 20));

    pXFadeNotice = new QFrame(this);
    pXFadeNotice->setObjectName("pXFadeNotice");
    pXFadeNotice->setFrameShape(QFrame::Box);
    pXFadeNotice->setAutoFillBackground(true);
    pXFadeNotice->setGeometry(4, 28, 242, 158);
    const char* texts[] = {"You have configured a custom crossfade point at a fixed location in the track.",
                           "Thus there is no need to configure any additional crossfade detection settings.",
                           "You must clear the fixed crossfade point if you wish to configure this section."};
    int top = 4;
    for (const char* t : texts) {
        auto* l = new QLabel(t, pXFadeNotice);
        l->setWordWrap(true);
        l->setGeometry(6, top, 230, 36);
        top += 38;
    }
    lbNotice4 = new QLabel(pXFadeNotice);
    lbNotice4->setObjectName("lbNotice4");
    lbNotice4->setAlignment(Qt::AlignCenter);
    lbNotice4->setGeometry(6, top, 230, 20);
    pXFadeNotice->hide();

    auto changed = [this] { GuardedUi([this] { Changed(); }); };
    for (QCheckBox* b : {oXFade, oTime, oTrigger, oFadeMin, oFadeMax}) connect(b, &QCheckBox::toggled, this, changed);
    connect(eXFade, &QComboBox::currentIndexChanged, this, changed);
    for (QSpinBox* s : {eTrigger, eFadeMin, eFadeMax}) connect(s, &QSpinBox::valueChanged, this, changed);
    eTime->OnChange = [changed](TKcCustomControl&) { changed(); };
}

void TfrmXFade::Init(bool Override, const TSongSettings& Defaults, const TSongSettings& Own) {
    // The notice covers the crossfade controls.
    pXFadeNotice->move(4, 4);
    FOverride = Override;
    FLastPoint = 1234567890;
    eXFade->setCurrentIndex(Defaults.XFadeMode + 1);
    eTime->SetPosition(static_cast<int>(std::llabs(Defaults.XFade)));
    eTrigger->setValue(-std::abs(Defaults.XFadeLevel));
    eFadeMin->setValue(Defaults.XFadeMinTime);
    eFadeMax->setValue(Defaults.XFadeMaxTime);
    for (QCheckBox* b : {oXFade, oTime, oTrigger, oFadeMin, oFadeMax}) b->setVisible(Override);
    if (Override) {
        oXFade->setChecked(Own.XFadeMode != -1);
        oTime->setChecked(Own.XFade != -1);
        oTrigger->setChecked(Own.XFadeLevel != -1);
        oFadeMin->setChecked(Own.XFadeMinTime != -1);
        oFadeMax->setChecked(Own.XFadeMaxTime != -1);
        if (oXFade->isChecked()) eXFade->setCurrentIndex(Own.XFadeMode + 1);
        if (oTrigger->isChecked()) eTrigger->setValue(-std::abs(Own.XFadeLevel));
        if (oFadeMin->isChecked()) eFadeMin->setValue(Own.XFadeMinTime);
        if (oFadeMax->isChecked()) eFadeMax->setValue(Own.XFadeMaxTime);
    }
    SetXFadePoint(Low32(Own.XFade));
    UpdateTimeLabel();
}

bool TfrmXFade::NoticeShown() const { return !pXFadeNotice->isHidden(); }

void TfrmXFade::SetXFadePoint(int32_t Ms) {
    if (Ms == FLastPoint) return;
    FLastPoint = Ms;
    if (Ms < -1 && oTime->isChecked()) eTime->SetPosition(-Ms);
    const bool notice = Ms > 0;
    pXFadeNotice->setVisible(notice);
    SetLabelText(lbNotice4, "[ XFade point " + FormatTimeMs(3, Ms) + " ]");
    for (QWidget* w : std::initializer_list<QWidget*>{eTime, lbTime, lbTimeCaption}) w->setVisible(!notice);
    Changed();
}

void TfrmXFade::SaveTo(TSongSettings& Settings) const {
    const bool notice = NoticeShown();
    Settings.XFadeMode = eXFade->currentIndex() - 1;
    if (!notice) Settings.XFade = -static_cast<int64_t>(eTime->Position());
    Settings.XFadeLevel = std::abs(eTrigger->value());
    Settings.XFadeMinTime = eFadeMin->value();
    Settings.XFadeMaxTime = eFadeMax->value();
    if (!FOverride) return;
    if (!oXFade->isChecked()) Settings.XFadeMode = notice ? 1 : -1;
    if (!oTime->isChecked() && !notice) Settings.XFade = -1;
    if (!oTrigger->isChecked()) Settings.XFadeLevel = -1;
    if (!oFadeMin->isChecked()) Settings.XFadeMinTime = -1;
    if (!oFadeMax->isChecked()) Settings.XFadeMaxTime = -1;
}

void TfrmXFade::Changed() {
    UpdateTimeLabel();
    if (OnChange) OnChange(*this);
}

void TfrmXFade::UpdateTimeLabel() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0.1f sec", eTime->Position() / 1000.0);
    SetLabelText(lbTime, buf);
}

}  // namespace kelvar
