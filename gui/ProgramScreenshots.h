#pragma once
// The program's screenshot mode: after the player has played a while, the main window and every
// registered window are drawn offscreen and written as PNG files.
#include <functional>
#include <string>

namespace kelvar {

class TfoMDIGui;

// Registers the makers of every window folder's screenshots.
void RegisterProgramScreenshots();

// Waits WaitMs on the event loop, writes Folder/MainWindow.png and one PNG per registered
// screenshot, then calls Done with the number of pictures that could not be written.
void TakeScreenshotsLater(TfoMDIGui* Main, const std::string& Folder, int WaitMs, std::function<void(int)> Done);

// Writes the pictures now; answers how many failed.
int TakeScreenshots(TfoMDIGui* Main, const std::string& Folder);

}  // namespace kelvar
