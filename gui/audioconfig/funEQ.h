#pragma once
// The ten-band equaliser page: each slider sets its band of the attached effects node at once;
// named presets are kept in the presets file.
#include <QWidget>
#include <array>
#include <list>
#include <memory>

#include "gui/audioconfig/EQPresets.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;

namespace kelvar {

class TNode_DSPEffects;
class TKcTrackBar;

class TfrmEQ : public QWidget {
public:
    explicit TfrmEQ(QWidget* Parent = nullptr);
    // Writes the presets file.
    ~TfrmEQ() override;

    void Attach(TNode_DSPEffects* Node);
    void Detach();
    TNode_DSPEffects* Node() const { return FNode; }
    // Shows the node's bands and switch.
    void ShowBands();

    // The text of a band value: the gain in dB with one decimal.
    static QString BandText(int Value);

    std::array<TKcTrackBar*, EQPresetBands> eEQ{};
    std::array<QLabel*, EQPresetBands> lb{};
    QCheckBox* eEnableEQ = nullptr;
    QComboBox* ePresets = nullptr;
    QToolButton* btSave = nullptr;
    QToolButton* btRemove = nullptr;

    // The presets in load order (the combo lists them sorted).
    const std::list<TEQPreset>& Presets() const { return FPresets; }
    // The name of the preset entry that stands for the bands as they are.
    static constexpr const char* CustomName = "(Custom)";

private:
    void BandChanged(int Index);
    void EnableClicked();
    void PresetChosen();
    void SaveClicked();
    void RemoveClicked();
    void AddPreset(const TEQPreset& Preset);
    void SetButtons(bool Custom);
    void SelectCustom();

    TNode_DSPEffects* FNode = nullptr;
    bool FBusy = false;      // band and switch changes under way
    bool FApplying = false;  // a preset is being applied
    std::list<TEQPreset> FPresets;
};

}  // namespace kelvar
