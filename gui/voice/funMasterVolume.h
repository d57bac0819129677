#pragma once
// The volumes and mutes of the two outputs of the audio pipe, on-air ("Air") and preview
// ("Cue"); the preview's controls only when it plays on a device of its own.
#include <QWidget>
#include <memory>

#include "gui/engine/WindowList_imp.h"

namespace kelvar {

class TKelvarApi;
class TKcDemoButton;
class TKcPowerButton;
class TKcTrackBar;

class TfrmMasterVolume : public QWidget {
public:
    explicit TfrmMasterVolume(QWidget* Parent = nullptr);
    ~TfrmMasterVolume() override;

    // Shows the core's output pair through its front door and refreshes every 300 ms.
    void Init(TKelvarApi* Api);
    void Done();
    void Refresh();
    TKelvarApi* Api() const { return FApi; }

    TKcTrackBar* eMainVol = nullptr;
    TKcTrackBar* eCueVol = nullptr;
    TKcDemoButton* btMainZero = nullptr;
    TKcDemoButton* btCueZero = nullptr;
    TKcPowerButton* btMain = nullptr;
    TKcPowerButton* btCue = nullptr;

private:
    // Runs Action unless a handler already runs, then refreshes.
    template <class F>
    void Handler(F&& Action);

    TKelvarApi* FApi = nullptr;
    int FTag = 0;
    bool FRegistered = false;
};

// The dockable window "MasterVolume" ("Volume", not sizeable) over the core's output pair.
class TwiMasterVolume : public TWindowItem {
public:
    TwiMasterVolume();
    ~TwiMasterVolume() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmMasterVolume* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfrmMasterVolume> FFrame;
};

}  // namespace kelvar
