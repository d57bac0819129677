#pragma once
// The output pair: plays the on-air mix and the preview mix on one or two devices. This is the
// abstract pair with its lock, error state and the two sources.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "audio/graph/Pins.h"
#include "foundation/AudioFormat.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TDualOutput {
public:
    TDualOutput();
    virtual ~TDualOutput();
    TDualOutput(const TDualOutput&) = delete;
    TDualOutput& operator=(const TDualOutput&) = delete;

    // Closes, then opens the devices for Format; answers whether they are open.
    bool Open(const TWaveFormat& Format);
    void Close();
    void Play();
    void Stop();
    void Pause();
    void Reset();
    void GetLastError(int32_t& Code, std::string& Text);
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

    void SetMainSource(IPinSourcePtr Source);
    void SetPreviewSource(IPinSourcePtr Source);
    bool IsActive();
    TWaveFormat GetFormat();

protected:
    virtual bool DoOpen(const TWaveFormat& Format) = 0;
    // Under the lock: take the devices out of use (they are released by ReleaseClosed).
    virtual void DoClose() = 0;
    // Without the lock: shut down what DoClose took out. A device thread may be waiting for the
    // lock in its pull, so it is never waited for while the lock is held.
    virtual void ReleaseClosed() {}
    virtual void DoStop() = 0;
    virtual void DoPause() = 0;
    virtual void DoPlay() = 0;
    virtual void DoReset() = 0;
    virtual void DoLoadConfig(IConfigDoc&) {}
    virtual void DoSaveConfig(IConfigDoc&) {}
    void SetError(int32_t Code, const std::string& Text);

    std::recursive_mutex FLock;
    int32_t FErrorCode = 0;
    std::string FErrorText;
    bool FActive = false;
    TWaveFormat FFormat = DefaultAudioFormat;
    // Read by the pulls before they take the lock.
    std::atomic<bool> FClosed{true};
    IPinSourcePtr FMainSource;
    IPinSourcePtr FPreviewSource;
};

}  // namespace kelvar
