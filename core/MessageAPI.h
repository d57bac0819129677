#pragma once
// The remote-control message: other programs of the same desktop session control the player
// and learn of its song changes through the "KelvarAPI" signal (a code and a value) on the
// session bus; a second instance asks the first to show itself with "ShowKelvar".
#include <cstdint>
#include <functional>

namespace kelvar {

constexpr const char* KelvarAPIMessage = "KelvarAPI";
constexpr const char* ShowKelvarMessage = "ShowKelvar";

namespace KelvarAPI {
constexpr uint32_t Exit = 100;
constexpr uint32_t Show = 101;
constexpr uint32_t NotifySongChange = 102;
constexpr uint32_t SongChange = 103;  // sent by the player
constexpr uint32_t Play = 1001;
constexpr uint32_t Stop = 1002;
constexpr uint32_t Pause = 1003;
constexpr uint32_t Next = 1004;
}  // namespace KelvarAPI

// What carries out the commands: the user interface installs Exit and Show, the core the rest.
struct TKelvarAPIHandlers {
    std::function<void()> Exit;
    std::function<void(bool Visible)> Show;
    std::function<void(bool On)> SetNotifySongChange;
    std::function<void()> Play;
    std::function<void()> Stop;
    std::function<void()> Pause;
    std::function<void(bool Fade)> Next;
};

// Carries out one command (main thread); 103 and unknown codes are ignored.
void DispatchKelvarAPI(uint32_t Code, int64_t Value, const TKelvarAPIHandlers& Handlers);

// Posts the song change (code 103, the song's ID) and returns at once. False when there is no
// session bus or the signal could not be queued (the reason is logged once).
bool BroadcastSongChange(int64_t SongID);
bool BroadcastShowKelvar(uint32_t Param);

// Receivers of the signals, called on the main thread; an empty function stops listening.
void SetKelvarAPIReceiver(std::function<void(uint32_t Code, int64_t Value)> Receiver);
void SetShowKelvarReceiver(std::function<void(uint32_t Param)> Receiver);

// Leaves the session bus (shutdown); the next use joins it again.
void CloseMessageBus();

}  // namespace kelvar
