#pragma once
// Windows of lower folders open windows of higher ones (the song information editor, the audio
// settings window, the live source dialog) through hooks that the program sets here.

namespace kelvar {

void InstallWindowHooks();
void RemoveWindowHooks();

}  // namespace kelvar
