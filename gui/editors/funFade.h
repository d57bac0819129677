#pragma once
// One fade of a song's settings, in or out: switch, curve, time and depth. In override mode
// each value has a box; an unchecked box stores the mark that asks for the default.
#include <QWidget>
#include <functional>

#include "media/SongSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace kelvar {

class TKcTrackBar;

class TfrmFade : public QWidget {
public:
    using TChangeEvent = std::function<void(QWidget& Sender)>;

    explicit TfrmFade(QWidget* Parent = nullptr);

    void Init(bool IsFadeIn, bool Override, const TSongSettings& Defaults, const TSongSettings& Own);
    void SaveTo(TFadeParams& Params) const;
    void ClearOnChange() { OnChange = nullptr; }
    void Changed();
    void UpdateLabels();
    bool IsFadeIn() const { return FIsFadeIn; }

    TChangeEvent OnChange;

    QCheckBox* eEnabled = nullptr;
    QComboBox* eCurve = nullptr;
    TKcTrackBar* eTime = nullptr;
    TKcTrackBar* eLevel = nullptr;
    QLabel* lbTime = nullptr;
    QLabel* lbLevel = nullptr;
    QWidget* sFade1 = nullptr;
    QWidget* sFade2 = nullptr;
    QCheckBox* oEnabled = nullptr;
    QCheckBox* oCurve = nullptr;
    QCheckBox* oTime = nullptr;
    QCheckBox* oLevel = nullptr;

private:
    bool FIsFadeIn = false;
    bool FOverride = false;
};

}  // namespace kelvar
