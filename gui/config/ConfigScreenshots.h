#pragma once
// The screenshots of the configuration dialog on each page, the rotation logics' settings and
// the clockwheel wizards.

namespace kelvar {

void RegisterConfigScreenshots();

}  // namespace kelvar
