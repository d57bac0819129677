#include "gui/config/unWizDirectory.h"

#include <QDir>
#include <QHBoxLayout>

#include "gui/config/funWizOptions.h"

namespace kelvar {

QString& LastWizardFolder() {
    static QString folder = QDir::homePath();
    return folder;
}

TfoWizDirectory::TfoWizDirectory(QWidget* Parent) : TfoWizard("Select directory", "Add directory", Parent) {
    DirModel = new QFileSystemModel(this);
    DirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    DirModel->setRootPath("/");
    eDir = new QTreeView(this);
    eDir->setObjectName("eDir");
    eDir->setModel(DirModel);
    eDir->setRootIndex(DirModel->index("/"));
    eDir->setHeaderHidden(true);
    for (int column = 1; column < DirModel->columnCount(); ++column) eDir->hideColumn(column);
    Body->addWidget(eDir, 1);
    auto* row = new QHBoxLayout;
    eSubDir = new QCheckBox("Include subdirectories", this);
    eSubDir->setObjectName("eSubDir");
    eRescan = new QCheckBox("Rescan directory", this);
    eRescan->setObjectName("eRescan");
    row->addWidget(eSubDir);
    row->addWidget(eRescan);
    row->addStretch(1);
    Body->addLayout(row);
    frmWizOptions1 = new TfrmWizOptions(this);
    Body->addWidget(frmWizOptions1);
    resize(440, 480);
}

void TfoWizDirectory::SetFolder(const QString& Folder) {
    if (!QDir(Folder).exists()) return;
    const QModelIndex index = DirModel->index(QDir(Folder).absolutePath());
    if (!index.isValid()) return;
    eDir->setCurrentIndex(index);
    eDir->scrollTo(index);
    eDir->expand(index);
}

QString TfoWizDirectory::Folder() const { return DirModel->filePath(eDir->currentIndex()); }

std::string TfoWizDirectory::Statement() const {
    return DirectoryStatement(eSubDir->isChecked() ? "SubDir" : "Dir", Folder().toStdString(),
                              frmWizOptions1->SelectionWord(), frmWizOptions1->RulesWord(), eRescan->isChecked());
}

bool WizardDirectory(std::string& Text) {
    TfoWizDirectory wizard;
    wizard.SetFolder(LastWizardFolder());
    if (!wizard.Run()) return false;
    LastWizardFolder() = wizard.Folder();
    Text = wizard.Statement();
    return true;
}

}  // namespace kelvar
