#include "core/plugins/PluginList.h"

#include <cstdio>

#include "foundation/MiscFunc.h"

extern "C" {
// Exported from the program (with -rdynamic) so that package modules can find it.
__attribute__((visibility("default"))) kelvar::TPluginInfoFunc PluginProc = nullptr;
}

namespace kelvar {

std::string PluginDir() { return ProgramFolder() + "plugins/"; }

std::string PluginVersionToStr(uint16_t Version) {
    char text[24];
    std::snprintf(text, sizeof(text), "%d.%d.%d", (Version >> 8) & 255, (Version >> 4) & 15, Version & 15);
    return text;
}

void AddPluginsToList(IPluginList& PluginList, IOnDemandList& OnDemandList) {
    const int count = PluginList.Count();
    for (int i = 0; i < count; ++i) OnDemandList.AddPlugin(PluginList.Get(i));
}

}  // namespace kelvar
