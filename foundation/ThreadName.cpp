#include "foundation/ThreadName.h"

#include <pthread.h>

namespace kelvar {

void SetCurrentThreadName(const std::string& name) {
    // The kernel keeps 15 characters and refuses longer names outright.
    ::pthread_setname_np(::pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace kelvar
