#include "gui/lists/PlaylistDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

#include "gui/engine/GuiDialogs.h"

namespace kelvar {

QStringList NameFiltersOf(const std::string& Filter) {
    const QStringList parts = QString::fromStdString(Filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // The dialog takes the patterns from the text's last brackets, so ours replace any there.
        QString description = parts[i];
        description.remove(QRegularExpression(R"(\s*\([^()]*\)\s*$)"));
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << description + " (" + patterns + ")";
    }
    return filters;
}

bool ExecuteMediaOpenDialog(QFileDialog& Dialog) {
    Dialog.setNameFilters(NameFiltersOf(
        "All media files|*.mp3;*.wav;*.ogg;*.wma;*.cda|MP3 (*.mp3)|*.mp3|WAVE (*.wav)|*.wav|OGG Vorbis "
        "(*.ogg)|*.ogg|Windows Media (*.wma,*.wmv,*.asf)|*.wma;*.wmv;*.asf|CD Audio (*.cda)|*.cda|All files "
        "(*.*)|*"));
    Dialog.setDefaultSuffix("mp3");
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFiles);
    return ExecModal(Dialog) == QDialog::Accepted;
}

bool ExecutePlaylistOpenDialog(QFileDialog& Dialog) {
    Dialog.setNameFilters(NameFiltersOf(
        "All playlists (*.m3u;*.pls;*.asx;*.txt)|*.m3u;*.pls;*.asx;*.txt|M3U playlists (*.m3u)|*.m3u|PLS playlists "
        "(*.pls)|*.pls|ASX playlists (*.asx)|*.asx|Text files (*.txt)|*.txt"));
    Dialog.setDefaultSuffix("m3u");
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFile);
    return ExecModal(Dialog) == QDialog::Accepted;
}

bool ExecuteM3USaveDialog(std::string& FileName, const std::string& Title) {
    QFileDialog dialog(nullptr, QString::fromStdString(Title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("M3U");
    dialog.setNameFilters(NameFiltersOf("M3U Playlist (*.m3u)|*.m3u"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!FileName.empty()) dialog.selectFile(QString::fromStdString(FileName));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = dialog.selectedFiles().first().toStdString();
    return true;
}

}  // namespace kelvar
