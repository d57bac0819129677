#pragma once
// Turns a source name into a new, unopened decoder by asking each decoder class in a fixed order
// and in up to four passes whether it accepts the name.
#include <string>

#include "media/Decoder.h"

namespace kelvar {

// The decoder classes in the order the factory asks them.
enum class TDecoderClass { None, MP3, Ogg, WAV, LineIn, WMAAsync, WMASync, CDA };

// The acceptance test of one class; each decoder's CanDecode answers the same.
bool DecoderClassAccepts(TDecoderClass cls, const std::string& name, int pass);
// The first class that accepts the name in this pass; None when no class does.
TDecoderClass FindDecoderClass(const std::string& name, int pass);

// Null when no class accepts the name; a decoder constructor's exception goes to the caller.
IDecoderPtr CreateDecoderForPass(const std::string& name, int pass);
// Passes 0 to 3 until one yields a decoder; null when none does.
IDecoderPtr CreateDecoder(const std::string& name);

}  // namespace kelvar
