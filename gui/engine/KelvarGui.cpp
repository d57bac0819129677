#include "gui/engine/KelvarGui.h"

#include <filesystem>

#include "foundation/ConfigDoc_XML.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/WindowList_imp.h"

namespace kelvar {

std::function<void()> TKelvarGui::CloseSearchWindow;

std::string TKelvarGui::DefaultConfigFileName() { return RemoveFileExt(ProgramPath()) + ".gui.xml"; }

TKelvarGui::TKelvarGui(const std::string& ConfigFileName, std::unique_ptr<THeartBeat> HeartBeat)
    : FHeartBeat(HeartBeat ? std::move(HeartBeat) : std::make_unique<THeartBeat>()) {
    GuiHeartBeat = FHeartBeat.get();
    if (!GuiLogger) GuiLogger = GetCoreLogger();
    const std::string file = ConfigFileName.empty() ? DefaultConfigFileName() : ConfigFileName;
    try {
        GuiConfig = TConfigDoc_XML::Create(file);
    } catch (const std::exception& e) {
        // A broken file must not stop the windows: it is kept aside and the windows start from
        // their defaults; the quit writes a fresh file.
        std::error_code ec;
        std::filesystem::rename(file, file + ".broken", ec);
        if (GuiLogger)
            GuiLogger->Log("GUI configuration unreadable (kept as " + file + ".broken): " + e.what(), "GUI",
                           LogKind::Error);
        GuiConfig = TConfigDoc_XML::Create(ec ? std::string() : file);
    }
    if (!GuiWindowList) GuiWindowList = std::make_shared<TWindowList>();
}

TKelvarGui::~TKelvarGui() {
    if (FHeartBeat) {
        FHeartBeat->Clear();
        FHeartBeat->Stop();
    }
    GuiHeartBeat = nullptr;
    FHeartBeat.reset();
    GuiWindowList.reset();
    GuiConfig.reset();
}

void TKelvarGui::DoQuit() {
    if (CloseSearchWindow) CloseSearchWindow();
    if (GuiHeartBeat) GuiHeartBeat->Clear();
    if (GuiWindowList) GuiWindowList->Clear();
    if (GuiConfig) {
        try {
            GuiConfig->Save();
        } catch (const std::exception& e) {
            if (GuiLogger)
                GuiLogger->Log(std::string("GUI configuration not saved: ") + e.what(), "GUI", LogKind::Error);
        }
    }
}

}  // namespace kelvar
