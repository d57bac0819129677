#include "gui/audioconfig/funAGC.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <cmath>
#include <mutex>

#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcLeds.h"
#include "controls/KcLevelBar.h"
#include "controls/KcTrackBar.h"
#include "core/ProcessorAccess.h"
#include "foundation/MiscFunc.h"
#include "gui/decks/funVUMeterBase.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

namespace {

constexpr int FullRefresh = 1;
constexpr int MeterRefresh = 2;
constexpr const char* PresetFilter = "AGC Preset files (*.agc);;All files (*)";

int Tenths(float Value) { return static_cast<int>(std::lround(Value * 10.0f)); }

std::string Format(const char* Pattern, double Value) { return QString::asprintf(Pattern, Value).toStdString(); }
std::string Format(const char* Pattern, int Value) { return QString::asprintf(Pattern, Value).toStdString(); }

QCheckBox* Check(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
    auto* c = new QCheckBox(Caption, Parent);
    c->setObjectName(Name);
    c->setGeometry(Geometry);
    return c;
}

TKcPowerButton* Power(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
    auto* b = new TKcPowerButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Caption);
    b->setGeometry(Geometry);
    return b;
}

TKcDemoButton* Button(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
    auto* b = MakeEditorButton(Parent, Name, Caption, "", Geometry);
    QFont font("Arial");
    font.setPointSize(7);
    font.setBold(true);
    b->SetFontLeave(TKcFont{font, clBlack});
    b->SetFontEnter(TKcFont{font, clRed});
    b->SetFlat(true);
    return b;
}

// The page fits the audio settings window: rows 16 pixels apart, a second column at RightColumn,
// the meters in a column of their own at MeterColumn.
constexpr int RightColumn = 236;
constexpr int MeterColumn = 454;

int RowY(int Row) { return 2 + Row * 16; }

// A caption, a horizontal track bar and its value label on one row.
TKcTrackBar* Slider(QWidget* Parent, const char* Name, const char* Caption, int Min, int Max, int X, int Y,
                    QLabel** Value, QLabel** CaptionLabel = nullptr) {
    QLabel* caption = MakeEditorLabel(Parent, (std::string(Name) + "Caption").c_str(), Caption, QRect(X, Y, 76, 16));
    if (CaptionLabel) *CaptionLabel = caption;
    auto* bar = MakeEditorTrackBar(Parent, Name, Min, Max, QRect(X + 76, Y - 1, 66, 18));
    bar->BeginLoading();
    bar->SetOrientation(TKcOrientation::voHorizontal);
    bar->SetTickMarks(TKcTickMarks::tmNone);
    bar->EndLoading();
    if (Value) *Value = MakeEditorLabel(Parent, (std::string(Name) + "Value").c_str(), "", QRect(X + 144, Y, 46, 16));
    return bar;
}

TKcLevelBar* Meter(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* bar = new TKcLevelBar(Parent);
    bar->setObjectName(Name);
    bar->SetOrientation(TKcOrientation::voVertical);
    bar->SetMinValue(0);
    bar->SetMaxValue(100);
    bar->setGeometry(Geometry);
    return bar;
}

}  // namespace

TfrmAGC::TfrmAGC(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmAGC");
    // Top: bypass, gated AGC, stereo expander, bass EQ, pre-emphasis, clipper.
    btByPassAll = Power(this, "btByPassAll", "Bypass all", QRect(4, 2, 96, 22));
    btSavePreset = new TFxFancyButton("Save preset", this);
    btSavePreset->setObjectName("btSavePreset");
    btSavePreset->setGeometry(270, 2, 90, 22);
    btLoadPreset = new TFxFancyButton("Load preset", this);
    btLoadPreset->setObjectName("btLoadPreset");
    btLoadPreset->setGeometry(364, 2, 90, 22);

    const int R = RightColumn;
    auto* top = new QGroupBox(this);
    top->setGeometry(2, 26, 450, 121);
    eGatedAGC_enabled = Check(top, "eGatedAGC_enabled", "Gated AGC", QRect(4, RowY(0), 100, 16));
    eAgc_gate = Slider(top, "eAgc_gate", "Gate level", -90, 0, 4, RowY(1), nullptr);
    eAgc_maxgain = Slider(top, "eAgc_maxgain", "Maximum gain", 0, 25, 4, RowY(2), &lbAGC_MaxGain);
    eClipper_Enabled = Check(top, "eClipper_Enabled", "Clipper", QRect(4, RowY(3), 100, 16));
    eClipper_Lev = Slider(top, "eClipper_Lev", "Level", -60, 30, 4, RowY(4), &lbClipper_Lev);
    eSExp_enabled = Check(top, "eSExp_enabled", "Stereo expander", QRect(R, RowY(0), 130, 16));
    eSExp_Lev = Slider(top, "eSExp_Lev", "Level", 0, 100, R, RowY(1), &lbSExp_lev);
    eSExp_Depth = Slider(top, "eSExp_Depth", "Depth", 0, 20, R, RowY(2), &lbSExp_Depth);
    eSExp_Thr = Slider(top, "eSExp_Thr", "Threshold", -40, 0, R, RowY(3), &lbSExp_Thr);
    eBass_enabled = Check(top, "eBass_enabled", "Bass EQ", QRect(4, RowY(5) + 1, 70, 16));
    btShelve = Button(top, "btShelve", "Shelve", QRect(80, RowY(5) + 1, 44, 16));
    btPeak = Button(top, "btPeak", "Peak", QRect(126, RowY(5) + 1, 40, 16));
    btPreEmp = Power(top, "btPreEmp", "Pre-emphasis", QRect(R, RowY(4) + 1, 104, 18));
    btPreEmp50 = Button(top, "btPreEmp50", "50 uS", QRect(R + 108, RowY(4) + 2, 44, 16));
    btPreEmp75 = Button(top, "btPreEmp75", "75 uS", QRect(R + 154, RowY(4) + 2, 44, 16));
    eBass_Gain = Slider(top, "eBass_Gain", "Gain", 0, 20, 4, RowY(6) + 2, &lbBass_Gain);
    eBass_Freq = Slider(top, "eBass_Freq", "Frequency", 40, 150, R, RowY(6) + 2, &lbBass_Freq);

    auto* multi = new QGroupBox(this);
    multi->setObjectName("gbMultiBand");
    multi->setGeometry(2, 149, 450, 124);
    eMb_enabled = Check(multi, "eMb_enabled", "5 Bands processor", QRect(4, RowY(0), 140, 16));
    eMB_Drive = Slider(multi, "eMB_Drive", "Drive", 0, 10, R, RowY(0), &lbMB_Drive);
    MB.Multi = true;
    BuildBands(MB, multi);
    eMB_Gain = Slider(multi, "eMB_Gain", "Band gain", -60, 60, 4, RowY(6) + 4, &lbMB_Gain);
    eMB_Link01 = Slider(multi, "eMB_Link01", "1 to 2", 0, 100, R, RowY(4) + 4, &lbMB_Link01);
    eMB_Link23 = Slider(multi, "eMB_Link23", "4 to 3", 0, 100, R, RowY(5) + 4, &lbMB_Link23);
    eMB_Link34 = Slider(multi, "eMB_Link34", "5 to 4", 0, 100, R, RowY(6) + 4, &lbMB_Link34);

    auto* dual = new QGroupBox(this);
    dual->setObjectName("gbDualBand");
    dual->setGeometry(2, 275, 450, 106);
    eDb_enabled = Check(dual, "eDb_enabled", "Dual band processor", QRect(4, RowY(0), 150, 16));
    eDb_Drive = Slider(dual, "eDb_Drive", "Drive", -10, 10, R, RowY(0), &lbDb_Drive);
    DB.Multi = false;
    BuildBands(DB, dual);

    // Meters at the right.
    const int M = MeterColumn;
    frmVUMeterBase1 = new TfrmVUMeterBase(this);
    frmVUMeterBase1->lbL->setText("In");
    frmVUMeterBase1->lbR->setText("Out");
    frmVUMeterBase1->setGeometry(M, 26, 54, 124);
    eAGC_VU = Meter(this, "eAGC_VU", QRect(M + 56, 40, 8, 100));
    eAGC_VU->SetMaxValue(25);
    lbGatedB = MakeEditorLabel(this, "lbGatedB", "", QRect(M, 152, 64, 16));
    eGated = new TKcUserLed(this);
    eGated->setObjectName("eGated");
    eGated->setGeometry(M, 170, 14, 14);
    MakeEditorLabel(this, "lbGated", "Gated", QRect(M + 18, 168, 46, 16));
    vClipper = Meter(this, "vClipper", QRect(M, 190, 10, 100));
    setMinimumSize(M + 64, 381);

    // Changes.
    btByPassAll->OnClick = [this](TKcCustomControl&) {
        Edit([this] { TProcessorAccess(*FNode).SetEnabled(!btByPassAll->Active()); });
    };
    auto check = [this](QCheckBox* box, void (TProcessorAccess::*setter)(bool)) {
        connect(box, &QCheckBox::clicked, this,
                [this, box, setter] { Edit([=, this] { (TProcessorAccess(*FNode).*setter)(box->isChecked()); }); });
    };
    check(eGatedAGC_enabled, &TProcessorAccess::SetGatedAGCEnabled);
    check(eSExp_enabled, &TProcessorAccess::SetStereoExpanderEnabled);
    check(eBass_enabled, &TProcessorAccess::SetBassEQEnabled);
    check(eMb_enabled, &TProcessorAccess::SetMultiBandEnabled);
    check(eDb_enabled, &TProcessorAccess::SetDualBandEnabled);
    check(eClipper_Enabled, &TProcessorAccess::SetClipperEnabled);
    auto slide = [this](TKcTrackBar* bar, std::function<void(int)> action) {
        bar->OnChange = [this, bar, action](TKcCustomControl&) { Edit([bar, action] { action(bar->Position()); }); };
    };
    slide(eAgc_gate, [this](int v) { TProcessorAccess(*FNode).SetGateLevel(v); });
    slide(eAgc_maxgain, [this](int v) { TProcessorAccess(*FNode).SetMaxGain(v); });
    slide(eSExp_Lev, [this](int v) { TProcessorAccess(*FNode).SetStereoExpanderLevel(float(v)); });
    slide(eSExp_Depth, [this](int v) { TProcessorAccess(*FNode).SetStereoExpanderDepth(v); });
    slide(eSExp_Thr, [this](int v) { TProcessorAccess(*FNode).SetStereoExpanderThreshold(float(v)); });
    slide(eBass_Gain, [this](int v) { TProcessorAccess(*FNode).SetBassEQGain(v); });
    slide(eBass_Freq, [this](int v) { TProcessorAccess(*FNode).SetBassEQFreq(v); });
    slide(eMB_Drive, [this](int v) { TProcessorAccess(*FNode).SetMultiBandDrive(float(v)); });
    slide(eMB_Link01, [this](int v) { TProcessorAccess(*FNode).SetLink01(v); });
    slide(eMB_Link23, [this](int v) { TProcessorAccess(*FNode).SetLink23(v); });
    slide(eMB_Link34, [this](int v) { TProcessorAccess(*FNode).SetLink34(v); });
    slide(eDb_Drive, [this](int v) { TProcessorAccess(*FNode).SetDualBandDrive(float(v)); });
    slide(eClipper_Lev, [this](int v) { TProcessorAccess(*FNode).SetClipperLevel(float(v) / 10.0f); });
    slide(eMB_Gain, [this](int v) {
        TProcessorAccess(*FNode).EditParams(
            [this, v](TAGCParams& p) {
                for (int b = 0; b < AGCMultiBands; ++b)
                    if (MB.Global || b == MB.Band) p.MultiBandGain[b] = float(v) / 10.0f;
            },
            AGCApply::MultiBand);
    });
    btPreEmp->OnClick = [this](TKcCustomControl&) {
        Edit([this] { TProcessorAccess(*FNode).SetPreEmphasisEnabled(btPreEmp->Active()); });
    };
    btShelve->OnClick = [this](TKcCustomControl&) { Edit([this] { TProcessorAccess(*FNode).SetBassEqType(1); }); };
    btPeak->OnClick = [this](TKcCustomControl&) { Edit([this] { TProcessorAccess(*FNode).SetBassEqType(0); }); };
    btPreEmp50->OnClick = [this](TKcCustomControl&) { Edit([this] { TProcessorAccess(*FNode).SetPreEmpType(1); }); };
    btPreEmp75->OnClick = [this](TKcCustomControl&) { Edit([this] { TProcessorAccess(*FNode).SetPreEmpType(0); }); };
    btSavePreset->OnClick = [this](TFxFancyButton&) { GuardedUi([this] { SavePreset(); }); };
    btLoadPreset->OnClick = [this](TFxFancyButton&) { GuardedUi([this] { LoadPreset(); }); };
}

TfrmAGC::~TfrmAGC() { Detach(); }

void TfrmAGC::BuildBands(TBandEditor& E, QWidget* Box) {
    const char* prefix = E.Multi ? "MB" : "DB";
    auto name = [prefix](const char* Part) { return std::string("bt") + prefix + Part; };
    const int bands = E.Multi ? AGCMultiBands : AGCDualBands;
    for (int i = 0; i < bands; ++i) {
        const std::string caption = E.Multi ? std::to_string(i + 1) : (i == 0 ? "LF" : "HF");
        E.BandButtons[static_cast<size_t>(i)] = Button(Box, name(std::to_string(i + 1).c_str()).c_str(),
                                                       caption.c_str(), QRect(4 + i * 26, RowY(1) + 2, 24, 16));
        // The dual-band buttons name the bands from the bottom: "LF" is band 1.
        const int band = E.Multi ? i : 1 - i;
        E.BandButtons[static_cast<size_t>(i)]->OnClick = [this, &E, band](TKcCustomControl&) {
            Edit([&E, band] { E.Band = band; });
        };
    }
    const char* procs[3] = {"_COM", "_EXP", "_LIM"};
    const char* procCaptions[3] = {"COM", "EXP", "LIM"};
    for (int q = 0; q < 3; ++q) {
        E.ProcButtons[static_cast<size_t>(q)] =
            Button(Box, name(procs[q]).c_str(), procCaptions[q], QRect(140 + q * 34, RowY(1) + 2, 32, 16));
        E.ProcButtons[static_cast<size_t>(q)]->OnClick = [this, &E, q](TKcCustomControl&) {
            Edit([&E, q] { E.Proc = q; });
        };
    }
    E.GlobalButton =
        Button(Box, name("_Global").c_str(), E.Multi ? "G L O B A L" : "Global", QRect(244, RowY(1) + 2, 70, 16));
    E.GlobalButton->OnClick = [this, &E](TKcCustomControl&) { Edit([&E] { E.Global = !E.Global; }); };
    // Beside the attack and release rows, between the two columns.
    E.Att1 = Button(Box, name("_Att1").c_str(), "1", QRect(196, RowY(4) + 4, 16, 15));
    E.Att2 = Button(Box, name("_Att2").c_str(), "2", QRect(214, RowY(4) + 4, 16, 15));
    E.Rel1 = Button(Box, name("_Rel1").c_str(), "1", QRect(196, RowY(5) + 4, 16, 15));
    E.Rel2 = Button(Box, name("_Rel2").c_str(), "2", QRect(214, RowY(5) + 4, 16, 15));
    E.Att1->OnClick = [this, &E](TKcCustomControl&) { Edit([&E] { E.AttackMode = 1; }); };
    E.Att2->OnClick = [this, &E](TKcCustomControl&) { Edit([&E] { E.AttackMode = 2; }); };
    E.Rel1->OnClick = [this, &E](TKcCustomControl&) { Edit([&E] { E.ReleaseMode = 1; }); };
    E.Rel2->OnClick = [this, &E](TKcCustomControl&) { Edit([&E] { E.ReleaseMode = 2; }); };
    E.ProcEnabled =
        Power(Box, (std::string("bt") + prefix + "_ProcEnabled").c_str(), "Enabled", QRect(320, RowY(1) + 1, 80, 18));
    const std::string p = E.Multi ? "eMB_" : "eDb_";
    E.Ratio = Slider(Box, (p + "Ratio").c_str(), "Ratio", 10, 100, 4, RowY(2) + 4, &E.lbRatio, &E.lbRatioCaption);
    E.Thr = Slider(Box, (p + "Thr").c_str(), "Threshold", -400, 200, 4, RowY(3) + 4, &E.lbThr);
    E.Attack = Slider(Box, (p + "Attack").c_str(), "Attack", 10, 500, 4, RowY(4) + 4, &E.lbAttack);
    E.Release = Slider(Box, (p + "Release").c_str(), "Release", 10, 4000, 4, RowY(5) + 4, &E.lbRelease);
    E.Hold = Slider(Box, (std::string(E.Multi ? "eMB_" : "eDB_") + "Hold").c_str(), "Hold", 10, 500, RightColumn,
                    RowY(2) + 4, &E.lbHold);
    for (int i = 0; i < bands; ++i) {
        const int x = RightColumn + 76 + i * 18;
        E.Out1[static_cast<size_t>(i)] =
            Meter(Box, ("v" + std::string(prefix) + std::to_string(i) + "_out1").c_str(), QRect(x, RowY(3) + 4, 7, 15));
        E.Out2[static_cast<size_t>(i)] = Meter(Box, ("v" + std::string(prefix) + std::to_string(i) + "_out2").c_str(),
                                               QRect(x + 8, RowY(3) + 4, 7, 15));
    }
    auto field = [this, &E](TKcTrackBar* Bar, std::function<void(TAGCBandProcessor&, int)> Set) {
        Bar->OnChange = [this, &E, Bar, Set](TKcCustomControl&) {
            Edit([this, &E, Bar, Set] { EditBands(E, [&](TAGCBandProcessor& P, int) { Set(P, Bar->Position()); }); });
        };
    };
    field(E.Ratio, [](TAGCBandProcessor& P, int V) { P.Ratio = float(V) / 10.0f; });
    field(E.Thr, [](TAGCBandProcessor& P, int V) { P.Threshold = float(V) / 10.0f; });
    field(E.Attack,
          [&E](TAGCBandProcessor& P, int V) { (E.Proc == 0 && E.AttackMode == 2 ? P.Attack2 : P.Attack) = V; });
    field(E.Release,
          [&E](TAGCBandProcessor& P, int V) { (E.Proc == 0 && E.ReleaseMode == 2 ? P.Release2 : P.Release) = V; });
    field(E.Hold, [](TAGCBandProcessor& P, int V) { P.Hold = static_cast<uint32_t>(V); });
    E.ProcEnabled->OnClick = [this, &E](TKcCustomControl&) {
        Edit([this, &E] {
            TProcessorAccess(*FNode).EditParams(
                [&E](TAGCParams& p) {
                    TAGCBandProcessor& P = Proc(p, E, E.Band);
                    P.Enabled = P.Enabled == 1 ? 0 : 1;
                },
                E.Multi ? AGCApply::MultiBand : AGCApply::DualBand);
        });
    };
}

TAGCBandProcessor& TfrmAGC::Proc(TAGCParams& P, const TBandEditor& E, int Band) {
    const int q = std::clamp(E.Proc, 0, AGCBandProcessors - 1);
    if (E.Multi) return P.MultiBandProc[std::clamp(Band, 0, AGCMultiBands - 1)][q];
    return P.DualBandProc[std::clamp(Band, 0, AGCDualBands - 1)][q];
}

void TfrmAGC::EditBands(TBandEditor& E, const std::function<void(TAGCBandProcessor&, int)>& Change) {
    const int bands = E.Multi ? AGCMultiBands : AGCDualBands;
    TProcessorAccess(*FNode).EditParams(
        [&](TAGCParams& p) {
            for (int b = 0; b < bands; ++b)
                if (E.Global || b == E.Band) Change(Proc(p, E, b), b);
        },
        E.Multi ? AGCApply::MultiBand : AGCApply::DualBand);
}

void TfrmAGC::Edit(const std::function<void()>& Action) {
    if (FBusy != 0 || !FNode) return;
    ++FBusy;
    GuardedUi(Action);
    --FBusy;
    GuardedUi([this] { ShowSettings(); });
}

void TfrmAGC::Attach(TNode_AGC* Node) {
    Detach();
    FNode = Node;
    FPresetFolder = QString::fromStdString(ProgramFolder()) + "AGCPresets/";
    for (TBandEditor* e : {&MB, &DB}) {
        e->Band = 0;
        e->Proc = 0;
        e->Global = false;
        e->AttackMode = 1;
        e->ReleaseMode = 1;
    }
    if (!FNode) return;
    ShowSettings();
    if (GuiHeartBeat) {
        GuiHeartBeat->Add(300, this, FullRefresh, [this](THeartBeat&) { GuardedUi([this] { ShowSettings(); }); });
        GuiHeartBeat->Add(33, this, MeterRefresh, [this](THeartBeat&) { GuardedUi([this] { ShowMeters(); }); });
        FRegistered = true;
    }
}

void TfrmAGC::Detach() {
    if (FRegistered && GuiHeartBeat) {
        GuiHeartBeat->Remove(this, FullRefresh);
        GuiHeartBeat->Remove(this, MeterRefresh);
    }
    FRegistered = false;
    FNode = nullptr;
}

void TfrmAGC::LightButton(TKcDemoButton* Button, bool Lit) {
    if (!Button) return;
    const TColor colour = Lit ? LitColor : UnlitColor;
    if (Button->Color() == colour) return;
    // Lit buttons look pressed: shadow and highlight swap.
    const TColor shadow = Button->ShadowColor();
    const TColor highlight = Button->HighlightColor();
    const bool swapped = Button->property("Lit").toBool();
    if (swapped != Lit) {
        Button->SetShadowColor(highlight);
        Button->SetHighlightColor(shadow);
        Button->setProperty("Lit", Lit);
    }
    Button->SetColor(colour);
}

void TfrmAGC::ShowBands(TBandEditor& E, const TAGCParams& P) {
    const TAGCBandProcessor& proc = Proc(const_cast<TAGCParams&>(P), E, E.Band);
    const bool compressor = E.Proc == 0;
    const bool slowAttack = compressor && E.AttackMode == 2;
    const bool slowRelease = compressor && E.ReleaseMode == 2;
    E.Attack->SetMinValue(slowAttack ? 100 : 10);
    E.Attack->SetMaxValue(slowAttack ? 1000 : 500);
    E.Release->SetMinValue(slowRelease ? 500 : 10);
    E.Release->SetMaxValue(slowRelease ? 20000 : 4000);
    E.Ratio->SetPosition(Tenths(proc.Ratio));
    E.Thr->SetPosition(Tenths(proc.Threshold));
    E.Attack->SetPosition(slowAttack ? proc.Attack2 : proc.Attack);
    E.Release->SetPosition(slowRelease ? proc.Release2 : proc.Release);
    E.Hold->SetPosition(static_cast<int>(std::min<uint32_t>(proc.Hold, 100000)));
    SetLabelText(E.lbRatio, Format("%0.1f", double(proc.Ratio)));
    SetLabelText(E.lbThr, Format("%0.1fdB", double(proc.Threshold)));
    SetLabelText(E.lbAttack, Format("%dms", E.Attack->Position()));
    SetLabelText(E.lbRelease, Format("%dms", E.Release->Position()));
    SetLabelText(E.lbHold, Format("%dms", E.Hold->Position()));
    E.ProcEnabled->SetActive(proc.Enabled == 1);
    const int bands = E.Multi ? AGCMultiBands : AGCDualBands;
    for (int i = 0; i < bands; ++i) LightButton(E.BandButtons[static_cast<size_t>(i)], (E.Multi ? i : 1 - i) == E.Band);
    for (int q = 0; q < 3; ++q) LightButton(E.ProcButtons[static_cast<size_t>(q)], q == E.Proc);
    LightButton(E.GlobalButton, E.Global);
    LightButton(E.Att1, E.AttackMode == 1);
    LightButton(E.Att2, E.AttackMode == 2);
    LightButton(E.Rel1, E.ReleaseMode == 1);
    LightButton(E.Rel2, E.ReleaseMode == 2);
    for (auto* b : {E.Att1, E.Att2, E.Rel1, E.Rel2}) b->setVisible(compressor);
    const bool limiter = E.Proc == 2;
    E.Ratio->setVisible(!limiter);
    E.lbRatio->setVisible(!limiter);
    E.lbRatioCaption->setVisible(!limiter);
}

void TfrmAGC::ShowSettings() {
    if (!FNode) return;
    ++FBusy;
    const TAGCParams p = TProcessorAccess(*FNode).GetParams();
    auto on = [](int32_t v) { return v == 1; };
    btByPassAll->SetActive(!TProcessorAccess(*FNode).GetEnabled());
    eGatedAGC_enabled->setChecked(on(p.GatedAGC));
    eAgc_gate->SetPosition(p.GateLevel);
    eAgc_maxgain->SetPosition(p.MaxGain);
    SetLabelText(lbAGC_MaxGain, Format("%d dB", p.MaxGain));
    eSExp_enabled->setChecked(on(p.StereoExpander));
    eSExp_Lev->SetPosition(static_cast<int>(std::lround(p.StereoExpanderLevel)));
    SetLabelText(lbSExp_lev, Format("%0.0f%%", double(p.StereoExpanderLevel)));
    eSExp_Depth->SetPosition(p.StereoExpanderDepth);
    SetLabelText(lbSExp_Depth, Format("%d ms", p.StereoExpanderDepth));
    eSExp_Thr->SetPosition(static_cast<int>(std::lround(p.StereoExpanderThreshold)));
    SetLabelText(lbSExp_Thr, Format("%0.0f dB", double(p.StereoExpanderThreshold)));
    eBass_enabled->setChecked(on(p.BassEQ));
    eBass_Gain->SetPosition(p.BassEQGain);
    SetLabelText(lbBass_Gain, Format("%d dB", p.BassEQGain));
    eBass_Freq->SetPosition(p.BassEQFreq);
    SetLabelText(lbBass_Freq, Format("%d Hz", p.BassEQFreq));
    LightButton(btShelve, p.BassEqType == 1);
    LightButton(btPeak, p.BassEqType == 0);
    btPreEmp->SetActive(on(p.PreEmphasis));
    LightButton(btPreEmp50, p.PreEmpType == 1);
    LightButton(btPreEmp75, p.PreEmpType == 0);
    eMb_enabled->setChecked(on(p.MultiBand));
    eMB_Drive->SetPosition(static_cast<int>(std::lround(p.MultiBandDrive)));
    SetLabelText(lbMB_Drive, Format("%0.0f dB", double(p.MultiBandDrive)));
    eMB_Link01->SetPosition(p.Link01);
    eMB_Link23->SetPosition(p.Link23);
    eMB_Link34->SetPosition(p.Link34);
    SetLabelText(lbMB_Link01, Format("%0d%%", p.Link01));
    SetLabelText(lbMB_Link23, Format("%0d%%", p.Link23));
    SetLabelText(lbMB_Link34, Format("%0d%%", p.Link34));
    const float gain = p.MultiBandGain[std::clamp(MB.Band, 0, AGCMultiBands - 1)];
    eMB_Gain->SetPosition(Tenths(gain));
    SetLabelText(lbMB_Gain, Format("%0.1fdB", double(gain)));
    eDb_enabled->setChecked(on(p.DualBand));
    eDb_Drive->SetPosition(static_cast<int>(std::lround(p.DualBandDrive)));
    SetLabelText(lbDb_Drive, Format("%0.0f dB", double(p.DualBandDrive)));
    eClipper_Enabled->setChecked(on(p.Clipper));
    eClipper_Lev->SetPosition(Tenths(p.ClipperLevel));
    SetLabelText(lbClipper_Lev, Format("%0.1f dB", double(p.ClipperLevel)));
    ShowBands(MB, p);
    ShowBands(DB, p);
    --FBusy;
    ShowMeters();
}

void TfrmAGC::Fall(TKcLevelBar* Bar, int Value) {
    const int position = Bar->Position();
    if (Value < position) {
        Value = static_cast<int>(position * 0.85);
        if (Value <= 1) Value = 0;
    }
    if (Value != position) Bar->SetPosition(Value);
}

void TfrmAGC::ShowMeters() {
    if (!FNode) return;
    // The levels are the node's atomics: the audio thread is never waited for.
    TProcessorAccess processor(*FNode);
    const int in = processor.InputPeak();
    const int out = processor.OutputPeak();
    Fall(frmVUMeterBase1->ePeakL, 100 * in / 32768);
    Fall(frmVUMeterBase1->ePeakR, 100 * out / 32768);
    SetLabelText(lbGatedB, Format("%d dB", processor.GetGateLevel()));
    const TAGCMeters meters = processor.GetMeters();
    Fall(eAGC_VU, static_cast<int>(std::lround(20.0 * std::log10(std::max(1.0f, meters.Gain)))));
    // Once lit, the lamp stays for 10 refreshes so that a short gate is seen.
    int hold = eGated->property("Tag").toInt();
    if (hold > 0) {
        eGated->setProperty("Tag", hold - 1);
    } else {
        eGated->SetActive(meters.Gated == 1);
        if (meters.Gated == 1) eGated->setProperty("Tag", 10);
    }
    // The processor reports no clipper or band levels of its own: those meters rest.
    Fall(vClipper, 0);
    for (TBandEditor* e : {&MB, &DB})
        for (size_t i = 0; i < e->Out1.size(); ++i) {
            if (e->Out1[i]) Fall(e->Out1[i], 0);
            if (e->Out2[i]) {
                Fall(e->Out2[i], 0);
                e->Out2[i]->setVisible(!e->Global && e->Proc == 0);
            }
        }
}

void TfrmAGC::SavePreset() {
    if (!FNode) return;
    QFileDialog dialog(this, "Save preset", FPresetFolder, PresetFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("AGC");
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    TProcessorAccess(*FNode).SavePreset(dialog.selectedFiles().front().toStdString());
}

void TfrmAGC::LoadPreset() {
    if (!FNode) return;
    QFileDialog dialog(this, "Load preset", FPresetFolder, PresetFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    TProcessorAccess(*FNode).LoadPreset(dialog.selectedFiles().front().toStdString());
    ShowSettings();
}

}  // namespace kelvar
