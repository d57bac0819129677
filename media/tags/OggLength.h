#pragma once
// The length of an Ogg Vorbis stream from its pages alone, counted as the Vorbis decoder library
// counts it (the last page's granule position less the offset of the first audio page), without
// unpacking the codebooks, which costs more than everything else a tag scan does with the file.
#include <cstdint>
#include <cstdio>

namespace kelvar {

// Sample frames and sample rate of the stream in File (read from its start; the position is left
// anywhere). False when the pages alone can't tell it the way the decoder library would: more
// than one logical stream, headers it can't read, a stream that starts later than its first
// audio page's samples (cut from a longer one), a last page of another stream or without a
// position; the caller then asks the library.
bool OggVorbisLength(std::FILE* file, int64_t& frames, int32_t& rate);

}  // namespace kelvar
