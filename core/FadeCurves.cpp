#include "core/FadeCurves.h"

#include "audio/nodes/Node_Volume.h"

namespace kelvar {

double FadeLevelAt(uint8_t Curve, int Elapsed, int Duration, int Depth, bool FadeIn) {
    return FadeCurveValue(Curve, Elapsed, Duration, Depth, FadeIn);
}

}  // namespace kelvar
