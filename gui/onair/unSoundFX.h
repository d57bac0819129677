#pragma once
// The sound effect window: the songs of a chosen category as twelve pads per page, played on
// the core's sound effect player, with that player's volume, mix switches and equaliser.
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "database/Dataset.h"
#include "foundation/ConfigDoc.h"
#include "gui/engine/WindowList_imp.h"

class QLabel;
class QMenu;
class QToolButton;

namespace kelvar {

class TCustomCategory;
class TFxFancyButton;
class TKcDemoButton;
class TKcTrackBar;
class TKelvarApi;
class TKelvarPlayer;
class TPlaylistManager;
class TfrmSoundFXItem;

class TfoSoundFX : public QWidget {
public:
    static constexpr int PadCount = 12;

    explicit TfoSoundFX(QWidget* Parent = nullptr);
    ~TfoSoundFX() override;

    void Init();
    void Done();
    void LoadSettings(IConfigDoc& Section);
    void SaveSettings(IConfigDoc& Section);
    void ClearPads();
    // Reads the category's songs and shows the page (none: the pads stay empty).
    void ShowCategory(TCustomCategory* C, int Page);
    void ShowPage(int Page);
    void UpdateControls();
    // The category "Sound FX (All)", when it exists.
    void ChooseAll();
    // Rebuilds the category menu from the children of "Sound FX".
    void BuildCategoryMenu();
    void VolumeChange();
    void ZeroClick();
    void AirClick();
    void CueClick();
    void StopClick();
    void EQClick();
    void RefreshClick();

    int PageIndex() const { return FPageIndex; }
    TCustomCategory* Category() const { return FCategory; }
    TfrmSoundFXItem* Pad(int Index) const { return FPads[static_cast<size_t>(Index)]; }

    TKelvarApi* Api = nullptr;
    std::shared_ptr<TPlaylistManager> PlaylistManager;

    QToolButton* btChooseCat = nullptr;
    QMenu* puChooseFX = nullptr;
    QToolButton* btPrevious = nullptr;
    QLabel* lbStatus = nullptr;
    QLabel* lbPage = nullptr;
    QToolButton* btNext = nullptr;
    QToolButton* btRefresh = nullptr;
    QToolButton* btEQ = nullptr;
    TKcTrackBar* eTrackBar = nullptr;
    QLabel* lbTrackBar = nullptr;
    TKcDemoButton* btZero = nullptr;
    TKcDemoButton* btAir = nullptr;
    TKcDemoButton* btCue = nullptr;
    TFxFancyButton* FxFancyButton9 = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetTrackBarSilently(int Position);
    void AddCategoryItems(QMenu* Menu, TCustomCategory* First);
    void DetachCategory();

    std::array<TfrmSoundFXItem*, PadCount> FPads{};
    TKelvarPlayer* FPlayer = nullptr;
    TCustomCategory* FCategory = nullptr;
    IDatasetPtr FRows;
    int FPageIndex = 0;
    int FLastVolume = 255;
    int FLastMixFlags = 0;
    bool FTrackGuard = false;  // the track bar's change is being set from here
    bool FRegistered = false;
};

class TwiSoundFX : public TWindowItem {
public:
    TwiSoundFX();
    ~TwiSoundFX() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfoSoundFX* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfoSoundFX> FFrame;
};

}  // namespace kelvar
