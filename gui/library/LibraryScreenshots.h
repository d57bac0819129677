#pragma once
// The screenshot command's makers for the library window and the search window.
namespace kelvar {

void RegisterLibraryScreenshots();

}  // namespace kelvar
