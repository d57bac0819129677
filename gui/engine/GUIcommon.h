#pragma once
// The process-wide state of the user interface; used on the main thread only.
#include "core/HeartBeat.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"
#include "gui/engine/WindowList.h"

namespace kelvar {

// Windows reach the core through its door (ProgramKelvarApi, core/KelvarApi.h), never the core
// object itself.

// The window registry: created empty at start, filled by RegisterWindowItems.
extern IWindowListPtr GuiWindowList;
// The heartbeat that times every window's refresh (owned by the GUI engine).
extern THeartBeat* GuiHeartBeat;
// The GUI configuration document (program path without extension + ".gui.xml").
extern IConfigDocPtr GuiConfig;
// The same logger as the core's.
extern ILoggerPtr GuiLogger;

// True while a Shift key is held down: windows pick the fading variant of a command with it.
bool IsShiftDown();

}  // namespace kelvar
