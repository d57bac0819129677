#include "gui/engine/Screenshots.h"

namespace kelvar {

namespace {
std::vector<TScreenshotEntry>& Entries() {
    static std::vector<TScreenshotEntry> entries;
    return entries;
}
}  // namespace

void RegisterScreenshot(const std::string& Name, TScreenshotMaker Make) {
    for (auto& e : Entries())
        if (e.Name == Name) {
            e.Make = std::move(Make);
            return;
        }
    Entries().push_back({Name, std::move(Make)});
}

const std::vector<TScreenshotEntry>& RegisteredScreenshots() { return Entries(); }

}  // namespace kelvar
