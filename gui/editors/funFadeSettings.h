#pragma once
// The fade-in, fade-out and crossfade editors over one settings record, with a graph that is
// redrawn 150 ms after the last change. Override mode edits one song's own values over the
// defaults; plain mode edits the defaults themselves.
#include <QWidget>

#include "media/SongSettings.h"

class QLabel;
class QTimer;

namespace kelvar {

class TfrmFade;
class TfrmXFade;
class TfrmXFadeGraph;

class TfrmFadeSettings : public QWidget {
public:
    explicit TfrmFadeSettings(QWidget* Parent = nullptr);
    ~TfrmFadeSettings() override;

    void Init(bool Override, const TSongSettings& Defaults, const TSongSettings& Own);
    void Done();
    // Writes the fade-in, fade-out and crossfade fields; the others stay.
    void SaveTo(TSongSettings& Settings) const;
    void Invalidate();
    void DrawTimerTimer();

    TfrmFade* frmFadeIn = nullptr;
    TfrmFade* frmFadeOut = nullptr;
    TfrmXFade* frmXFade1 = nullptr;
    TfrmXFadeGraph* frmXFadeGraph1 = nullptr;
    QLabel* lbDrawProblem = nullptr;
    QTimer* DrawTimer = nullptr;
};

}  // namespace kelvar
