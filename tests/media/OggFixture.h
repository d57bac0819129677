#pragma once
// Ogg Vorbis files encoded at test time with libvorbisenc.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvar::test {

// Frames sample frames of a 440 Hz tone over soft noise (stereo 44100 Hz, nominal 128 kbit/s) with the given
// "NAME=value" comments, as one logical stream of the given serial number.
std::vector<uint8_t> EncodeOggVorbis(long frames, const std::vector<std::string>& comments, int serial = 1,
                                     int channels = 2);

}  // namespace kelvar::test

namespace kelvar::test {

// The three Vorbis headers of such a stream, but with a setup header of junk: comment readers
// take it, the decoding library refuses it.
std::vector<uint8_t> OggWithBrokenSetup(const std::vector<std::string>& comments);

}  // namespace kelvar::test
