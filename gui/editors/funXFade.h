#pragma once
// The crossfade part of a song's settings: the mode, the time before the end, and the level,
// minimum and maximum time of crossfade-point detection. A fixed crossfade point set on the song
// replaces the time controls by a notice.
#include <QWidget>
#include <cstdint>
#include <functional>

#include "media/SongSettings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QSpinBox;

namespace kelvar {

class TKcTrackBar;

class TfrmXFade : public QWidget {
public:
    using TChangeEvent = std::function<void(QWidget& Sender)>;

    explicit TfrmXFade(QWidget* Parent = nullptr);

    void Init(bool Override, const TSongSettings& Defaults, const TSongSettings& Own);
    void SaveTo(TSongSettings& Settings) const;
    // Ms > 0 is a fixed crossfade point from the start; Ms < -1 a time before the end.
    void SetXFadePoint(int32_t Ms);
    void ClearOnChange() { OnChange = nullptr; }
    void Changed();
    void UpdateTimeLabel();
    bool NoticeShown() const;

    TChangeEvent OnChange;

    QComboBox* eXFade = nullptr;
    TKcTrackBar* eTime = nullptr;
    QLabel* lbTime = nullptr;
    QLabel* lbTimeCaption = nullptr;
    QSpinBox* eTrigger = nullptr;
    QSpinBox* eFadeMin = nullptr;
    QSpinBox* eFadeMax = nullptr;
    QCheckBox* oXFade = nullptr;
    QCheckBox* oTime = nullptr;
    QCheckBox* oTrigger = nullptr;
    QCheckBox* oFadeMin = nullptr;
    QCheckBox* oFadeMax = nullptr;
    QFrame* pXFadeNotice = nullptr;
    QLabel* lbNotice4 = nullptr;

private:
    bool FOverride = false;
    int32_t FLastPoint = 1234567890;
};

}  // namespace kelvar
