#pragma once
// The splash window shown during start-up and shutdown, and the window program's dialogs.
#include <QWidget>

#include <memory>

#include "gui/StartupUi.h"

class QLabel;

namespace kelvar {

class TfoSplash : public QWidget {
public:
    TfoSplash();
    void SetVersion(const QString& text);
    void SetStatus(const QString& text);
    void SetGroup(int index);

private:
    QLabel* FPicture;
    QLabel* FVersion;
    QLabel* FGroup;
    QLabel* FStatus;
};

// The window program's start-up surface: a splash and message boxes.
class TQtStartupUi : public IStartupUi {
public:
    ~TQtStartupUi() override;
    void ShowSplash(const std::string& version) override;
    void SetStatus(const std::string& text) override;
    void SetGroup(int index) override;
    void CloseSplash() override;
    void ErrorDialog(const std::string& text) override;
    bool RetryDialog(const std::string& text) override;

private:
    std::unique_ptr<TfoSplash> FSplash;
};

}  // namespace kelvar
