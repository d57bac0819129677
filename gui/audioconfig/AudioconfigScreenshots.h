#pragma once

namespace kelvar {

// The audio settings window on each of its pages.
void RegisterAudioconfigScreenshots();

}  // namespace kelvar
