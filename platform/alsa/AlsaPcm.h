#pragma once
// The ALSA PCM device layer under the output threads: open a named PCM with a fixed period
// (one packet) and period count, write or read whole periods, and poll its descriptors
// together with the thread's events.
#include <cstdint>
#include <string>
#include <vector>

#include <poll.h>

#include "foundation/AudioFormat.h"

typedef struct _snd_pcm snd_pcm_t;

namespace kelvar::platform {

// The named PCMs of ALSA's device hints for one direction, "default" and "null" left out: IDs
// are the PCM names, Names their descriptions on one line with the name in brackets. Raises
// std::runtime_error with ALSA's text when the hints can't be read.
void ListPcmHints(bool Capture, std::vector<std::string>& Names, std::vector<std::string>& IDs);

class TAlsaPcm {
public:
    TAlsaPcm() = default;
    ~TAlsaPcm();
    TAlsaPcm(const TAlsaPcm&) = delete;
    TAlsaPcm& operator=(const TAlsaPcm&) = delete;

    // Opens Name ("default" when empty) for playback or capture, 16-bit little-endian PCM
    // interleaved, with PeriodFrames per period and Periods periods, started explicitly.
    // Direct: no automatic conversion of rate, channels or format (hw devices).
    // Answers false with the reason in Error.
    bool Open(const std::string& Name, bool Capture, const TWaveFormat& Format, int PeriodFrames, int Periods,
              bool Direct, std::string& Error);
    void Close();
    bool IsOpen() const { return FPcm != nullptr; }
    snd_pcm_t* Handle() const { return FPcm; }
    int PeriodFrames() const { return FPeriodFrames; }
    int BufferFrames() const { return FBufferFrames; }
    int FrameBytes() const { return FFrameBytes; }
    bool CanPause() const { return FCanPause; }
    // After a failed Open: whether the device itself opened (and its parameters failed).
    bool DeviceOpened() const { return FDeviceOpened; }

    // The poll descriptors of the PCM (kept, so polling allocates nothing).
    pollfd* PollFds() { return FPollFds.data(); }
    int PollCount() const { return static_cast<int>(FPollFds.size()); }
    // Decodes the revents of PollFds; answers true when the PCM can take (or give) data.
    bool PollReady();

    // Frames the PCM can take now; recovers from an underrun (negative errno when it cannot).
    // A playback stream that is not Direct keeps running through an underrun (it plays
    // silence): what the writer missed is skipped, never queued behind.
    long Avail();
    // Frames skipped that way since the device was opened.
    int64_t SkippedFrames() const { return FSkippedFrames; }
    // Writes Frames whole frames, recovering once from an underrun; answers frames written
    // or a negative errno.
    long Write(const void* Buffer, long Frames);
    long Read(void* Buffer, long Frames);
    int Prepare();
    int Start();
    // Stops at once, dropping what is queued.
    int Drop();
    int Pause(bool Enable);
    // The PCM's state as ALSA's snd_pcm_state_t.
    int State() const;

    // "hw:CARD=x,DEV=n" paths and display names of the cards' playback or capture devices.
    static void ListHwDevices(bool Capture, std::vector<std::string>& Names, std::vector<std::string>& Paths);
    static std::string ErrorText(int Error);

private:
    snd_pcm_t* FPcm = nullptr;
    int FPeriodFrames = 0;
    int FBufferFrames = 0;
    int FFrameBytes = 0;
    bool FCanPause = false;
    bool FCapture = false;
    bool FDeviceOpened = false;
    bool FKeepRunning = false;
    int64_t FSkippedFrames = 0;
    std::vector<pollfd> FPollFds;
};

}  // namespace kelvar::platform
