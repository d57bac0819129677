#pragma once
// The screenshot makers of the song settings editor and the fade editor.
namespace kelvar {

void RegisterEditorsScreenshots();

}  // namespace kelvar
