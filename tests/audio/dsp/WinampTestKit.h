#pragma once
// A plug-in folder of copies of the test plug-ins, and 16-bit stereo blocks to run through them.
#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"

namespace kelvar::test {

inline std::string TestPlugin(const std::string& name) { return std::string(KELVAR_TEST_PLUGIN_DIR) + "/" + name; }

struct TPluginFolder {
    TTempFolder Temp;
    std::string Plugins = Temp.File("plugins") + "/";
    std::string Winamp = Temp.File("winamp") + "/";
    std::string Cache = Temp.File("kelvar.ini");

    TPluginFolder() {
        std::filesystem::create_directories(Plugins);
        std::filesystem::create_directories(Winamp);
    }
    // Copies test plug-in `name` into the plug-in folder (or the Winamp folder) as `as`.
    std::string Add(const std::string& name, const std::string& as, bool winamp = false) {
        const std::string target = (winamp ? Winamp : Plugins) + as;
        std::filesystem::copy_file(TestPlugin(name), target, std::filesystem::copy_options::overwrite_existing);
        return target;
    }
};

// A symbol of a test plug-in library (the library stays loaded by the caller's own handle).
template <typename F>
F PluginSymbol(const std::string& path, const char* name) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
}

inline std::vector<int16_t> Ramp(int frames) {
    std::vector<int16_t> s(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        s[2 * i] = static_cast<int16_t>(i * 10);
        s[2 * i + 1] = static_cast<int16_t>(-i * 10);
    }
    return s;
}

}  // namespace kelvar::test
