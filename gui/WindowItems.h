#pragma once
// The window registry's items, entered once at start in the order of the Window menu.

namespace kelvar {

// Fills GuiWindowList (created when missing) with the registry's items in their fixed order.
void RegisterWindowItems();

}  // namespace kelvar
