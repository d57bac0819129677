#include "platform/cdio/akrip32.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <mutex>

#include "foundation/Logger.h"

namespace kelvar::platform {

namespace {

constexpr int FirstCDDriveNumber = 3;  // D

// The library's complaints go to the event log instead of the console.
void LogHandler(cdio_log_level_t level, const char* message) {
    if (level >= CDIO_LOG_ERROR && message != nullptr) LogMessage(message, "CD", LogKind::Warning);
}

void InstallLogHandler() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(LogHandler); });
}

int DigitSum(int value) {
    int sum = 0;
    for (; value > 0; value /= 10) sum += value % 10;
    return sum;
}

}  // namespace

std::vector<TCDDevice> GetCDList() {
    InstallLogHandler();
    std::vector<TCDDevice> devices;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    if (list == nullptr) return devices;
    for (char** p = list; *p != nullptr; ++p) {
        TCDDevice device;
        device.Path = *p;
        device.Identity = *p;
        device.DriveNumber = FirstCDDriveNumber + static_cast<int>(devices.size());
        if (device.DriveNumber > 25) break;
        devices.push_back(device);
    }
    cdio_free_device_list(list);
    return devices;
}

TCDHandle GetCDHandle(const TCDDevice& device) {
    if (device.Path.empty()) return nullptr;
    InstallLogHandler();
    return cdio_open(device.Path.c_str(), DRIVER_UNKNOWN);
}

bool CloseCDHandle(TCDHandle handle) {
    if (handle == nullptr) return false;
    cdio_destroy(handle);
    return true;
}

bool ReadTOC(TCDHandle handle, TTOC& toc) {
    toc = TTOC();
    if (handle == nullptr) return false;
    const track_t first = cdio_get_first_track_num(handle);
    const track_t count = cdio_get_num_tracks(handle);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return false;
    toc.FirstTrack = first;
    toc.LastTrack = static_cast<uint8_t>(first + count - 1);
    for (track_t t = first; t < first + count; ++t) {
        const lsn_t start = cdio_get_track_lsn(handle, t);
        if (start == CDIO_INVALID_LSN) return false;
        TTOCEntry entry;
        entry.TrackNumber = t;
        entry.Audio = cdio_get_track_format(handle, t) == TRACK_FORMAT_AUDIO;
        entry.StartFrame = start;
        toc.Entries.push_back(entry);
    }
    const lsn_t leadOut = cdio_get_track_lsn(handle, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN) return false;
    toc.Entries.push_back({CDLeadOutTrack, false, leadOut});
    return true;
}

bool ReadCDAudioLBA(TCDHandle handle, TTrackBuffer& buffer) {
    buffer.Len = 0;
    if (handle == nullptr || buffer.NumFrames <= 0) return false;
    const int64_t bytes = static_cast<int64_t>(buffer.NumFrames) * CDFrameBytes;
    if (bytes > buffer.MaxLen || buffer.StartOffset < 0 ||
        static_cast<int64_t>(buffer.Data.size()) < buffer.StartOffset + bytes)
        return false;
    const driver_return_code_t result = cdio_read_audio_sectors(
        handle, buffer.Data.data() + buffer.StartOffset, buffer.StartFrame, static_cast<uint32_t>(buffer.NumFrames));
    buffer.Status = result;
    if (result != DRIVER_OP_SUCCESS) return false;
    buffer.Len = static_cast<int32_t>(bytes);
    return true;
}

uint32_t DiscSerialNumber(const TTOC& toc) {
    if (toc.Entries.size() < 2) return 0;
    // Seconds from the start of the disc, lead-in included.
    auto seconds = [](int32_t frame) { return (frame + CDIO_PREGAP_SECTORS) / CDIO_CD_FRAMES_PER_SEC; };
    int sum = 0;
    for (size_t i = 0; i + 1 < toc.Entries.size(); ++i) sum += DigitSum(seconds(toc.Entries[i].StartFrame));
    const int length = seconds(toc.Entries.back().StartFrame) - seconds(toc.Entries.front().StartFrame);
    const uint32_t tracks = static_cast<uint32_t>(toc.Entries.size() - 1);
    return (static_cast<uint32_t>(sum % 255) << 24) | (static_cast<uint32_t>(length & 0xFFFF) << 8) | (tracks & 0xFF);
}

bool ProbeMedia(const std::string& path, uint32_t& serial) {
    serial = 0;
    TCDDevice device;
    device.Path = path;
    TCDHandle handle = GetCDHandle(device);
    if (handle == nullptr) return false;
    TTOC toc;
    const bool present = ReadTOC(handle, toc);
    if (present) serial = DiscSerialNumber(toc);
    CloseCDHandle(handle);
    return present;
}

}  // namespace kelvar::platform
