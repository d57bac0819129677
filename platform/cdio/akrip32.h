#pragma once
// CD audio access over libcdio, with the operations the ripper and the drive manager call:
// the device list, opening and closing a device, the table of contents and raw audio reads.
// A device is a CD drive's node (/dev/sr0) or a disc image file (.cue, .toc, .nrg), which
// libcdio opens like a drive. Frames are addressed as libcdio reads them (the first frame of
// the disc's program area is 0).
#include <cstdint>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;

namespace kelvar::platform {

constexpr int CDFrameBytes = 2352;
constexpr uint8_t CDLeadOutTrack = 0xAA;

struct TCDDevice {
    uint8_t HostAdapter = 0;
    uint8_t Target = 0;
    uint8_t Lun = 0;
    int DriveNumber = -1;  // 0 = A
    std::string Identity;
    std::string Path;
};

using TCDHandle = CdIo_t*;

struct TTOCEntry {
    uint8_t TrackNumber = 0;  // CDLeadOutTrack for the entry after the last track
    bool Audio = false;
    int32_t StartFrame = 0;
};

struct TTOC {
    uint8_t FirstTrack = 0;
    uint8_t LastTrack = 0;
    std::vector<TTOCEntry> Entries;  // the tracks in order, then the lead-out
};

// One read request and its result.
struct TTrackBuffer {
    int32_t StartFrame = 0;
    int32_t NumFrames = 0;
    int32_t MaxLen = 0;  // capacity of Data in bytes
    int32_t Len = 0;     // bytes read
    int32_t Status = 0;  // the library's code of the last read
    int32_t StartOffset = 0;
    std::vector<uint8_t> Data;
};

// The CD drives of the system, drive numbers counted from D (3) in the library's order.
std::vector<TCDDevice> GetCDList();
// Nullptr when the device or image can't be opened.
TCDHandle GetCDHandle(const TCDDevice& device);
bool CloseCDHandle(TCDHandle handle);
// False without a readable table (no disc, no tracks).
bool ReadTOC(TCDHandle handle, TTOC& toc);
// Reads NumFrames audio frames from StartFrame into Data; true when all of them came.
bool ReadCDAudioLBA(TCDHandle handle, TTrackBuffer& buffer);

// The disc identity a drive reports while a disc is in it (the freedb disc id of the table).
uint32_t DiscSerialNumber(const TTOC& toc);
// True when the device holds a disc with a table of contents; Serial is then its identity.
bool ProbeMedia(const std::string& path, uint32_t& serial);

}  // namespace kelvar::platform
