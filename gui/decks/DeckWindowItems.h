#pragma once
// The dockable deck windows: decks A and B and the auxiliary players.
#include <memory>

#include "gui/engine/WindowList_imp.h"

namespace kelvar {

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

}  // namespace kelvar
