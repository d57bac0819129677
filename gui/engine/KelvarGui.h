#pragma once
// The GUI engine: owns the GUI heartbeat and the GUI configuration document for the life of the
// windows, and at quit closes every window and writes that document.
#include <functional>
#include <memory>
#include <string>

#include "core/HeartBeat.h"

namespace kelvar {

class IKelvarGui {
public:
    virtual ~IKelvarGui() = default;
    virtual void DoInit() = 0;
    virtual void DoQuit() = 0;
};

class TKelvarGui : public IKelvarGui {
public:
    // ConfigFileName empty: the program path without extension + ".gui.xml". Tests pass their
    // own file and a heartbeat without a thread.
    explicit TKelvarGui(const std::string& ConfigFileName = {}, std::unique_ptr<THeartBeat> HeartBeat = {});
    ~TKelvarGui() override;
    TKelvarGui(const TKelvarGui&) = delete;
    TKelvarGui& operator=(const TKelvarGui&) = delete;

    void DoInit() override {}
    void DoQuit() override;

    // Closes the search window when it is open (set by the window that owns it).
    static std::function<void()> CloseSearchWindow;

    static std::string DefaultConfigFileName();

private:
    std::unique_ptr<THeartBeat> FHeartBeat;
};

}  // namespace kelvar
