#pragma once
// The first-run wizard: on a new install it imports the demo content that ships in the
// program's "Sound" folder and lets the operator import a folder of their own music.
#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;

namespace kelvar {

class TFxFancyButton;

class TfoFirstRun : public QDialog {
public:
    // SoundFolder empty: the program folder's "Sound".
    explicit TfoFirstRun(const std::string& SoundFolder = "", QWidget* Parent = nullptr);

    // The imports the boxes ask for, then the wizard closes; failures are logged, never raised.
    void Continue();

    QLabel* lbTitle = nullptr;
    QLabel* lbText = nullptr;
    QCheckBox* eDemo = nullptr;
    QCheckBox* eAddFiles = nullptr;
    TFxFancyButton* btContinue = nullptr;
    TFxFancyButton* btSkip = nullptr;
    // With a trailing delimiter; set when the wizard shows.
    std::string FSoundFolder;

protected:
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void PostClose();
    void ImportOwnMusic();

    std::string FGivenSoundFolder;
};

// Marks the first run done in the core configuration ("FirstRun" False, so the wizard comes
// once whatever happens next), then runs the wizard modally.
void RunFirstRunWizard(const std::string& SoundFolder = "");

}  // namespace kelvar
