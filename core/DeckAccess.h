#pragma once
// The core object's players as the windows outside the deck windows reach them, without the
// player's own header.
namespace kelvar {

class TKelvar;

class TDeckAccess {
public:
    explicit TDeckAccess(TKelvar& Kelvar) : FKelvar(Kelvar) {}

    // The player at Index lets go of its song and its file; nothing when there is no such player.
    void Unload(int Index);

private:
    TKelvar& FKelvar;
};

}  // namespace kelvar
