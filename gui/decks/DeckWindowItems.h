#pragma once
// The dockable deck windows: decks A and B and the auxiliary players.
#include <memory>

#include "gui/engine/WindowList_imp.h"

namespace kelvar {

class TfrmClock;
class TfrmDJControl;
class TfrmEventLog;
class TfrmPlayer;
class TKelvarPlayer;

class TwiPlayer : public TWindowItem {
public:
    // Letter "A", "B", "1", "2" or "3" (case does not matter).
    explicit TwiPlayer(char Letter);
    ~TwiPlayer() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmPlayer* Frame() const { return FFrame.get(); }
    char Letter() const { return FLetter; }

private:
    TKelvarPlayer* PlayerOfLetter() const;

    char FLetter;
    std::unique_ptr<TfrmPlayer> FFrame;
};

class TwiDJControl : public TWindowItem {
public:
    TwiDJControl();
    ~TwiDJControl() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmDJControl* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfrmDJControl> FFrame;
};

class TwiLog : public TWindowItem {
public:
    TwiLog();
    ~TwiLog() override;
    // Raises "Logger does not support Extended interface" when the GUI logger keeps no entries.
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmEventLog* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfrmEventLog> FFrame;
};

class TwiClock : public TWindowItem {
public:
    TwiClock();
    ~TwiClock() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfrmClock* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfrmClock> FFrame;
};

}  // namespace kelvar
