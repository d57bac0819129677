#pragma once
// One sound effect pad: a song's name, length and number. A click plays the song at once on the
// sound effect player without fades; a second click stops it. While it plays the pad counts
// the time left.
#include <QFrame>
#include <string>

#include "media/SongInfo.h"
#include "media/SongSettings.h"

class QLabel;

namespace kelvar {

class TKelvarPlayer;

// The sound effect player's defaults while a pad plays: the global defaults with the gap killer
// on and every fade and crossfade off.
extern TSongSettings PadSettings;

class TfrmSoundFXItem : public QFrame {
public:
    explicit TfrmSoundFXItem(QWidget* Parent = nullptr);
    ~TfrmSoundFXItem() override;

    void SetSong(TKelvarPlayer* Player, const ISongInfoPtr& Song, int Number);
    void ClearPad();
    void SetPlaying(bool Value);
    void Tick();
    // What a left click does.
    void Click();

    bool Playing() const { return FPlaying; }
    const ISongInfoPtr& Song() const { return FSong; }

    QFrame* pMain = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* lbDuration = nullptr;
    QLabel* lbNumber = nullptr;

protected:
    void mousePressEvent(QMouseEvent* Event) override;

private:
    void SetPanelColor(int Color);
    std::string FullDuration() const;

    ISongInfoPtr FSong;
    TKelvarPlayer* FPlayer = nullptr;
    bool FPlaying = false;
};

}  // namespace kelvar
