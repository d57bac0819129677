#include "gui/onair/OnairScreenshots.h"

#include <QWidget>
#include <memory>

#include "core/KelvarApi.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/Screenshots.h"
#include "gui/onair/unHistoryList.h"
#include "gui/onair/unQueueList.h"
#include "gui/onair/unSoundFX.h"

namespace kelvar {

namespace {

std::shared_ptr<TPlaylistManager> Manager() {
    TKelvarApi* api = ProgramKelvarApi();
    return api ? api->PlaylistManager() : nullptr;
}

}  // namespace

void RegisterOnairScreenshots() {
    RegisterScreenshot("Queue", []() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<TfoQueueList>();
        f->PlaylistManager = Manager();
        f->Api = ProgramKelvarApi();
        f->Init();
        f->resize(320, 300);
        return f;
    });
    RegisterScreenshot("History", []() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<TfoHistoryList>();
        f->PlaylistManager = Manager();
        f->Api = ProgramKelvarApi();
        f->Init();
        f->resize(320, 300);
        return f;
    });
    RegisterScreenshot("SoundFX", []() -> std::unique_ptr<QWidget> {
        auto f = std::make_unique<TfoSoundFX>();
        f->Api = ProgramKelvarApi();
        f->PlaylistManager = Manager();
        f->Init();
        f->ChooseAll();
        return f;
    });
}

}  // namespace kelvar
