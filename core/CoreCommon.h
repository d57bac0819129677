#pragma once
// The process-wide core objects: the core, its configuration document and its heartbeat. The
// logger is the foundation's process-wide one (GetCoreLogger).
#include "core/HeartBeat.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TKelvar;

// Set and cleared by the core data module, read on the main thread.
extern TKelvar* CoreKelvar;
extern IConfigDocPtr CoreConfig;
extern THeartBeat* CoreHeartbeat;

}  // namespace kelvar
