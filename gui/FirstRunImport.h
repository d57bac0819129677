#pragma once
// The first-run imports without the wizard's window: the demo sound effects, songs, promos and
// the starting play list from the program's "Sound" folder, with the wizard's defaults.
#include <string>

namespace kelvar {

// Writes "FirstRun" False into the core configuration first, so the imports run once whatever
// happens; then imports from SoundFolder (empty: the program folder's "Sound"). A missing
// folder imports nothing. Failures are logged ("Error during FirstRun."), never raised.
void RunFirstRunImports(const std::string& soundFolder = "");

}  // namespace kelvar
