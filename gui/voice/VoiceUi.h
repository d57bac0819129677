#pragma once
// Pieces the voice windows and dialogs share: the recording device and buffer groups of both
// dialogs, and the look of the small flat buttons.
#include <QRect>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace kelvar {

class TKcDemoButton;
class TKcTrackBar;

// "Recording settings ": driver, device and the mixer button.
struct TRecordGroup {
    QGroupBox* pRecord = nullptr;
    QComboBox* eDriverType = nullptr;
    QComboBox* eDevice = nullptr;
    TKcDemoButton* btMixer = nullptr;
};
// Built 360 x 110; Extra pixels of height are left below the device row for the caller's rows.
TRecordGroup MakeRecordGroup(QWidget* Parent, QPoint At, int Extra);

// "Buffer settings": packets 3..20 and packet time 5..50 ms, 10 each at rest.
struct TBufferGroup {
    QGroupBox* pRecordBuffer = nullptr;
    TKcTrackBar* ePackets = nullptr;
    TKcTrackBar* ePacketTime = nullptr;
    QLabel* lbPackets = nullptr;
    QLabel* lbPacketTime = nullptr;
    QLabel* lbLatency = nullptr;
};
// Built 360 x 118.
TBufferGroup MakeBufferGroup(QWidget* Parent, QPoint At);
// Packet time and packets as they are, and their product as the latency.
void UpdateBufferLabels(const TBufferGroup& Group);

// A small flat Kc button with a bold caption.
TKcDemoButton* MakeFlatButton(QWidget* Parent, const char* Name, const QString& Caption, const QString& Hint,
                              QRect Geometry);
// The pressed look (shadow and highlight swapped, the darker face) or the raised one.
void SetPressedLook(TKcDemoButton* Button, bool Pressed);

}  // namespace kelvar
