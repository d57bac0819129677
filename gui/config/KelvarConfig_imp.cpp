#include "gui/config/KelvarConfig_imp.h"

#include <memory>

#include "core/KelvarApi.h"
#include "core/plugins/PluginList_imp.h"
#include "gui/config/cfgAudioPipe.h"
#include "gui/config/cfgCrossfader.h"
#include "gui/config/cfgGapkiller.h"
#include "gui/config/cfgGeneral.h"
#include "gui/config/cfgPlaylistRules.h"
#include "gui/config/funConfig.h"
#include "gui/config/unConfig.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

std::vector<TPluginInfoFunc> BuiltInConfigPages() {
    return {cfgAudioPipe::GetPluginInfo, cfgCrossfader::GetPluginInfo, cfgGapkiller::GetPluginInfo,
            cfgPlaylistRules::GetPluginInfo, cfgGeneral::GetPluginInfo};
}

TKelvarConfig::TKelvarConfig(const std::string& Folder)
    : FPlugins(std::make_shared<TPluginList>(Folder, "cfg_config_*")) {
    FPlugins->Scan();
    for (TPluginInfoFunc info : BuiltInConfigPages()) FPlugins->Add(std::make_shared<TBasePlugin>(info));
    for (int i = 0; i < FPlugins->Count(); ++i) {
        IPluginPtr plugin = FPlugins->Get(i);
        auto node = std::dynamic_pointer_cast<IConfigNode>(plugin->CreateInstance());
        if (!node) throw EPluginError("Plugin: " + plugin->GetName() + " is not a configuration page");
        FNodes->Add(node);
    }
}

TKelvarConfig::~TKelvarConfig() {
    // The pages go before their modules.
    FNodes.reset();
    FPlugins->Unload();
}

bool TKelvarConfig::Run(const IConfigDocPtr& Doc) {
    Doc->SetLiveApply(true);
    ForEachConfigNode(*FNodes, [&](IConfigNode& Node) { Node.SetConfigDoc(Doc); });
    bool confirmed = false;
    {
        TfoConfig form;
        form.setWindowTitle("Configuration");
        form.frmConfig1->SetNodes(*FNodes);
        SetFormTag(&form, 2);
        ExecModal(form);
        confirmed = GetFormTag(&form) == 1;
    }
    if (!confirmed) ForEachConfigNode(*FNodes, [](IConfigNode& Node) { Node.SetConfigDoc(nullptr); });
    return confirmed;
}

bool ExecuteConfigAction(TKelvarApi& Core, const IConfigDocPtr& CoreConfig, const std::function<void()>& RefreshDJMode,
                         const std::string& PluginFolder) {
    auto config = std::make_unique<TKelvarConfig>(PluginFolder);
    struct TClearMark {
        IConfigDoc& Doc;
        ~TClearMark() { Doc.SetLiveApply(false); }
    } clearMark{*CoreConfig};
    CoreConfig->SetLiveApply(true);
    Core.SaveConfig(*CoreConfig->Section("Kelvar"));
    const bool confirmed = config->Execute(CoreConfig);
    if (confirmed) {
        CoreConfig->Save();
        Core.LoadConfig(*CoreConfig->Section("Kelvar"));
        if (RefreshDJMode) RefreshDJMode();
    }
    return confirmed;
}

}  // namespace kelvar
