#pragma once
// The file dialogs of the list windows: media files, play lists and saving as M3U. They run
// through ExecModal, so tests answer them.
#include <QStringList>
#include <string>

class QFileDialog;

namespace kelvar {

// "Description|*.a;*.b|..." as the dialog's name filters ("Description (*.a *.b)").
QStringList NameFiltersOf(const std::string& Filter);

// Multiple existing media files.
bool ExecuteMediaOpenDialog(QFileDialog& Dialog);
// One existing play list.
bool ExecutePlaylistOpenDialog(QFileDialog& Dialog);
// Asks where to save an M3U file (starting at FileName) and puts the choice into FileName.
bool ExecuteM3USaveDialog(std::string& FileName, const std::string& Title);

}  // namespace kelvar
