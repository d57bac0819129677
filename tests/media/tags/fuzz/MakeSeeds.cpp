// Writes starting inputs for the fuzz targets from the tests' fixtures.
#include <string>

#include "../TagFixtures.h"
#include "media/tags/VCEdit.h"

using namespace kelvar::test;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string out = argv[1];
    const Bytes T = {0, 'S', 'o', 'n', 'g'};
    const Bytes comm = Bytes{1, 'e', 'n', 'g', 0xFF, 0xFE, 'd', 0, 0, 0, 0xFF, 0xFE, 'H', 0, 'i', 0};
    const Bytes apic = Bytes{0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 3, 0, 0xFF, 0x00, 0xFF};
    const Bytes frames3 = Id3Frame("TIT2", T, 3) + Id3Frame("COMM", comm, 3) + Id3Frame("APIC", apic, 3) +
                          Id3Frame("TXXX", Bytes{3, 'R', 'a', 't', 'i', 'n', 'g', 0, '5'}, 3) +
                          Id3Frame("XYZW", {1, 2}, 3, 0x00C0);
    const Bytes frames4 = Id3Frame("TIT2", T, 4) +
                          Id3Frame("APIC", SyncSafeBytes(uint32_t(apic.size())) + apic, 4, 0x0003) +
                          Id3Frame("TRCK", Bytes{3, '3', '/', '9'}, 4);
    const Bytes audio = Mp3FramesWithXing(3, 100, 41700);
    WriteFile(out + "/id3v23", Id3Tag(3, 0x40, BigEndianBytes(6) + Bytes(6, 0) + frames3, 16) + audio);
    WriteFile(out + "/id3v24", Id3Tag(4, 0xC0, SyncSafeBytes(6) + Bytes{1, 0} + frames4, 16) + audio);
    WriteFile(out + "/id3v22", Id3Tag(2, 0, Id3Frame22("TT2", T) + Id3Frame22("TRK", {0, '1', '/', '2'})) + audio);
    WriteFile(out + "/mp3", Mp3Frames(12) + Id3v1Block("t", "a", "b", "1999", Bytes(30, 0), 17));
    WriteFile(out + "/ogg", OggVorbisFile(0.05, {"TITLE=x", "RAWPICTURE=MIMETYPE=png|DATASIZE=1|PICTURE=ff|"}));
    const auto packet = kelvar::BuildCommentPacket("vendor", {"TITLE=x", "ARTIST=y"});
    WriteFile(out + "/comment", Bytes(packet.begin(), packet.end()));
    return 0;
}
