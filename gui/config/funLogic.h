#pragma once
// The choice of the active rotation logic among the logic plug-ins, and the chosen logic's own
// settings dialog.
#include <QComboBox>
#include <QFrame>
#include <string>

#include "controls/BoxButton.h"
#include "core/plugins/PluginList.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmLogic : public QFrame {
public:
    explicit TfrmLogic(QWidget* Parent = nullptr);

    // The built-in settings plug-ins, then the cfg_logic_* modules of Folder.
    void Init(const std::string& Folder = PluginDir());
    // The root document: "Plugins"/"Logic" and "LogicList" of "Kelvar".
    void LoadFrom(IConfigDoc& Doc);
    void SaveTo(IConfigDoc& Doc);
    void Done();

    // Opens the chosen logic's settings on section "Logic"; raises EPluginError for a plug-in
    // that can't be loaded or has no settings.
    void Configure();

    IOnDemandListPtr GetOnDemandList() const { return FOnDemand; }

    QComboBox* eLogicList = nullptr;
    TBoxButton* btConfig = nullptr;

private:
    void FillCombo();
    void Choose(int Index);

    IPluginListPtr FPlugins;
    IOnDemandListPtr FOnDemand;
    IConfigDocPtr FKelvar;
};

}  // namespace kelvar
