#pragma once
// Exception class of the audio engine: buffers, graph, nodes, outputs and devices raise it
// with their message text.
#include "foundation/Errors.h"

namespace kelvar {

class EAudioError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
