#pragma once
// Exception classes of the foundation. Every failure the system raises is an exception that
// carries a message text; callers catch them per step and log the text.
#include <stdexcept>
#include <string>

namespace kelvar {

// Base of the foundation's own failures.
class EKelvarError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by the configuration document (its four fixed messages and parser failures).
class EConfigError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// A text that can't be converted to the number or boolean asked for.
class EConvertError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// A list index outside the list (the logger's GetItem, say).
class EListError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// A file or folder operation that failed (ListSubFolders on a missing folder, say).
class EFileError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// Failures of the media sources (readers, decoders); the message is the text the deck logs.
class EMediaError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

}  // namespace kelvar
