#include "gui/audioconfig/funEQ.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QToolButton>
#include <cmath>

#include "controls/KcTrackBar.h"
#include "core/AudioSettingsAccess.h"
#include "foundation/dButils.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

namespace {

const char* const BandCaptions[EQPresetBands] = {"60", "170", "310", "600", "1k", "3k", "6k", "12k", "14k", "16k"};
constexpr int SliderRange = 75;
constexpr int SnapBelow = 5;

// The combo's order: names without regard to case.
bool SortsBefore(const QString& A, const QString& B) { return QString::compare(A, B, Qt::CaseInsensitive) < 0; }

}  // namespace

QString TfrmEQ::BandText(int Value) {
    double db = 0;
    if (Value > 0)
        db = -LinearToDb100(std::abs(100 - Value));
    else
        db = LinearToDb100(100 - std::abs(Value));
    if (!std::isfinite(db)) db = db > 0 ? 99.9 : -99.9;
    return QString::asprintf("%0.1f", db);
}

TfrmEQ::TfrmEQ(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmEQ");
    MakeEditorLabel(this, "lbPlus", "+12 dB", QRect(4, 34, 44, 16), Qt::AlignRight);
    MakeEditorLabel(this, "lbZero", "0 dB", QRect(4, 92, 44, 16), Qt::AlignRight);
    MakeEditorLabel(this, "lbMinus", "-12 dB", QRect(4, 150, 44, 16), Qt::AlignRight);
    for (int i = 0; i < EQPresetBands; ++i) {
        const int x = 54 + i * 36;
        const std::string name = "eEQ" + std::to_string(i);
        auto* bar = MakeEditorTrackBar(this, name.c_str(), -SliderRange, SliderRange, QRect(x, 26, 30, 150));
        bar->BeginLoading();
        bar->SetOrientation(TKcOrientation::voVertical);
        bar->SetFrequency(11);
        bar->SetTickMarks(TKcTickMarks::tmBottomRight);
        bar->SetPosition(0);
        bar->EndLoading();
        bar->OnChange = [this, i](TKcCustomControl&) { GuardedUi([this, i] { BandChanged(i); }); };
        eEQ[static_cast<size_t>(i)] = bar;
        const std::string label = "lb" + std::to_string(i);
        lb[static_cast<size_t>(i)] =
            MakeEditorLabel(this, label.c_str(), "0.0", QRect(x - 3, 8, 36, 16), Qt::AlignHCenter);
        MakeEditorLabel(this, ("lbBand" + std::to_string(i)).c_str(), BandCaptions[i], QRect(x - 3, 178, 36, 16),
                        Qt::AlignHCenter);
    }
    eEnableEQ = new QCheckBox("Enabled", this);
    eEnableEQ->setObjectName("eEnableEQ");
    eEnableEQ->setGeometry(54, 204, 80, 22);
    connect(eEnableEQ, &QCheckBox::clicked, this, [this] { GuardedUi([this] { EnableClicked(); }); });
    MakeEditorLabel(this, "lbPresets", "Presets", QRect(150, 206, 50, 18), Qt::AlignRight);
    ePresets = new QComboBox(this);
    ePresets->setObjectName("ePresets");
    ePresets->setGeometry(206, 204, 150, 22);
    connect(ePresets, &QComboBox::currentIndexChanged, this, [this] { GuardedUi([this] { PresetChosen(); }); });
    btSave = new QToolButton(this);
    btSave->setObjectName("btSave");
    btSave->setText("+");
    btSave->setToolTip("Save Preset");
    btSave->setGeometry(360, 204, 22, 22);
    connect(btSave, &QToolButton::clicked, this, [this] { GuardedUi([this] { SaveClicked(); }); });
    btRemove = new QToolButton(this);
    btRemove->setObjectName("btRemove");
    btRemove->setText("-");
    btRemove->setToolTip("Delete Preset");
    btRemove->setGeometry(386, 204, 22, 22);
    connect(btRemove, &QToolButton::clicked, this, [this] { GuardedUi([this] { RemoveClicked(); }); });
    setMinimumSize(420, 232);

    FApplying = true;
    ePresets->addItem(CustomName, QVariant::fromValue<quintptr>(0));
    for (const auto& preset : LoadEQPresets(EQPresetFileName())) AddPreset(preset);
    ePresets->setCurrentIndex(ePresets->findText(CustomName));
    FApplying = false;
    SetButtons(true);
}

TfrmEQ::~TfrmEQ() { SaveEQPresets(EQPresetFileName(), std::vector<TEQPreset>(FPresets.begin(), FPresets.end())); }

void TfrmEQ::Attach(TNode_DSPEffects* Node) {
    FNode = Node;
    ShowBands();
}

void TfrmEQ::Detach() { FNode = nullptr; }

void TfrmEQ::ShowBands() {
    if (!FNode) return;
    // Setting a slider fires its change; the node's own value stands.
    const bool busy = FBusy;
    FBusy = true;
    for (int i = 0; i < EQPresetBands; ++i) {
        const int value = TEqualizerAccess(*FNode).GetBand(i);
        eEQ[static_cast<size_t>(i)]->SetPosition(value);
        SetLabelText(lb[static_cast<size_t>(i)], BandText(value).toStdString());
    }
    eEnableEQ->setChecked(TEqualizerAccess(*FNode).GetEnabled());
    FBusy = busy;
}

void TfrmEQ::BandChanged(int Index) {
    if (!FNode || FBusy) return;
    FBusy = true;
    TKcTrackBar* bar = eEQ[static_cast<size_t>(Index)];
    if (std::abs(bar->Position()) < SnapBelow) bar->SetPosition(0);
    TEqualizerAccess(*FNode).SetBand(Index, bar->Position());
    if (!FApplying) SelectCustom();
    FBusy = false;
    ShowBands();
}

void TfrmEQ::EnableClicked() {
    if (!FNode || FBusy) return;
    TEqualizerAccess(*FNode).SetEnabled(eEnableEQ->isChecked());
    ShowBands();
}

void TfrmEQ::SelectCustom() {
    const bool applying = FApplying;
    FApplying = true;
    ePresets->setCurrentIndex(ePresets->findText(CustomName));
    FApplying = applying;
    SetButtons(true);
}

void TfrmEQ::SetButtons(bool Custom) {
    btRemove->setEnabled(!Custom);
    btSave->setEnabled(Custom);
}

void TfrmEQ::PresetChosen() {
    if (!FNode || FApplying) return;
    FApplying = true;
    const int index = ePresets->currentIndex();
    const auto* preset =
        index < 0 ? nullptr : reinterpret_cast<const TEQPreset*>(ePresets->itemData(index).value<quintptr>());
    if (!preset) {
        SetButtons(true);
    } else {
        SetButtons(false);
        for (int i = 0; i < EQPresetBands; ++i)
            TEqualizerAccess(*FNode).SetBand(i, preset->Bands[static_cast<size_t>(i)]);
        ShowBands();
    }
    FApplying = false;
}

void TfrmEQ::AddPreset(const TEQPreset& Preset) {
    FPresets.push_back(Preset);
    const QString name = QString::fromStdString(Preset.Name);
    int at = 0;
    while (at < ePresets->count() && !SortsBefore(name, ePresets->itemText(at))) ++at;
    ePresets->insertItem(at, name, QVariant::fromValue(reinterpret_cast<quintptr>(&FPresets.back())));
}

void TfrmEQ::SaveClicked() {
    if (!FNode) return;
    QInputDialog dialog(this);
    dialog.setWindowTitle("Save Preset");
    dialog.setLabelText("Please enter a name for the EQ Preset");
    dialog.setTextValue("");
    if (ExecModal(dialog) != QDialog::Accepted) return;
    const std::string name = dialog.textValue().toStdString().substr(0, EQPresetNameLength);
    if (name.empty()) return;
    TEQPreset preset;
    preset.Name = name;
    for (int i = 0; i < EQPresetBands; ++i) preset.Bands[static_cast<size_t>(i)] = TEqualizerAccess(*FNode).GetBand(i);
    AddPreset(preset);
    // The new entry itself, also when its name was there before.
    const auto* record = &FPresets.back();
    for (int i = 0; i < ePresets->count(); ++i)
        if (reinterpret_cast<const TEQPreset*>(ePresets->itemData(i).value<quintptr>()) == record) {
            ePresets->setCurrentIndex(i);
            break;
        }
}

void TfrmEQ::RemoveClicked() {
    const int index = ePresets->currentIndex();
    if (index < 0) return;
    const auto* record = reinterpret_cast<const TEQPreset*>(ePresets->itemData(index).value<quintptr>());
    if (!record) return;
    // The selected entry goes by its index: another entry may carry the same name.
    const bool applying = FApplying;
    FApplying = true;
    ePresets->removeItem(index);
    FPresets.remove_if([record](const TEQPreset& p) { return &p == record; });
    FApplying = applying;
    SelectCustom();
}

}  // namespace kelvar
