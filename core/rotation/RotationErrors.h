#pragma once
// Failures of the rotation: the rules, the logics and the playlist control.
#include "foundation/Errors.h"

namespace kelvar {

class ERotationError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
