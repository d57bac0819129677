#pragma once
// The screenshot makers of the queue, history and sound effect windows.
namespace kelvar {

void RegisterOnairScreenshots();

}  // namespace kelvar
