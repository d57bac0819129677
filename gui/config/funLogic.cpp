#include "gui/config/funLogic.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/plugins/PluginConfig.h"
#include "core/plugins/PluginList_imp.h"
#include "foundation/Logger.h"
#include "gui/config/funLogic_category.h"
#include "gui/config/funLogic_web.h"
#include "gui/config/funLogic_weighted.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

TfrmLogic::TfrmLogic(QWidget* Parent) : QFrame(Parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox("Playlist logic modules", this);
    auto* column = new QVBoxLayout(group);
    column->addWidget(new QLabel("Select playlist rotation logic module", group));
    auto* row = new QHBoxLayout;
    eLogicList = new QComboBox(group);
    eLogicList->setObjectName("eLogicList");
    btConfig = new TBoxButton("Configure", group);
    btConfig->setObjectName("btConfig");
    row->addWidget(eLogicList, 1);
    row->addWidget(btConfig);
    column->addLayout(row);
    column->addStretch(1);
    outer->addWidget(group, 1);

    QObject::connect(eLogicList, &QComboBox::activated, this, [this](int Index) { Choose(Index); });
    QObject::connect(btConfig, &QToolButton::clicked, this, [this] {
        try {
            Configure();
        } catch (const std::exception& e) {
            LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
            MessageDlg(e.what(), TMsgDlgType::Error, MsgButton::OK, this);
        }
    });
}

void TfrmLogic::Init(const std::string& Folder) {
    FPlugins = std::make_shared<TPluginList>(Folder, "cfg_logic_*");
    for (TPluginInfoFunc info :
         {funLogic_weighted::GetPluginInfo, funLogic_category::GetPluginInfo, funLogic_web::GetPluginInfo})
        FPlugins->Add(std::make_shared<TBasePlugin>(info));
    FPlugins->Scan();
    FOnDemand = std::make_shared<TOnDemandList>();
    AddPluginsToList(*FPlugins, *FOnDemand);
}

void TfrmLogic::LoadFrom(IConfigDoc& Doc) {
    FKelvar = Doc.Section("Kelvar");
    FPlugins->LoadConfig(*FKelvar->Section("Plugins")->Section("Logic"));
    FOnDemand->LoadConfig(*FKelvar->Section("LogicList"));
    FillCombo();
}

void TfrmLogic::SaveTo(IConfigDoc& Doc) {
    auto kelvar = Doc.Section("Kelvar");
    FPlugins->SaveConfig(*kelvar->Section("Plugins")->Section("Logic"));
    FOnDemand->SaveConfig(*kelvar->Section("LogicList"));
}

void TfrmLogic::Done() {
    FOnDemand.reset();
    if (FPlugins) FPlugins->Unload();
    FPlugins.reset();
}

void TfrmLogic::FillCombo() {
    eLogicList->clear();
    int selected = -1;
    for (int i = 0; i < FOnDemand->Count(); ++i) {
        IOnDemandInterfacePtr entry = FOnDemand->Get(i);
        IPluginPtr plugin = entry->GetPlugin();
        eLogicList->addItem(
            QString::fromStdString(plugin->GetName() + " v" + PluginVersionToStr(plugin->GetVersion())));
        if (entry->GetSelected()) selected = i;
    }
    if (selected < 0 && eLogicList->count() > 0) selected = 0;
    eLogicList->setCurrentIndex(selected);
}

void TfrmLogic::Choose(int Index) {
    for (int i = 0; i < FOnDemand->Count(); ++i) FOnDemand->Get(i)->SetSelected(i == Index);
}

void TfrmLogic::Configure() {
    if (!FKelvar) return;
    auto section = FKelvar->Section("Logic");
    const int index = eLogicList->currentIndex();
    if (index < 0 || index >= FOnDemand->Count()) return;
    IPluginPtr plugin = FOnDemand->Get(index)->GetPlugin();
    auto config = std::dynamic_pointer_cast<IPluginConfig>(plugin->CreateInstance());
    if (!config) throw EPluginError("Plugin: " + plugin->GetName() + " has no settings");
    config->Configure(*section);
}

}  // namespace kelvar
