#pragma once
// An automated deck as the core uses it. A deck that decodes ahead while it waits to be played
// may see a long gap in what it decoded; that report must not finish a song that has not
// played yet (it would be ejected the moment it starts). Its end event ends it instead.
#include <atomic>

#include "media/KelvarPlayer_imp.h"

namespace kelvar {

class TCoreDeck : public TKelvarPlayer {
public:
    // Unloads first: the worker calls OnEnd, which must not outlive this class's part.
    ~TCoreDeck() override;
    void Play() override;
    void Unload() override;
    bool HasPlayed() const { return FPlayed.load(); }

protected:
    void OnEnd() override;

private:
    std::atomic<bool> FPlayed{false};
};

}  // namespace kelvar
