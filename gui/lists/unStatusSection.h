#pragma once
// A section with a status bar: a text panel and a progress panel with centred text, repainted
// at once so that progress shows while a long job runs on the main thread.
#include <QString>
#include <QWidget>
#include <cstdint>

#include "gui/lists/unBigSection.h"

class QLabel;
class QStatusBar;

namespace kelvar {

// The progress panel: a navy bar over the button face, the text centred in grey.
class TProgressPanel : public QWidget {
public:
    explicit TProgressPanel(QWidget* Parent = nullptr);
    void SetProgress(int Percent, const QString& Text);
    int Progress() const { return FPercent; }
    QString Text() const { return FText; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    int FPercent = 0;
    QString FText;
};

class TfoStatusSection : public TfoBigSection {
public:
    explicit TfoStatusSection(QWidget* Parent = nullptr);
    void SetStatusText(const QString& Value);
    void SetProgress(uint8_t Percent, const QString& Text);
    uint8_t Progress() const { return FProgress; }
    QString ProgressText() const { return FProgressText; }

    QStatusBar* StatusBar;
    QLabel* StatusText;              // panel 0
    TProgressPanel* StatusProgress;  // panel 1

private:
    uint8_t FProgress = 0;
    QString FProgressText;
};

}  // namespace kelvar
