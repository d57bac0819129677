#pragma once
// The capture front end of the live-input decoder and the talk-over voice: holds the driver
// choice, packet settings and device, creates the right capture thread on Open and passes its
// packets on.
#include <cstdint>
#include <memory>
#include <string>

#include "audio/live/Recorder_imp.h"

namespace kelvar {

namespace RecordDriver {
constexpr int DirectSound = 0;      // a shared ALSA PCM
constexpr int KernelStreaming = 1;  // a direct hw device
}  // namespace RecordDriver

class TRecorder_Combo {
public:
    TRecorder_Combo();
    ~TRecorder_Combo();
    TRecorder_Combo(const TRecorder_Combo&) = delete;
    TRecorder_Combo& operator=(const TRecorder_Combo&) = delete;

    // Closes first; raises EAudioError "Invalid recording driver specified" for a driver type
    // other than 0 or 1. A failed open keeps the thread object, so that its error can be read.
    bool Open(const TWaveFormatExtensible& Format);
    // Open with the 16-bit PCM Format (the rest of the device format zero).
    bool Open(const TWaveFormat& Format);
    void Run();
    void Stop();
    void Close();
    // The thread's last error, or 0 and "Recorder not created".
    void GetLastError(int32_t& Code, std::string& Text);
    // Whether a capture thread ran and has ended by itself (a failed read, wait or exception).
    bool HasEnded() const;
    TRecorder* GetRecorder() const { return FThread.get(); }

    int FDriverType = RecordDriver::DirectSound;
    int FPackets = 5;
    int FPacketTime = 10;
    // An ALSA PCM name for the shared driver, a hw device path for the direct one; empty: the
    // default device.
    std::string FSoundDevice;
    std::string FDeviceName = "Default device";  // for display only
    TRecorder::TDataEvent OnData;

private:
    std::unique_ptr<TRecorder> FThread;
};

}  // namespace kelvar
