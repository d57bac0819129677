#include "core/CoreCommon.h"

namespace kelvar {

IConfigDocPtr CoreConfig;
THeartBeat* CoreHeartbeat = nullptr;

}  // namespace kelvar
