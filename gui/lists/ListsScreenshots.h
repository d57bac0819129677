#pragma once
// The screenshot command's makers for the add-URL dialog and the drop target window.
namespace kelvar {

void RegisterListsScreenshots();

}  // namespace kelvar
