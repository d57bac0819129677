#include "gui/editors/unEditTime.h"

#include <QSpinBox>

#include "gui/editors/EditorControls.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "media/SongSettings.h"

namespace kelvar {

namespace {

QSpinBox* MakeField(QWidget* Parent, const char* Name, const char* Caption, int Max, int Left) {
    MakeEditorLabel(Parent, "", Caption, QRect(Left, 8, 70, 18));
    auto* s = new QSpinBox(Parent);
    s->setObjectName(Name);
    s->setRange(0, Max);
    s->setGeometry(Left, 28, 70, 24);
    return s;
}

}  // namespace

TfoEditTime::TfoEditTime(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Edit time");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(250, 64 + TfrmOKCancel::BarHeight);
    eMin = MakeField(this, "eMin", "Min", 99, 8);
    eSec = MakeField(this, "eSec", "Sec", 59, 88);
    eMS = MakeField(this, "eMS", "Millisecs", 999, 168);
    frmOKCancel1 = new TfrmOKCancel(this);
    frmOKCancel1->setGeometry(0, 64, 250, TfrmOKCancel::BarHeight);
}

void TfoEditTime::SetTime(int32_t Ms) {
    if (Ms < 0) Ms = 0;
    const int32_t s = Ms / 1000;
    eMin->setValue((s - s % 60) / 60);
    eSec->setValue(s % 60);
    eMS->setValue(Ms % 1000);
}

int32_t TfoEditTime::GetTime() const { return eMin->value() * 60000 + eSec->value() * 1000 + eMS->value(); }

bool EditTime(int64_t& Ms) {
    TfoEditTime dialog;
    dialog.SetTime(Low32(Ms));
    ExecModal(dialog);
    if (GetFormTag(&dialog) != 1) return false;
    Ms = dialog.GetTime();
    return true;
}

}  // namespace kelvar
