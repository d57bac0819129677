#include "gui/voice/VoiceUi.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <cstdio>

#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "gui/editors/EditorControls.h"

namespace kelvar {

namespace {

constexpr TColor PressedFace = 0xB4D2DC;  // RGB 220, 210, 180
constexpr TColor RaisedFace = 0xC8D1D5;   // RGB 213, 208, 200

TKcTrackBar* BufferBar(QWidget* Parent, const char* Name, int Min, int Max, int Ticks, QRect Geometry) {
    auto* b = new TKcTrackBar(Parent);
    b->setObjectName(Name);
    b->BeginLoading();
    b->SetOrientation(TKcOrientation::voHorizontal);
    b->SetMinValue(Min);
    b->SetMaxValue(Max);
    b->SetFrequency(Ticks);
    b->SetBorderWidth(6);
    b->SetTickMarks(TKcTickMarks::tmBottomRight);
    b->SetPosition(10);
    b->EndLoading();
    b->setGeometry(Geometry);
    UseWindowGutter(*b);
    return b;
}

}  // namespace

TRecordGroup MakeRecordGroup(QWidget* Parent, QPoint At, int Extra) {
    TRecordGroup g;
    g.pRecord = new QGroupBox("Recording settings ", Parent);
    g.pRecord->setObjectName("pRecord");
    g.pRecord->setGeometry(At.x(), At.y(), 360, 110 + Extra);
    MakeEditorLabel(g.pRecord, "lbDriverType", "Record driver", QRect(10, 22, 150, 20));
    g.eDriverType = new QComboBox(g.pRecord);
    g.eDriverType->setObjectName("eDriverType");
    g.eDriverType->addItems({"DirectSound recorder", "Kernel Streaming recorder"});
    g.eDriverType->setCurrentIndex(0);
    g.eDriverType->setGeometry(10, 42, 280, 24);
    MakeEditorLabel(g.pRecord, "lbDevice", "Record soundcard device", QRect(10, 66, 200, 20));
    g.eDevice = new QComboBox(g.pRecord);
    g.eDevice->setObjectName("eDevice");
    g.eDevice->setGeometry(10, 86, 280, 24);
    g.btMixer = MakeFlatButton(g.pRecord, "btMixer", "Mixer", "", QRect(296, 86, 54, 24));
    return g;
}

TBufferGroup MakeBufferGroup(QWidget* Parent, QPoint At) {
    TBufferGroup g;
    g.pRecordBuffer = new QGroupBox("Buffer settings", Parent);
    g.pRecordBuffer->setObjectName("pRecordBuffer");
    g.pRecordBuffer->setGeometry(At.x(), At.y(), 360, 118);
    QWidget* p = g.pRecordBuffer;
    MakeEditorLabel(p, "lbPacketsCaption", "Packets", QRect(10, 22, 80, 20));
    MakeEditorLabel(p, "lbPacketsMin", "3", QRect(90, 22, 30, 20), Qt::AlignRight);
    g.ePackets = BufferBar(p, "ePackets", 3, 20, 1, QRect(122, 18, 150, 28));
    MakeEditorLabel(p, "lbPacketsMax", "20", QRect(274, 22, 40, 20));
    g.lbPackets = MakeEditorLabel(p, "lbPackets", "", QRect(312, 22, 42, 20), Qt::AlignRight);
    MakeEditorLabel(p, "lbPacketTimeCaption", "Packet time", QRect(10, 54, 80, 20));
    MakeEditorLabel(p, "lbPacketTimeMin", "5 ms", QRect(84, 54, 36, 20), Qt::AlignRight);
    g.ePacketTime = BufferBar(p, "ePacketTime", 5, 50, 5, QRect(122, 50, 150, 28));
    MakeEditorLabel(p, "lbPacketTimeMax", "50 ms", QRect(274, 54, 40, 20));
    g.lbPacketTime = MakeEditorLabel(p, "lbPacketTime", "", QRect(312, 54, 42, 20), Qt::AlignRight);
    MakeEditorLabel(p, "lbLatencyCaption", "Maximum latency: ", QRect(10, 86, 120, 20));
    g.lbLatency = MakeEditorLabel(p, "lbLatency", "", QRect(130, 86, 80, 20));
    return g;
}

void UpdateBufferLabels(const TBufferGroup& Group) {
    const int packets = Group.ePackets->Position();
    const int time = Group.ePacketTime->Position();
    SetLabelText(Group.lbPacketTime, std::to_string(time) + " ms");
    SetLabelText(Group.lbPackets, std::to_string(packets));
    SetLabelText(Group.lbLatency, std::to_string(packets * time) + " ms");
}

TKcDemoButton* MakeFlatButton(QWidget* Parent, const char* Name, const QString& Caption, const QString& Hint,
                              QRect Geometry) {
    auto* b = new TKcDemoButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Caption);
    b->setToolTip(Hint);
    b->SetFlat(true);
    b->SetColor(RaisedFace);
    QFont f = b->font();
    f.setPixelSize(10);
    f.setBold(true);
    SetDemoFont(*b, f);
    // The caption is drawn in the hover fonts.
    TKcFont leave = b->FontLeave(), enter = b->FontEnter();
    leave.Font = enter.Font = f;
    b->SetFontLeave(leave);
    b->SetFontEnter(enter);
    b->setGeometry(Geometry);
    return b;
}

void SetPressedLook(TKcDemoButton* Button, bool Pressed) {
    Button->SetShadowColor(Pressed ? clBtnHighlight : clBtnShadow);
    Button->SetHighlightColor(Pressed ? clBtnShadow : clBtnHighlight);
    Button->SetColor(Pressed ? PressedFace : RaisedFace);
}

}  // namespace kelvar
