#pragma once
// The screenshots of the first-run wizard, the folder import, the maintenance progress, the
// auto-recovery countdown and the about box.

namespace kelvar {

void RegisterToolsScreenshots();

}  // namespace kelvar
