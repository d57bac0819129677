#pragma once
// The directory wizard: a clockwheel statement that queues a song of a folder on disk, with an
// optional rescan line before it.
#include <QCheckBox>
#include <QFileSystemModel>
#include <QTreeView>
#include <string>

#include "gui/config/WizDialog.h"

namespace kelvar {

class TfrmWizOptions;

class TfoWizDirectory : public TfoWizard {
public:
    explicit TfoWizDirectory(QWidget* Parent = nullptr);

    // Shows and opens Folder; a folder that can't be shown is ignored.
    void SetFolder(const QString& Folder);
    QString Folder() const;
    std::string Statement() const;

    QTreeView* eDir = nullptr;
    QFileSystemModel* DirModel = nullptr;
    QCheckBox* eSubDir = nullptr;
    QCheckBox* eRescan = nullptr;
    TfrmWizOptions* frmWizOptions1 = nullptr;

protected:
    bool CanConfirm() override { return eDir->currentIndex().isValid(); }
};

// The folder the wizard starts in: the last one chosen in this run (the home folder at first).
QString& LastWizardFolder();

// Shows the wizard; true with the statement (and the rescan line) on OK.
bool WizardDirectory(std::string& Text);

}  // namespace kelvar
