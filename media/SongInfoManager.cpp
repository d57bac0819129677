// The process's song information manager. Kept apart from the providers so that a program that
// only reads tags (tools/kelvar_tags.cpp) links no decoder library.
#include "media/SongInfoProvider_imp.h"
#include "platform/ffmpeg/WMReader.h"

namespace kelvar {

TSongInfoManager& SongInfoManager() {
    static TSongInfoManager* manager = [] {
        static TSongInfoManager instance;
        RegisterFileProviders(instance);
        // Only when this build can play Windows Media files, as the decks can.
        if (platform::WindowsMediaAvailable()) instance.Register(std::make_shared<TWMAInfoProvider>());
        return &instance;
    }();
    return *manager;
}

}  // namespace kelvar
