#pragma once
// The screenshots of the voice window, the master volume window and the two voice dialogs.

namespace kelvar {

void RegisterVoiceScreenshots();

}  // namespace kelvar
