#include "gui/tools/unFirstRun.h"

#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <filesystem>
#include <stdexcept>

#include "controls/BrowseForFolder.h"
#include "controls/FxFancyButton.h"
#include "core/CoreCommon.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/Logger.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/tools/FirstRunImport.h"
#include "gui/tools/unFirstRunAddDir.h"

namespace kelvar {

namespace fs = std::filesystem;

TfoFirstRun::TfoFirstRun(const std::string& SoundFolder, QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::WindowStaysOnTopHint), FGivenSoundFolder(SoundFolder) {
    setObjectName("foFirstRun");
    setWindowTitle(QStringLiteral("Welcome!"));
    setFixedSize(376, 177);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(238, 234, 219));
    setPalette(colours);

    lbTitle = new QLabel(QStringLiteral("This is your first time running Kelvar"), this);
    QFont bold = lbTitle->font();
    bold.setBold(true);
    lbTitle->setFont(bold);
    lbTitle->setGeometry(12, 10, 352, 18);
    lbText =
        new QLabel(QStringLiteral("Kelvar requires at least a few audio files in the database to function properly. "
                                  "Kelvar will now install some default demo audio files and also allow you to add "
                                  "your own audio files."),
                   this);
    lbText->setWordWrap(true);
    lbText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbText->setGeometry(12, 32, 352, 58);
    eDemo = new QCheckBox(QStringLiteral("Add SoundFX and demo audio files"), this);
    eDemo->setObjectName("eDemo");
    eDemo->setChecked(true);
    eDemo->setGeometry(12, 92, 352, 20);
    eAddFiles = new QCheckBox(QStringLiteral("Add my audio files to media library (Recommended)"), this);
    eAddFiles->setObjectName("eAddFiles");
    eAddFiles->setChecked(true);
    eAddFiles->setGeometry(12, 114, 352, 20);
    btContinue = new TFxFancyButton(QStringLiteral("Continue"), this);
    btContinue->setObjectName("btContinue");
    btContinue->setGeometry(210, 142, 75, 25);
    btSkip = new TFxFancyButton(QStringLiteral("Skip"), this);
    btSkip->setObjectName("btSkip");
    btSkip->setGeometry(291, 142, 75, 25);
    btContinue->OnClick = [this](TFxFancyButton&) { Continue(); };
    btSkip->OnClick = [this](TFxFancyButton&) { close(); };
}

void TfoFirstRun::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FSoundFolder = FGivenSoundFolder.empty() ? DefaultSoundFolder() : FGivenSoundFolder;
    if (!FSoundFolder.empty() && FSoundFolder.back() != '/') FSoundFolder += '/';
    std::error_code ec;
    if (!fs::is_directory(FSoundFolder, ec)) {
        eDemo->setChecked(false);
        eDemo->setEnabled(false);
    }
}

void TfoFirstRun::keyPressEvent(QKeyEvent* Event) {
    switch (Event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: Continue(); return;
        case Qt::Key_Escape: close(); return;
        default: QDialog::keyPressEvent(Event);
    }
}

void TfoFirstRun::PostClose() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TfoFirstRun::ImportOwnMusic() {
    std::shared_ptr<TPlaylistManager> manager = ToolsPlaylistManager();
    QString folder = QDir::homePath();
    bool subFolders = true;
    if (!ChooseFolder(folder, subFolders, QStringLiteral("Choose the location of your music files"), false, this))
        return;
    TCustomCategory* tracks = FindOrCreateCategory(*manager->Categories, "Tracks", "Playlist");
    if (!tracks) {
        LogMessage("No category \"Tracks\" for the music of " + folder.toStdString(), "Kelvar", LogKind::Warning);
        return;
    }
    ImportFolderToCategory(tracks, folder.toStdString(), subFolders);
}

void TfoFirstRun::Continue() {
    try {
        if (eDemo->isChecked()) ImportDemoContent(FSoundFolder);
        if (eAddFiles->isChecked()) ImportOwnMusic();
    } catch (const std::exception& e) {
        LogMessage(std::string("Error during FirstRun. (") + e.what() + ")", "Kelvar", LogKind::Exception);
    } catch (...) {
        LogMessage("Error during FirstRun.", "Kelvar", LogKind::Exception);
    }
    PostClose();
}

void RunFirstRunWizard(const std::string& SoundFolder) {
    TfoFirstRun wizard(SoundFolder);
    if (CoreConfig) CoreConfig->Section("Kelvar")->WriteBool("FirstRun", false);
    ExecModal(wizard);
}

}  // namespace kelvar
