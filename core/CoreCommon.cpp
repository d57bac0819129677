#include "core/CoreCommon.h"

namespace kelvar {

TKelvar* CoreKelvar = nullptr;
IConfigDocPtr CoreConfig;
THeartBeat* CoreHeartbeat = nullptr;

}  // namespace kelvar
