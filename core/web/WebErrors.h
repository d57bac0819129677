#pragma once
// Failures of the web helpers: network errors, time-outs, refused or oversized replies.
#include "foundation/Errors.h"

namespace kelvar {

class EWebError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
