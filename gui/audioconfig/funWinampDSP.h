#pragma once
// The DSP page: every installed DSP plug-in as a checked list; a checked plug-in is part of the
// attached channel's chain. Orders the plug-ins and opens a module's own settings dialog.
#include <QWidget>

#include "core/DSPPluginAccess.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace kelvar {

class TFxFancyButton;
class TKcSpinner;

class TfrmWinampDSP : public QWidget {
public:
    explicit TfrmWinampDSP(QWidget* Parent = nullptr);
    ~TfrmWinampDSP() override;

    void Attach(TNode_WinampDSPList* Node);
    // Unloads the plug-ins no chain uses.
    void Detach();
    TNode_WinampDSPList* Node() const { return FNode; }
    // The plug-in taken for configuration, or none.
    TDSPPluginPtr Current() const { return FCurrent; }

    void FillList();
    void ConfigureSelected();
    void RefreshClicked();
    void MoveUp();
    void MoveDown();

    QListWidget* eList = nullptr;
    QComboBox* eModule = nullptr;
    TFxFancyButton* btConfig = nullptr;
    TFxFancyButton* btRefresh = nullptr;
    QLabel* Label2 = nullptr;
    TKcSpinner* btUpDown = nullptr;

    static constexpr const char* PluginsPage = "https://www.google.com/search?q=winamp+dsp+plugins";
    static constexpr const char* WorkAroundPage = "https://www.google.com/search?q=winamp+dsp+plugin+copy+load+twice";

private:
    void SetCurrent(const TDSPPluginPtr& Plugin);
    void UpdateModules();
    void ItemChanged(QListWidgetItem* Item);
    TDSPPluginPtr PluginOf(const QListWidgetItem* Item) const;
    TDSPPluginPtr Selected() const;
    void Exchange(int Row, int Other);

    TDSPPluginListPtr FList;
    TNode_WinampDSPList* FNode = nullptr;
    TDSPPluginPtr FCurrent;
    bool FWasLoaded = false;
    bool FWasActive = false;
    bool FFilling = false;
};

}  // namespace kelvar
