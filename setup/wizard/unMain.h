#pragma once
// The setup program's wizard window: welcome, license, install path, database, login details,
// the install log and the finish page, over the one install sequence the command line runs too.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTextBrowser;
class QTextEdit;
class QLineEdit;
class QPlainTextEdit;

namespace kelvar {

class TBoxButton;
class TFireBirdSettingsPanel;
class TInstallSequence;

// Buttons of the wizard's message boxes, combined as a bit set; the answer is one of them.
namespace WizardButton {
constexpr int OK = 1;
constexpr int Yes = 2;
constexpr int Cancel = 4;
}  // namespace WizardButton

class TfoMain : public QWidget {
public:
    // SetupFolder: where the setup's own files are (the program's folder by default).
    explicit TfoMain(const std::string& SetupFolder = {}, QWidget* Parent = nullptr);
    ~TfoMain() override;

    // Runs once, at the first show (or by hand before it).
    void Init();
    void Log(const std::string& Message, int Kind);
    void NextPage();
    void PreviousPage();
    void btNextClick();
    void btBackClick();
    void btCancelClick();

    TInstallSequence& Sequence() { return *FSequence; }
    QWidget* ActivePage() const;
    int ErrorCount() const;
    int FatalCount() const;

    // What a person would see or start; tests replace them. Message answers the button pressed.
    std::function<int(const std::string& Text, int BoxKind, int Buttons)> OnMessage;
    std::function<void(const std::string& File)> OnOpenDocument;
    std::function<void(const std::string& Program)> OnStartProgram;
    std::function<bool(int& Width, int& Height)> OnScreenSize;

    QStackedWidget* pcPages = nullptr;
    QWidget* tsWelcome = nullptr;
    QWidget* tsLicense = nullptr;
    QWidget* tsPath = nullptr;
    QWidget* tsDatabases = nullptr;
    QWidget* tsDatabaseInfo = nullptr;
    QWidget* tsLog = nullptr;
    QWidget* tsFinished = nullptr;
    QLabel* lbWelcome1 = nullptr;
    QLabel* lbWelcome2 = nullptr;
    QPlainTextEdit* mLicense = nullptr;
    QLabel* lbPath1 = nullptr;
    QLabel* lbPath2 = nullptr;
    QLineEdit* ePath = nullptr;
    TBoxButton* btBrowse = nullptr;
    QCheckBox* eInstallWMA = nullptr;
    QRadioButton* eFireBird = nullptr;
    QLabel* lbNeedHelp = nullptr;
    QTextBrowser* webDBInfo = nullptr;
    QLabel* lbDatabaseInfoHeader = nullptr;
    QRadioButton* eDB_Default = nullptr;
    QRadioButton* eDB_Custom = nullptr;
    QWidget* pDBInfo = nullptr;
    TFireBirdSettingsPanel* SettingsPanel = nullptr;
    QTextEdit* eLog = nullptr;
    QCheckBox* eViewReadme = nullptr;
    QCheckBox* eStartKelvar = nullptr;
    QLabel* lbVersion = nullptr;
    QPushButton* btCancel = nullptr;
    QPushButton* btBack = nullptr;
    QPushButton* btNext = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    QWidget* AddPage(const char* Name, const QString& Header, QLabel** HeaderLabel = nullptr);
    void BuildPages();
    int Message(const std::string& Text, int BoxKind, int Buttons);
    void UpdateNextCaption();

    void DoWelcome();
    void DoLicense();
    void DoPath();
    void DoDatabases();
    void AttachSettingsFrame();
    void DoDatabaseInfo();
    void DoLog();
    void DoFinished();
    void RunInstall();
    void SelectDefaultDatabase();
    // Asked: a person clicked for it, so a missing page is also told in a message box.
    void ShowDatabaseHelp(const std::string& Page, bool Asked = false);
    void LoginChoiceChanged();
    void btBrowseClick();

    std::unique_ptr<TInstallSequence> FSequence;
    bool FFirstShow = true;
    bool FClosing = false;
};

}  // namespace kelvar
