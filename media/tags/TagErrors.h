#pragma once
// Failures of the tag readers and writers: a damaged tag value, a frame that can't be set.
// File errors use EFileError of the foundation.
#include "foundation/Errors.h"

namespace kelvar {

class ETagError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
