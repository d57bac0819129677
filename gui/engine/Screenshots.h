#pragma once
// The windows and dialogs the screenshot command draws: each window folder registers makers for
// its own, the program's screenshot mode calls them all and writes one PNG per name.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kelvar {

// Builds the widget filled as an operator would see it; the caller shows, grabs and frees it.
using TScreenshotMaker = std::function<std::unique_ptr<QWidget>()>;

struct TScreenshotEntry {
    std::string Name;  // file name without ".png"
    TScreenshotMaker Make;
};

void RegisterScreenshot(const std::string& Name, TScreenshotMaker Make);
const std::vector<TScreenshotEntry>& RegisteredScreenshots();

}  // namespace kelvar
