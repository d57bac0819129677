#pragma once
// The process-wide core objects: the core's configuration document and its heartbeat. The logger
// is the foundation's process-wide one (GetCoreLogger). The core object itself is no global: the
// core data module owns it, and the program reaches it through its door (ProgramKelvarApi).
#include "core/HeartBeat.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

// Set and cleared by the core data module, read on the main thread.
extern IConfigDocPtr CoreConfig;
extern THeartBeat* CoreHeartbeat;

}  // namespace kelvar
