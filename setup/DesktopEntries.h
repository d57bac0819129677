#pragma once
// The desktop's application menu entries for the player and the setup, and the program's icons
// where the icon theme looks for them, in the user's data folder (XDG_DATA_HOME, else
// ~/.local/share): applications/ and icons/hicolor/.
#include <string>

namespace kelvar {

// A program path as the Exec key of a desktop entry wants it: quoted when it holds a blank or
// another character the key reserves, with the key's own escapes.
std::string DesktopExecQuote(const std::string& Program);

// The text of a desktop entry that starts Program in WorkFolder, with the icon "kelvar-zorvik".
std::string DesktopEntryText(const std::string& Name, const std::string& Comment, const std::string& Program,
                             const std::string& WorkFolder);

// Writes "kelvar-zorvik.desktop" (the player in InstallFolder) and "kelvar-setup.desktop" (the
// setup program in SetupFolder) and copies InstallFolder's icons/hicolor/ into the icon theme.
// Both folders end with a delimiter. False with Error set when a file could not be written.
bool InstallDesktopEntries(const std::string& InstallFolder, const std::string& SetupFolder, std::string& Error);

}  // namespace kelvar
