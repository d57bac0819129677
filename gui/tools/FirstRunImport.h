#pragma once
// The first-run imports: the demo sound effects, songs, promos and the starting play list that
// ship in the program's "Sound" folder. The first-run wizard runs them with the operator's
// choices; a start without windows runs them with the wizard's defaults.
#include <memory>
#include <string>

namespace kelvar {

class TCategoryTree;
class TCustomCategory;
class TPlaylistManager;
class TSongList;

// The song database model the tools work on, through the program's door. Raises "The core is
// not running" without a core and "No playlist manager" while the core has none.
std::shared_ptr<TPlaylistManager> ToolsPlaylistManager();
// Its song library; raises as ToolsPlaylistManager.
TSongList& ToolsSongList();

// The program folder's "Sound" folder, with a trailing delimiter.
std::string DefaultSoundFolder();

// Found by name, else created under the parent of that name when the parent exists; null when
// neither exists.
TCustomCategory* FindOrCreateCategory(TCategoryTree& Tree, const std::string& Name, const std::string& ParentName);

// Imports the demo content of SoundFolder into the core's library, categories and queue.
// Raises on failure (a missing "soundFX" folder among them).
void ImportDemoContent(const std::string& SoundFolder);

// Writes "FirstRun" False into the core configuration first, so the imports run once whatever
// happens; then imports from SoundFolder (empty: the program folder's "Sound"). A missing
// folder imports nothing. Failures are logged ("Error during FirstRun."), never raised.
void RunFirstRunImports(const std::string& SoundFolder = "");

}  // namespace kelvar
