#include "setup/wizard/unMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/BoxButton.h"
#include "controls/KcFonts.h"
#include "controls/KcResources.h"
#include "foundation/MiscFunc.h"
#include "setup/InstallSequence.h"
#include "setup/funDB_FireBird.h"
#include "setup/unTools.h"
#include "setup/wizard/FireBirdSettingsPanel.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

constexpr const char* Version = "2.4.0";
constexpr const char* ProductTag = "$Kelvar$";
constexpr const char* ProductName = "Kelvar Zorvik";
constexpr TColor HeaderColour = 12150816;
constexpr TColor PageColour = 15658734;

QColor Bgr(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Every "$Kelvar$", in any case, becomes the product's name.
QString ReplaceProductTag(QString Text) { return Text.replace(ProductTag, ProductName, Qt::CaseInsensitive); }

QLabel* Text(QWidget* Parent, const QString& Text, bool Wrap = true) {
    auto* l = new QLabel(Text, Parent);
    l->setWordWrap(Wrap);
    return l;
}

const char* KindColour(int Kind) {
    switch (Kind) {
        case lkWarning: return "#0000ff";
        case lkError: return "#800000";
        case lkFatalError: return "#ff0000";
        default: return "#000000";
    }
}

}  // namespace

TfoMain::TfoMain(const std::string& SetupFolder, QWidget* Parent)
    : QWidget(Parent), FSequence(std::make_unique<TInstallSequence>(SetupFolder)) {
    setObjectName("foMain");
    setWindowTitle(QString("%1 installation wizard").arg(ProductTag));
    // The installer's windows and message boxes carry the program's picture.
    QApplication::setWindowIcon(KcProgramIcon());
    setWindowIcon(KcProgramIcon());
    setFixedSize(480, 337);
    // The setup program's one window: its face is the program's.
    UseDialogFont();
    BuildPages();
    FSequence->OnLogLine = [this](const std::string& Line, int Kind) {
        eLog->append(QString("<span style=\"color:%1\">%2</span>")
                         .arg(KindColour(Kind), QString::fromStdString(Line).toHtmlEscaped()));
    };
    FSequence->OnMessageBox = [this](const std::string& Text, int Kind) { Message(Text, Kind, WizardButton::OK); };
    FSequence->ScreenSize = [this](int& Width, int& Height) {
        if (OnScreenSize) return OnScreenSize(Width, Height);
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return false;
        Width = screen->geometry().width();
        Height = screen->geometry().height();
        return true;
    };
}

TfoMain::~TfoMain() = default;

QWidget* TfoMain::AddPage(const char* Name, const QString& Header, QLabel** HeaderLabel) {
    auto* page = new QWidget;
    page->setObjectName(Name);
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Bgr(PageColour));
    page->setPalette(pal);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 8);
    auto* header = new QLabel(Header, page);
    header->setObjectName(QString(Name) + "Header");
    header->setFixedHeight(25);
    header->setAutoFillBackground(true);
    QPalette hp = header->palette();
    hp.setColor(QPalette::Window, Bgr(HeaderColour));
    hp.setColor(QPalette::WindowText, Qt::white);
    header->setPalette(hp);
    QFont f = header->font();
    f.setPixelSize(16);
    f.setBold(true);
    header->setFont(f);
    layout->addWidget(header);
    if (HeaderLabel) *HeaderLabel = header;
    pcPages->addWidget(page);
    return page;
}

void TfoMain::BuildPages() {
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    pcPages = new QStackedWidget(this);
    main->addWidget(pcPages, 1);

    auto body = [](QWidget* page) {
        auto* layout = static_cast<QVBoxLayout*>(page->layout());
        auto* box = new QVBoxLayout;
        box->setContentsMargins(12, 8, 12, 0);
        layout->addLayout(box, 1);
        return box;
    };

    tsWelcome = AddPage("tsWelcome", "  Welcome");
    {
        auto* box = body(tsWelcome);
        lbWelcome1 = Text(tsWelcome, ProductTag);
        lbWelcome1->setFont(CaptionFont(24, true));
        lbWelcome1->setStyleSheet("color: grey");
        lbWelcome2 =
            Text(tsWelcome, QString("Welcome to the %1 installation wizard. The wizard will guide you through the "
                                    "process of installing %1 and all its required components.")
                                .arg(ProductTag));
        box->addWidget(lbWelcome1);
        box->addWidget(lbWelcome2);
        box->addWidget(Text(tsWelcome,
                            "Please read the options carefully and click the 'Next >>' button once you "
                            "supplied all the needed information."));
        box->addStretch(1);
    }

    tsLicense = AddPage("tsLicense", "  License agreement");
    {
        auto* box = body(tsLicense);
        mLicense = new QPlainTextEdit(tsLicense);
        mLicense->setObjectName("mLicense");
        mLicense->setReadOnly(true);
        box->addWidget(mLicense);
    }

    tsPath = AddPage("tsPath", "  Install path");
    {
        auto* box = body(tsPath);
        lbPath1 =
            Text(tsPath,
                 QString("Please select the location where you wish to install the %1 program files.").arg(ProductTag));
        lbPath2 = Text(tsPath, QString("%1 install path").arg(ProductTag));
        lbPath2->setStyleSheet("color: navy; font-weight: bold");
        auto* row = new QHBoxLayout;
        ePath = new QLineEdit(tsPath);
        ePath->setObjectName("ePath");
        btBrowse = new TBoxButton("Browse...", tsPath);
        btBrowse->setObjectName("btBrowse");
        btBrowse->SetColor(13948116);
        row->addWidget(ePath, 1);
        row->addWidget(btBrowse);
        eInstallWMA = new QCheckBox("Install Windows Media support", tsPath);
        eInstallWMA->setObjectName("eInstallWMA");
        eInstallWMA->setChecked(true);
        box->addWidget(lbPath1);
        box->addSpacing(8);
        box->addWidget(lbPath2);
        box->addLayout(row);
        box->addSpacing(12);
        box->addWidget(Text(tsPath, "Installation options"));
        box->addWidget(eInstallWMA);
        box->addStretch(1);
        connect(btBrowse, &QToolButton::clicked, this, [this] { btBrowseClick(); });
    }

    tsDatabases = AddPage("tsDatabases", "  Select database");
    {
        auto* box = body(tsDatabases);
        auto* row = new QHBoxLayout;
        auto* left = new QVBoxLayout;
        left->addWidget(Text(tsDatabases, "Database system"));
        eFireBird = new QRadioButton("FireBird", tsDatabases);
        eFireBird->setObjectName("eFireBird");
        eFireBird->hide();
        left->addWidget(eFireBird);
        lbNeedHelp = new QLabel("<a href=\"help\">Need help?</a>", tsDatabases);
        lbNeedHelp->setObjectName("lbNeedHelp");
        left->addStretch(1);
        left->addWidget(lbNeedHelp);
        webDBInfo = new QTextBrowser(tsDatabases);
        webDBInfo->setObjectName("webDBInfo");
        webDBInfo->setFixedSize(329, 241);
        row->addLayout(left, 1);
        row->addWidget(webDBInfo);
        box->addLayout(row);
        connect(eFireBird, &QRadioButton::clicked, this,
                [this] { ShowDatabaseHelp(eFireBird->isChecked() ? "firebird.html" : "choosedb.html", true); });
        connect(lbNeedHelp, &QLabel::linkActivated, this, [this] { ShowDatabaseHelp("choosedb.html", true); });
    }

    tsDatabaseInfo = AddPage("tsDatabaseInfo", "  Database login details", &lbDatabaseInfoHeader);
    {
        auto* box = body(tsDatabaseInfo);
        box->addWidget(Text(tsDatabaseInfo,
                            "Please provide the necessary information to establish a connection to the "
                            "database"));
        eDB_Default = new QRadioButton("Use default settings", tsDatabaseInfo);
        eDB_Default->setObjectName("eDB_Default");
        eDB_Custom = new QRadioButton("Specify custom settings", tsDatabaseInfo);
        eDB_Custom->setObjectName("eDB_Custom");
        eDB_Default->setChecked(true);
        pDBInfo = new QWidget(tsDatabaseInfo);
        pDBInfo->setObjectName("pDBInfo");
        new QVBoxLayout(pDBInfo);
        pDBInfo->layout()->setContentsMargins(0, 0, 0, 0);
        pDBInfo->hide();
        box->addWidget(eDB_Default);
        box->addWidget(eDB_Custom);
        box->addWidget(pDBInfo, 1);
        box->addStretch(0);
        connect(eDB_Default, &QRadioButton::toggled, this, [this] { LoginChoiceChanged(); });
    }

    tsLog = AddPage("tsLog", "  Installation log");
    {
        auto* box = body(tsLog);
        eLog = new QTextEdit(tsLog);
        eLog->setObjectName("eLog");
        eLog->setReadOnly(true);
        eLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->addWidget(eLog);
    }

    tsFinished = AddPage("tsFinished", "  Installation completed!");
    {
        auto* box = body(tsFinished);
        box->addWidget(Text(tsFinished, "Installation complete. Click on 'Finish' to close the installer."));
        eViewReadme = new QCheckBox("View Kelvar readme file", tsFinished);
        eViewReadme->setObjectName("eViewReadme");
        eViewReadme->setChecked(true);
        eStartKelvar = new QCheckBox("Run Kelvar program", tsFinished);
        eStartKelvar->setObjectName("eStartKelvar");
        eStartKelvar->setChecked(true);
        box->addWidget(eViewReadme);
        box->addWidget(eStartKelvar);
        box->addStretch(1);
    }

    auto* bottom = new QWidget(this);
    bottom->setObjectName("pBottom");
    bottom->setFixedHeight(39);
    auto* row = new QHBoxLayout(bottom);
    row->setContentsMargins(8, 4, 8, 4);
    lbVersion = new QLabel(bottom);
    lbVersion->setObjectName("lbVersion");
    lbVersion->setFont(CaptionFont(9));
    lbVersion->setStyleSheet("color: grey");
    btCancel = new QPushButton("Cancel", bottom);
    btBack = new QPushButton("<< Back", bottom);
    btNext = new QPushButton("Next >>", bottom);
    btCancel->setObjectName("btCancel");
    btBack->setObjectName("btBack");
    btNext->setObjectName("btNext");
    btBack->setEnabled(false);
    btNext->setDefault(true);
    row->addWidget(lbVersion, 1);
    row->addWidget(btCancel);
    row->addWidget(btBack);
    row->addWidget(btNext);
    main->addWidget(bottom);
    connect(btNext, &QPushButton::clicked, this, [this] { btNextClick(); });
    connect(btBack, &QPushButton::clicked, this, [this] { btBackClick(); });
    connect(btCancel, &QPushButton::clicked, this, [this] { btCancelClick(); });
}

void TfoMain::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (FFirstShow) Init();
}

void TfoMain::Init() {
    if (!FFirstShow) return;
    FFirstShow = false;
    FSequence->Init();
    eFireBird->show();
    QString version = QString("Installer v%1").arg(Version);
    if (!IsWinNT()) version += " (NO-NT)";
    lbVersion->setText(version);
    setWindowTitle(ReplaceProductTag(windowTitle()));
    QApplication::setApplicationDisplayName(windowTitle());
    for (QLabel* l : {lbWelcome1, lbWelcome2, lbPath1, lbPath2}) l->setText(ReplaceProductTag(l->text()));
    pcPages->setCurrentIndex(0);
}

int TfoMain::Message(const std::string& Text, int BoxKind, int Buttons) {
    if (OnMessage) return OnMessage(Text, BoxKind, Buttons);
    QMessageBox box(BoxKind == bkError     ? QMessageBox::Critical
                    : BoxKind == bkWarning ? QMessageBox::Warning
                                           : QMessageBox::Information,
                    windowTitle(), QString::fromStdString(Text), QMessageBox::NoButton, this);
    if (Buttons & WizardButton::OK) box.addButton(QMessageBox::Ok);
    if (Buttons & WizardButton::Yes) box.addButton(QMessageBox::Yes);
    if (Buttons & WizardButton::Cancel) box.addButton(QMessageBox::Cancel);
    const int answer = box.exec();
    return answer == QMessageBox::Yes      ? WizardButton::Yes
           : answer == QMessageBox::Cancel ? WizardButton::Cancel
                                           : WizardButton::OK;
}

void TfoMain::Log(const std::string& Message, int Kind) { FSequence->Log(Message, Kind); }

int TfoMain::ErrorCount() const { return FSequence->ErrorCount; }
int TfoMain::FatalCount() const { return FSequence->FatalCount; }

QWidget* TfoMain::ActivePage() const { return pcPages->currentWidget(); }

void TfoMain::UpdateNextCaption() {
    QWidget* page = ActivePage();
    if (page == tsFinished) {
        btNext->setText("Finish");
        btBack->setEnabled(false);
        btCancel->setEnabled(false);
    } else if (page == tsLicense) {
        btNext->setText("Accept");
        btBack->setEnabled(false);
    } else {
        btNext->setText("Next >>");
    }
}

void TfoMain::NextPage() {
    pcPages->setCurrentIndex(std::min(pcPages->currentIndex() + 1, pcPages->count() - 1));
    btBack->setEnabled(true);
    UpdateNextCaption();
}

void TfoMain::PreviousPage() {
    pcPages->setCurrentIndex(std::max(pcPages->currentIndex() - 1, 0));
    btBack->setEnabled(pcPages->currentIndex() > 0);
    btNext->setEnabled(true);
    UpdateNextCaption();
}

void TfoMain::btNextClick() {
    // What a page action raises is reported like the application's own error box would.
    try {
        QWidget* page = ActivePage();
        if (page == tsWelcome)
            DoWelcome();
        else if (page == tsLicense)
            DoLicense();
        else if (page == tsPath)
            DoPath();
        else if (page == tsDatabases)
            DoDatabases();
        else if (page == tsDatabaseInfo)
            DoDatabaseInfo();
        else if (page == tsLog)
            DoLog();
        else if (page == tsFinished)
            DoFinished();
    } catch (const std::exception& e) {
        Message(e.what(), bkError, WizardButton::OK);
    }
}

void TfoMain::btBackClick() { PreviousPage(); }

void TfoMain::btCancelClick() {
    if (Message("This will abort the current install process. Are you sure you want to exit?", bkWarning,
                WizardButton::Yes | WizardButton::Cancel) == WizardButton::Yes) {
        FClosing = true;
        close();
    }
}

void TfoMain::closeEvent(QCloseEvent* Event) {
    // The setups and their connections go with the window.
    if (TDatabaseSetup* setup = FSequence->Setup()) setup->ReleaseConnection();
    QWidget::closeEvent(Event);
}

void TfoMain::DoWelcome() {
    const std::string file = FSequence->SetupFolder + "license.txt";
    try {
        std::error_code ec;
        if (fs::is_regular_file(file, ec)) {
            std::ifstream in(file, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            mLicense->setPlainText(QString::fromStdString(text.str()));
        }
    } catch (...) {}
    NextPage();
}

void TfoMain::DoLicense() {
    Log("License accepted.", lkNotice);
    // Every Accept starts the path page afresh.
    FSequence->InstallWMA = true;
    FSequence->InitPathPage();
    ePath->setText(QString::fromStdString(FSequence->InstallPath));
    if (!FSequence->InstallWMA) {
        eInstallWMA->setChecked(false);
        eInstallWMA->setEnabled(false);
        eInstallWMA->setText("Install Windows Media support (Already installed)");
    }
    NextPage();
}

void TfoMain::btBrowseClick() {
    const QString folder = QFileDialog::getExistingDirectory(this, "Select install path", ePath->text());
    if (!folder.isEmpty()) ePath->setText(folder);
}

void TfoMain::DoPath() {
    std::string path = IncludeTrailingDelimiter(ePath->text().trimmed().toStdString());
    ePath->setText(QString::fromStdString(path));
    FSequence->InstallPath = path;
    FSequence->InstallWMA = eInstallWMA->isChecked();
    Log("Install path: " + path, lkNotice);
    SelectDefaultDatabase();
    DoDatabases();
    DoDatabaseInfo();
}

void TfoMain::SelectDefaultDatabase() {
    eFireBird->setChecked(true);
    ShowDatabaseHelp("firebird.html");
}

void TfoMain::ShowDatabaseHelp(const std::string& Page, bool Asked) {
    const std::string file = FSequence->SetupFolder + "docs/" + Page;
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) {
        webDBInfo->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
        return;
    }
    // Never a blank panel: it says what is missing, and a person who asked is told at once.
    const std::string text = "The help page " + file + " is not installed.";
    webDBInfo->setPlainText(QString::fromStdString(text));
    Log(text, lkWarning);
    if (Asked) Message(text, bkWarning, WizardButton::OK);
}

void TfoMain::DoDatabases() {
    if (!eFireBird->isChecked()) throw std::runtime_error("DoDatabases: Unknown database driver");
    const std::string name = eFireBird->text().toStdString();
    lbDatabaseInfoHeader->setText(QString::fromStdString("  Database login details for " + name));
    FSequence->SelectDriver(name);
    AttachSettingsFrame();
    NextPage();
}

void TfoMain::AttachSettingsFrame() {
    auto* settings = dynamic_cast<TfrmDB_FireBird*>(FSequence->SettingsFrame());
    if (!settings) throw std::runtime_error(FSequence->DriverName + " not found");
    if (!SettingsPanel) {
        SettingsPanel = new TFireBirdSettingsPanel(*settings, pDBInfo);
        pDBInfo->layout()->addWidget(SettingsPanel);
    }
    settings->SetDefaults();
    SettingsPanel->Load();
}

void TfoMain::LoginChoiceChanged() { pDBInfo->setVisible(eDB_Custom->isChecked()); }

void TfoMain::DoDatabaseInfo() {
    TfrmDB_Base* settings = FSequence->SettingsFrame();
    if (eDB_Default->isChecked()) {
        settings->SetDefaults();
        if (SettingsPanel) SettingsPanel->Load();
    } else if (SettingsPanel) {
        SettingsPanel->Store();
    }
    if (!settings->ValidateSettings()) return;
    NextPage();
    RunInstall();
}

void TfoMain::RunInstall() {
    btNext->setEnabled(false);
    btBack->setEnabled(false);
    btCancel->setEnabled(false);
    pcPages->setCurrentWidget(tsLog);
    QCoreApplication::processEvents();
    const int result = FSequence->RunInstall();
    if (FSequence->ConnectionFailed) {
        // Back to the login page with the custom settings shown.
        eDB_Custom->setChecked(true);
        PreviousPage();
        btCancel->setEnabled(true);
        return;
    }
    btNext->setEnabled(true);
    btBack->setEnabled(true);
    btCancel->setEnabled(true);
    if (result == 0) {
        btBack->setEnabled(false);
        NextPage();
    } else if (result == 2) {
        btNext->setEnabled(false);
    }
}

void TfoMain::DoLog() { NextPage(); }

void TfoMain::DoFinished() {
    const std::string folder = FSequence->InstallPath;
    if (eViewReadme->isChecked()) {
        const std::string readme = folder + "help/Readme.html";
        std::error_code ec;
        if (!fs::is_regular_file(readme, ec))
            Message("The readme file is not installed:\n" + readme, bkWarning, WizardButton::OK);
        else if (OnOpenDocument)
            OnOpenDocument(readme);
        else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(readme))))
            Message("The readme file could not be opened:\n" + readme, bkWarning, WizardButton::OK);
    }
    if (eStartKelvar->isChecked()) {
        const std::string player = FSequence->PlayerFile();
        if (OnStartProgram)
            OnStartProgram(player);
        else
            QProcess::startDetached(QString::fromStdString(player), {}, QString::fromStdString(folder));
    }
    FClosing = true;
    close();
}

}  // namespace kelvar
