#pragma once
// The screenshots of the deck, fade control, event log and clock windows.

namespace kelvar {

void RegisterDecksScreenshots();

}  // namespace kelvar
