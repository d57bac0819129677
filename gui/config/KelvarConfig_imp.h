#pragma once
// The program's configuration dialog: the page plug-ins of the plug-in folder (cfg_config_*)
// first, then the built-in pages; and the main window's Config action around it.
#include <functional>
#include <string>
#include <vector>

#include "gui/config/ConfigNode.h"

namespace kelvar {

class TKelvarApi;

class TKelvarConfig : public TConfig {
public:
    // Scans Folder for page plug-ins and creates every page's node; raises EPluginError for a
    // module that can't be loaded or whose instance is no page.
    explicit TKelvarConfig(const std::string& Folder = PluginDir());
    ~TKelvarConfig() override;

    IPluginListPtr GetPlugins() const { return FPlugins; }

protected:
    bool Run(const IConfigDocPtr& Doc) override;

private:
    IPluginListPtr FPlugins;
};

// The information functions of the built-in pages, in tree order.
std::vector<TPluginInfoFunc> BuiltInConfigPages();

// The Config action: the core writes its running settings into "Kelvar" of CoreConfig, the
// dialog edits them, and on OK the file is written, the core reloads under the live-apply mark
// and RefreshDJMode runs. The mark is cleared in every case; errors go on to the caller after
// that. Answers whether the dialog was confirmed.
bool ExecuteConfigAction(TKelvarApi& Core, const IConfigDocPtr& CoreConfig, const std::function<void()>& RefreshDJMode,
                         const std::string& PluginFolder = PluginDir());

}  // namespace kelvar
