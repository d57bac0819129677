#pragma once
// The fade envelope's level along a fade, for the windows that draw fades (the volume node
// applies the same curves when it plays one).
#include <cstdint>

namespace kelvar {

// The level in percent at Elapsed of a fade of Duration ms going Depth percent deep, along the
// curve with that number (the song settings' fade curve).
double FadeLevelAt(uint8_t Curve, int Elapsed, int Duration, int Depth, bool FadeIn);

}  // namespace kelvar
