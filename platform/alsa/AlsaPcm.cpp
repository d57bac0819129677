#include "platform/alsa/AlsaPcm.h"

#include <alsa/asoundlib.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace kelvar::platform {

namespace {

std::string Hint(void* H, const char* Id) {
    char* value = snd_device_name_get_hint(H, Id);
    if (!value) return {};
    std::string text = value;
    free(value);
    return text;
}

}  // namespace

void ListPcmHints(bool Capture, std::vector<std::string>& Names, std::vector<std::string>& IDs) {
    void** hints = nullptr;
    const int result = snd_device_name_hint(-1, "pcm", &hints);
    if (result < 0) throw std::runtime_error(snd_strerror(result));
    const char* direction = Capture ? "Input" : "Output";
    for (void** h = hints; *h; ++h) {
        const std::string name = Hint(*h, "NAME");
        const std::string io = Hint(*h, "IOID");
        if (name.empty() || name == "null" || name == "default" || (!io.empty() && io != direction)) continue;
        std::string description = Hint(*h, "DESC");
        std::replace(description.begin(), description.end(), '\n', ' ');
        Names.push_back(description.empty() ? name : description + " (" + name + ")");
        IDs.push_back(name);
    }
    snd_device_name_free_hint(hints);
}

TAlsaPcm::~TAlsaPcm() { Close(); }

std::string TAlsaPcm::ErrorText(int Error) { return snd_strerror(Error); }

bool TAlsaPcm::Open(const std::string& Name, bool Capture, const TWaveFormat& Format, int PeriodFrames, int Periods,
                    bool Direct, std::string& Error) {
    Close();
    FDeviceOpened = false;
    if (Format.BitsPerSample != 16 || Format.Channels == 0 || Format.SamplesPerSec == 0) {
        Error = "Unsupported sample format";
        return false;
    }
    const std::string name = Name.empty() ? "default" : Name;
    const int mode = Direct ? (SND_PCM_NO_AUTO_RESAMPLE | SND_PCM_NO_AUTO_CHANNELS | SND_PCM_NO_AUTO_FORMAT) : 0;
    int rc = snd_pcm_open(&FPcm, name.c_str(), Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                          mode | SND_PCM_NONBLOCK);
    if (rc < 0) {
        FPcm = nullptr;
        Error = "Unable to open ALSA device \"" + name + "\": " + snd_strerror(rc);
        return false;
    }
    FCapture = Capture;
    FDeviceOpened = true;
    auto fail = [&](const char* what, int code) {
        Error = std::string(what) + ": " + snd_strerror(code);
        Close();
        return false;
    };
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if ((rc = snd_pcm_hw_params_any(FPcm, hw)) < 0) return fail("No configuration for the device", rc);
    if (Direct) snd_pcm_hw_params_set_rate_resample(FPcm, hw, 0);
    if ((rc = snd_pcm_hw_params_set_access(FPcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return fail("Interleaved access not available", rc);
    if ((rc = snd_pcm_hw_params_set_format(FPcm, hw, SND_PCM_FORMAT_S16_LE)) < 0)
        return fail("16-bit samples not available", rc);
    if ((rc = snd_pcm_hw_params_set_channels(FPcm, hw, Format.Channels)) < 0)
        return fail("Channel count not available", rc);
    if ((rc = snd_pcm_hw_params_set_rate(FPcm, hw, Format.SamplesPerSec, 0)) < 0)
        return fail("Sample rate not available", rc);
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(PeriodFrames);
    int dir = 0;
    if ((rc = snd_pcm_hw_params_set_period_size_near(FPcm, hw, &period, &dir)) < 0)
        return fail("Period size not available", rc);
    unsigned int periods = static_cast<unsigned int>(Periods);
    dir = 0;
    if ((rc = snd_pcm_hw_params_set_periods_near(FPcm, hw, &periods, &dir)) < 0)
        return fail("Period count not available", rc);
    if ((rc = snd_pcm_hw_params(FPcm, hw)) < 0) return fail("Unable to set the device format", rc);
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_hw_params_get_period_size(hw, &period, &dir);
    snd_pcm_hw_params_get_buffer_size(hw, &buffer);
    FPeriodFrames = static_cast<int>(period);
    FBufferFrames = static_cast<int>(buffer);
    FFrameBytes = Format.Channels * 2;
    FCanPause = snd_pcm_hw_params_can_pause(hw) != 0;

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if ((rc = snd_pcm_sw_params_current(FPcm, sw)) < 0) return fail("Unable to read software parameters", rc);
    snd_pcm_uframes_t boundary = 0;
    snd_pcm_sw_params_get_boundary(sw, &boundary);
    // Started explicitly once every packet is queued.
    snd_pcm_sw_params_set_start_threshold(FPcm, sw, boundary);
    snd_pcm_sw_params_set_avail_min(FPcm, sw, period);
    FKeepRunning = !Capture && !Direct;
    if (FKeepRunning) {
        // A late writer must not stop the stream: a stopped stream is prepared and started
        // again, which some devices (a sound server's) answer with seconds of silence. Running
        // on, the device plays silence for what is missing and Avail skips past it.
        snd_pcm_sw_params_set_stop_threshold(FPcm, sw, boundary);
        snd_pcm_sw_params_set_silence_threshold(FPcm, sw, 0);
        snd_pcm_sw_params_set_silence_size(FPcm, sw, boundary);
    }
    if ((rc = snd_pcm_sw_params(FPcm, sw)) < 0) return fail("Unable to set software parameters", rc);

    const int count = snd_pcm_poll_descriptors_count(FPcm);
    if (count <= 0) return fail("No poll descriptors", count < 0 ? count : -EINVAL);
    FPollFds.assign(static_cast<size_t>(count), pollfd{});
    if ((rc = snd_pcm_poll_descriptors(FPcm, FPollFds.data(), static_cast<unsigned>(count))) < 0)
        return fail("No poll descriptors", rc);
    return true;
}

void TAlsaPcm::Close() {
    if (FPcm) {
        snd_pcm_drop(FPcm);
        snd_pcm_close(FPcm);
        FPcm = nullptr;
    }
    FPollFds.clear();
}

bool TAlsaPcm::PollReady() {
    if (!FPcm || FPollFds.empty()) return false;
    unsigned short revents = 0;
    if (snd_pcm_poll_descriptors_revents(FPcm, FPollFds.data(), static_cast<unsigned>(FPollFds.size()), &revents) < 0)
        return false;
    return (revents & (POLLOUT | POLLIN | POLLERR)) != 0;
}

long TAlsaPcm::Avail() {
    if (!FPcm) return -EBADFD;
    snd_pcm_sframes_t n = snd_pcm_avail_update(FPcm);
    if (n < 0) {
        // After an underrun the stream is prepared again; the caller starts it.
        const int rc = snd_pcm_recover(FPcm, static_cast<int>(n), 1);
        if (rc < 0) return rc;
        n = snd_pcm_avail_update(FPcm);
    }
    if (FKeepRunning && n > FBufferFrames && snd_pcm_state(FPcm) == SND_PCM_STATE_RUNNING) {
        // The device played past what was written: what comes next plays now, so an underrun
        // costs only the time that was missed.
        const snd_pcm_sframes_t skipped = snd_pcm_forward(FPcm, static_cast<snd_pcm_uframes_t>(n - FBufferFrames));
        if (skipped > 0) FSkippedFrames += skipped;
        n = snd_pcm_avail_update(FPcm);
        if (n > FBufferFrames) n = FBufferFrames;
    }
    return n;
}

long TAlsaPcm::Write(const void* Buffer, long Frames) {
    if (!FPcm) return -EBADFD;
    const auto* data = static_cast<const uint8_t*>(Buffer);
    long done = 0;
    int retries = 0;
    while (done < Frames) {
        const snd_pcm_state_t before = snd_pcm_state(FPcm);
        snd_pcm_sframes_t n =
            snd_pcm_writei(FPcm, data + done * FFrameBytes, static_cast<snd_pcm_uframes_t>(Frames - done));
        if (n == -EAGAIN) {
            // The caller asked for what Avail offered; only a racing device gets here.
            if (++retries > 100) return done;
            snd_pcm_wait(FPcm, 10);
            continue;
        }
        if (n < 0) {
            if (++retries > 100) return n;
            const int rc = snd_pcm_recover(FPcm, static_cast<int>(n), 1);
            if (rc < 0) return rc;
            // An underrun stopped a running stream; it goes on with what is written next.
            if (before == SND_PCM_STATE_XRUN || before == SND_PCM_STATE_RUNNING) snd_pcm_start(FPcm);
            continue;
        }
        done += n;
    }
    if (snd_pcm_state(FPcm) == SND_PCM_STATE_XRUN) {
        snd_pcm_recover(FPcm, -EPIPE, 1);
    }
    return done;
}

long TAlsaPcm::Read(void* Buffer, long Frames) {
    if (!FPcm) return -EBADFD;
    auto* data = static_cast<uint8_t*>(Buffer);
    snd_pcm_sframes_t n = snd_pcm_readi(FPcm, data, static_cast<snd_pcm_uframes_t>(Frames));
    if (n < 0 && n != -EAGAIN) {
        const int rc = snd_pcm_recover(FPcm, static_cast<int>(n), 1);
        if (rc < 0) return rc;
        snd_pcm_start(FPcm);
        return 0;
    }
    return n < 0 ? 0 : n;
}

int TAlsaPcm::Prepare() { return FPcm ? snd_pcm_prepare(FPcm) : -EBADFD; }

int TAlsaPcm::Start() { return FPcm ? snd_pcm_start(FPcm) : -EBADFD; }

int TAlsaPcm::Drop() { return FPcm ? snd_pcm_drop(FPcm) : -EBADFD; }

int TAlsaPcm::Pause(bool Enable) { return FPcm ? snd_pcm_pause(FPcm, Enable ? 1 : 0) : -EBADFD; }

int TAlsaPcm::State() const { return FPcm ? static_cast<int>(snd_pcm_state(FPcm)) : -1; }

void TAlsaPcm::ListHwDevices(bool Capture, std::vector<std::string>& Names, std::vector<std::string>& Paths) {
    Names.clear();
    Paths.clear();
    int card = -1;
    while (snd_card_next(&card) >= 0 && card >= 0) {
        snd_ctl_t* ctl = nullptr;
        const std::string ctlName = "hw:" + std::to_string(card);
        if (snd_ctl_open(&ctl, ctlName.c_str(), 0) < 0) continue;
        snd_ctl_card_info_t* cardInfo = nullptr;
        snd_ctl_card_info_alloca(&cardInfo);
        std::string cardId = std::to_string(card);
        std::string cardName = cardId;
        if (snd_ctl_card_info(ctl, cardInfo) >= 0) {
            cardId = snd_ctl_card_info_get_id(cardInfo);
            cardName = snd_ctl_card_info_get_name(cardInfo);
        }
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl, &device) >= 0 && device >= 0) {
            snd_pcm_info_t* info = nullptr;
            snd_pcm_info_alloca(&info);
            snd_pcm_info_set_device(info, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(info, 0);
            snd_pcm_info_set_stream(info, Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK);
            if (snd_ctl_pcm_info(ctl, info) < 0) continue;
            Names.push_back(cardName + ": " + snd_pcm_info_get_name(info));
            Paths.push_back("hw:CARD=" + cardId + ",DEV=" + std::to_string(device));
        }
        snd_ctl_close(ctl);
    }
}

}  // namespace kelvar::platform
