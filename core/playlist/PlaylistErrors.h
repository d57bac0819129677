#pragma once
// Failures raised by the playlist model's own checks (database errors come from the pool).
#include "foundation/Errors.h"

namespace kelvar {

class EPlaylistError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
