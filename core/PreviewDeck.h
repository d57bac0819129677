#pragma once
// The preview deck as the song settings editor plays the edited song on it, with the metronome
// of its channel, without the player's or the engine's headers.
#include <cstdint>

#include "media/SongInfo.h"
#include "media/SongSettings.h"

namespace kelvar {

class TAudioPipe;
class TKelvarPlayer;

class TPreviewDeck {
public:
    explicit TPreviewDeck(TKelvarPlayer& Player) : FPlayer(Player) {}

    bool IsEmpty();
    bool IsReady();
    bool LoadSong(const ISongInfoPtr& Song);
    void Play();
    void Seek(int64_t Ms);
    int64_t GetPosition();
    void SetSongSettings(const TSongSettings& Settings);
    // Unloads the song, then switches the metronome off.
    void Unload();

    // False when the channel has no metronome.
    bool GetMetronome();
    void SetMetronome(bool Value);
    // A tick every 60000 / BPM ms, offset by the latency of the pipe's output (packets times
    // packet time) when there is a pipe.
    void TimeMetronome(double BPM, TAudioPipe* Pipe);

private:
    TKelvarPlayer& FPlayer;
};

}  // namespace kelvar
