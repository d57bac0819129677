#include "controls/BrowseForFolder.h"

#include "controls/DialogOwner.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

namespace kelvar {

namespace {

TBrowseForFolderDialog::TRunner& Runner() {
    static TBrowseForFolderDialog::TRunner Instance;
    return Instance;
}

QString Location(QStandardPaths::StandardLocation L) { return QStandardPaths::writableLocation(L); }

QString Relative(const QString& Root, const QString& Path) {
    if (Root.isEmpty()) return QDir::toNativeSeparators(Path);
    return QDir(Root).relativeFilePath(Path);
}

}  // namespace

QString SpecialFolderPath(TbfSpecialFolder Folder) {
    switch (Folder) {
        case TbfSpecialFolder::bfDesktop: return QString();
        case TbfSpecialFolder::bfMyComputer: return QDir::rootPath();
        case TbfSpecialFolder::bfPersonal: return Location(QStandardPaths::DocumentsLocation);
        case TbfSpecialFolder::bfDesktopDirectory:
        case TbfSpecialFolder::bfCommonDesktopDirectory: return Location(QStandardPaths::DesktopLocation);
        case TbfSpecialFolder::bfAppData: return Location(QStandardPaths::GenericDataLocation);
        case TbfSpecialFolder::bfFonts: return Location(QStandardPaths::FontsLocation);
        case TbfSpecialFolder::bfPrograms:
        case TbfSpecialFolder::bfCommonPrograms:
        case TbfSpecialFolder::bfStartMenu:
        case TbfSpecialFolder::bfCommonStartmenu: return Location(QStandardPaths::ApplicationsLocation);
        default: return QString();
    }
}

void TBrowseForFolderDialog::SetRunner(TRunner R) { Runner() = std::move(R); }

TBrowseForFolderDialog::TBrowseForFolderDialog() = default;
TBrowseForFolderDialog::~TBrowseForFolderDialog() = default;

QString TBrowseForFolderDialog::RootPath() const {
    return FRootFolder == TbfSpecialFolder::bfCustomPath ? FRootPath : SpecialFolderPath(FRootFolder);
}

void TBrowseForFolderDialog::SetRootPath(const QString& Value) {
    FRootPath = Value;
    if (!FLoading) FRootFolder = TbfSpecialFolder::bfCustomPath;
}

QString TBrowseForFolderDialog::StartupPath() const {
    return FStartupFolder == TbfSpecialFolder::bfCustomPath ? FStartupPath : SpecialFolderPath(FStartupFolder);
}

void TBrowseForFolderDialog::SetStartupPath(const QString& Value) {
    FStartupPath = Value;
    if (!FLoading) FStartupFolder = TbfSpecialFolder::bfCustomPath;
}

void TBrowseForFolderDialog::SetSelectedPath(const QString& Value) {
    if (FWindow && FTree && FModel) {
        FTree->setCurrentIndex(FModel->index(Value));
        return;
    }
    FSelectedPath = Value;
    if (!FLoading) SetStartupPath(Value);
}

QString TBrowseForFolderDialog::EditText() const { return FEdit ? FEdit->text() : FEditText; }

void TBrowseForFolderDialog::SetEditText(const QString& Value) {
    FEditText = Value;
    FEditSetByCode = true;
    if (FEdit)
        FEdit->setText(Value);  // the edit box reports the change
    else
        EditChange();
}

void TBrowseForFolderDialog::SetStatusText(const QString& Value) {
    FStatusText = Value;
    if (FStatusLabel) FStatusLabel->setText(Value);
}

QAbstractButton* TBrowseForFolderDialog::LiveButton() const {
    if (FWindow && !FCustomButton) throw EBrowseForFolderDialog("Custom button does not exist.");
    return FCustomButton;
}

void TBrowseForFolderDialog::SetCustomButtonType(TbfCustomButton Value) {
    if (FWindow) {
        LiveButton();
        delete FCustomButton;
        FCustomButtonType = Value;
        if (Value != TbfCustomButton::bfbNone) CreateCustomButton();
        return;
    }
    FCustomButtonType = Value;
}

void TBrowseForFolderDialog::SetCustomButtonCaption(const QString& Value) {
    if (QAbstractButton* B = LiveButton()) B->setText(Value);
    FCustomButtonCaption = Value;
}

void TBrowseForFolderDialog::SetCustomButtonEnabled(bool Value) {
    if (QAbstractButton* B = LiveButton()) B->setEnabled(Value);
    FCustomButtonEnabled = Value;
}

void TBrowseForFolderDialog::SetCustomButtonVisible(bool Value) {
    if (QAbstractButton* B = LiveButton()) B->setVisible(Value);
    FCustomButtonVisible = Value;
}

bool TBrowseForFolderDialog::CustomButtonChecked() const {
    return FCustomButton ? FCustomButton->isChecked() : FCustomButtonChecked;
}

void TBrowseForFolderDialog::SetCustomButtonChecked(bool Value) {
    if (QAbstractButton* B = LiveButton()) B->setChecked(Value);
    FCustomButtonChecked = Value;
}

void TBrowseForFolderDialog::CreateCustomButton() {
    QAbstractButton* B = nullptr;
    if (FCustomButtonType == TbfCustomButton::bfbCheckBox) {
        auto* Box = new QCheckBox(FCustomButtonCaption, FWindow);
        Box->setChecked(FCustomButtonChecked);
        B = Box;
    } else {
        B = new QPushButton(FCustomButtonCaption, FWindow);
    }
    B->setObjectName("CustomButton");
    B->setEnabled(FCustomButtonEnabled);
    B->setVisible(FCustomButtonVisible);
    QObject::connect(B, &QAbstractButton::clicked, [this] { CustomButtonClick(); });
    if (auto* Row = FWindow->findChild<QHBoxLayout*>("ButtonRow")) Row->insertWidget(0, B);
    FCustomButton = B;
}

void TBrowseForFolderDialog::Initialized() {
    if (FOptions & bfoStatusText) SetStatusText(FStatusText);
    if (OnInitialized) OnInitialized(*this);
    const QString Start = StartupPath();
    if (!Start.isEmpty() && FModel) FTree->setCurrentIndex(FModel->index(Start));
}

void TBrowseForFolderDialog::SelChanged(const QString& Path) {
    FSelectedPath = Path;
    FSelDisplayName = QFileInfo(Path).fileName().isEmpty() ? Path : QFileInfo(Path).fileName();
    const QString Root = RootPath();
    if ((FOptions & bfoStatusText) && (FOptions & bfoStatusTextDefault)) SetStatusText(Relative(Root, Path));
    if ((FOptions & bfoEdit) && (FOptions & bfoEditDefault) && FEdit && !FEdit->hasFocus()) {
        const QString Text =
            QDir::cleanPath(Path) == QDir::cleanPath(Root) ? FEditAttachment : Relative(Root, Path) + FEditAttachment;
        FEditSetByCode = true;
        FEdit->setText(Text);
    }
    if (OnSelChanged) OnSelChanged(*this);
}

void TBrowseForFolderDialog::EditChange() {
    if (FEdit) FEditText = FEdit->text();
    if (!FEditSetByCode && (FOptions & bfoEditDefault)) {
        // The nearest existing folder of what was typed becomes the selection.
        const QString Root = RootPath();
        QString Candidate = (Root.isEmpty() ? QString() : QDir(Root).absolutePath() + "/") + FEditText;
        while (!Candidate.isEmpty() && !QFileInfo::exists(Candidate)) {
            const qsizetype Cut =
                std::max({Candidate.lastIndexOf('/'), Candidate.lastIndexOf('\\'), Candidate.lastIndexOf(':')});
            Candidate = Cut < 0 ? QString() : Candidate.left(Cut);
        }
        FSelectedPath = Candidate;
    }
    if (OnEditChange) OnEditChange(*this);
    FEditSetByCode = false;
}

void TBrowseForFolderDialog::CustomButtonClick() {
    if (FCustomButton) FCustomButtonChecked = FCustomButton->isChecked();
    if (OnCustomButtonClick) OnCustomButtonClick(*this);
}

bool TBrowseForFolderDialog::Execute() {
    if (OnExecuting) OnExecuting(*this);
    QDialog Dialog;
    OwnDialog(Dialog, FOwner);
    Dialog.setWindowTitle(QObject::tr("Browse for Folder"));
    auto* Layout = new QVBoxLayout(&Dialog);
    FWindow = &Dialog;
    FTitleLabel = new QLabel(FTitle, &Dialog);
    FTitleLabel->setWordWrap(true);
    Layout->addWidget(FTitleLabel);
    if (FOptions & bfoEdit) {
        FEdit = new QLineEdit(FEditText, &Dialog);
        QObject::connect(FEdit, &QLineEdit::textChanged, [this] { EditChange(); });
        Layout->addWidget(FEdit);
    } else if (FOptions & bfoStatusText) {
        FStatusLabel = new QLabel(&Dialog);
        FStatusLabel->setTextFormat(Qt::PlainText);
        Layout->addWidget(FStatusLabel);
    }
    FModel = new QFileSystemModel(&Dialog);
    FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot |
                      ((FOptions & bfoBrowseIncludeFiles) ? QDir::Files : QDir::Filters()));
    const QString Root = RootPath();
    FModel->setRootPath(Root.isEmpty() ? QDir::rootPath() : Root);
    FTree = new QTreeView(&Dialog);
    FTree->setModel(FModel);
    for (int C = 1; C < FModel->columnCount(); ++C) FTree->hideColumn(C);
    FTree->header()->hide();
    if (!Root.isEmpty()) FTree->setRootIndex(FModel->index(Root));
    if (!FTreeViewHideSelection) FTree->setStyleSheet("QTreeView { selection-background-color: palette(highlight); }");
    QObject::connect(FTree->selectionModel(), &QItemSelectionModel::currentChanged,
                     [this](const QModelIndex& Current) { SelChanged(FModel->filePath(Current)); });
    Layout->addWidget(FTree, 1);
    auto* Row = new QHBoxLayout;
    Row->setObjectName("ButtonRow");
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &Dialog);
    QObject::connect(Buttons, &QDialogButtonBox::accepted, &Dialog, &QDialog::accept);
    QObject::connect(Buttons, &QDialogButtonBox::rejected, &Dialog, &QDialog::reject);
    Row->addWidget(Buttons);
    Layout->addLayout(Row);
    if (FCustomButtonType != TbfCustomButton::bfbNone) CreateCustomButton();
    Dialog.resize(360, 420);
    Initialized();
    (FEdit ? static_cast<QWidget*>(FEdit) : FTree)->setFocus();

    const QString Before = FSelectedPath;
    int Result = QDialog::Rejected;
    try {
        Result = Runner() ? Runner()(Dialog) : Dialog.exec();
    } catch (...) {
        FWindow = nullptr;
        throw;
    }
    if (FCustomButton) FCustomButtonChecked = FCustomButton->isChecked();
    const bool Chosen = Result == QDialog::Accepted && !FSelectedPath.isEmpty();
    if (!Chosen) FSelectedPath = Before;
    FWindow = nullptr;
    FModel = nullptr;
    if (OnExecuted) OnExecuted(*this);
    return Chosen;
}

QString& LastChosenFolder() {
    static QString Folder;
    return Folder;
}

bool ChooseFolder(QString& Folder, bool& IncludeSubfolders, const QString& Title, bool HideCheckBox, QWidget* Owner) {
    TBrowseForFolderDialog Dialog;
    Dialog.SetOwner(Owner);
    Dialog.SetTitle(Title);
    Dialog.SetTreeViewHideSelection(false);
    Dialog.SetOptions(bfoReturnOnlyFSDirs);
    Dialog.SetRootFolder(TbfSpecialFolder::bfDesktop);
    Dialog.SetCustomButtonCaption(QObject::tr("Include subdirectories"));
    Dialog.SetCustomButtonType(TbfCustomButton::bfbCheckBox);
    Dialog.SetCustomButtonEnabled(!HideCheckBox);
    Dialog.SetCustomButtonVisible(!HideCheckBox);
    Dialog.SetCustomButtonChecked(IncludeSubfolders);
    Dialog.SetStartupPath(Folder.isEmpty() ? LastChosenFolder() : Folder);
    if (!Dialog.Execute()) return false;
    IncludeSubfolders = Dialog.CustomButtonChecked();
    Folder = Dialog.SelectedPath();
    LastChosenFolder() = Folder;
    return true;
}

}  // namespace kelvar
