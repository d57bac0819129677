#pragma once
// The processor page: every control sets the attached processor node at once (through its
// setters, or one field of its parameters and the apply of that stage); live meters; presets.
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;

namespace kelvar {

class TNode_AGC;
class TKcTrackBar;
class TKcDemoButton;
class TKcPowerButton;
class TKcLevelBar;
class TKcUserLed;
class TFxFancyButton;
class TfrmVUMeterBase;
struct TAGCParams;
struct TAGCBandProcessor;

class TfrmAGC : public QWidget {
public:
    explicit TfrmAGC(QWidget* Parent = nullptr);
    ~TfrmAGC() override;

    void Attach(TNode_AGC* Node);
    void Detach();
    TNode_AGC* Node() const { return FNode; }
    // Every control from the node (the 300 ms refresh).
    void ShowSettings();
    // The meters from the node's levels (the 33 ms refresh).
    void ShowMeters();
    void SavePreset();
    void LoadPreset();

    static constexpr int LitColor = 11850460;
    static constexpr int UnlitColor = 13160661;

    // The band controls of the five-band or the dual-band processor, with their editor state.
    struct TBandEditor {
        bool Multi = true;
        int Band = 0;
        int Proc = 0;  // 0 compressor, 1 expander, 2 limiter
        bool Global = false;
        int AttackMode = 1;
        int ReleaseMode = 1;
        std::array<TKcDemoButton*, 5> BandButtons{};
        std::array<TKcDemoButton*, 3> ProcButtons{};
        TKcDemoButton* GlobalButton = nullptr;
        TKcDemoButton* Att1 = nullptr;
        TKcDemoButton* Att2 = nullptr;
        TKcDemoButton* Rel1 = nullptr;
        TKcDemoButton* Rel2 = nullptr;
        TKcTrackBar* Ratio = nullptr;
        TKcTrackBar* Thr = nullptr;
        TKcTrackBar* Attack = nullptr;
        TKcTrackBar* Release = nullptr;
        TKcTrackBar* Hold = nullptr;
        QLabel* lbRatioCaption = nullptr;
        QLabel* lbRatio = nullptr;
        QLabel* lbThr = nullptr;
        QLabel* lbAttack = nullptr;
        QLabel* lbRelease = nullptr;
        QLabel* lbHold = nullptr;
        TKcPowerButton* ProcEnabled = nullptr;
        std::array<TKcLevelBar*, 5> Out1{};
        std::array<TKcLevelBar*, 5> Out2{};
    };

    TKcPowerButton* btByPassAll = nullptr;
    QCheckBox* eGatedAGC_enabled = nullptr;
    TKcTrackBar* eAgc_gate = nullptr;
    TKcTrackBar* eAgc_maxgain = nullptr;
    QLabel* lbAGC_MaxGain = nullptr;
    QCheckBox* eSExp_enabled = nullptr;
    TKcTrackBar* eSExp_Lev = nullptr;
    TKcTrackBar* eSExp_Depth = nullptr;
    TKcTrackBar* eSExp_Thr = nullptr;
    QLabel* lbSExp_lev = nullptr;
    QLabel* lbSExp_Depth = nullptr;
    QLabel* lbSExp_Thr = nullptr;
    QCheckBox* eBass_enabled = nullptr;
    TKcTrackBar* eBass_Gain = nullptr;
    TKcTrackBar* eBass_Freq = nullptr;
    QLabel* lbBass_Gain = nullptr;
    QLabel* lbBass_Freq = nullptr;
    TKcDemoButton* btShelve = nullptr;
    TKcDemoButton* btPeak = nullptr;
    TKcPowerButton* btPreEmp = nullptr;
    TKcDemoButton* btPreEmp50 = nullptr;
    TKcDemoButton* btPreEmp75 = nullptr;
    QCheckBox* eMb_enabled = nullptr;
    TKcTrackBar* eMB_Drive = nullptr;
    QLabel* lbMB_Drive = nullptr;
    TKcTrackBar* eMB_Link01 = nullptr;
    TKcTrackBar* eMB_Link23 = nullptr;
    TKcTrackBar* eMB_Link34 = nullptr;
    QLabel* lbMB_Link01 = nullptr;
    QLabel* lbMB_Link23 = nullptr;
    QLabel* lbMB_Link34 = nullptr;
    TKcTrackBar* eMB_Gain = nullptr;
    QLabel* lbMB_Gain = nullptr;
    QCheckBox* eDb_enabled = nullptr;
    TKcTrackBar* eDb_Drive = nullptr;
    QLabel* lbDb_Drive = nullptr;
    QCheckBox* eClipper_Enabled = nullptr;
    TKcTrackBar* eClipper_Lev = nullptr;
    QLabel* lbClipper_Lev = nullptr;
    TfrmVUMeterBase* frmVUMeterBase1 = nullptr;
    TKcLevelBar* eAGC_VU = nullptr;
    QLabel* lbGatedB = nullptr;
    TKcUserLed* eGated = nullptr;
    TKcLevelBar* vClipper = nullptr;
    TFxFancyButton* btSavePreset = nullptr;
    TFxFancyButton* btLoadPreset = nullptr;
    TBandEditor MB;
    TBandEditor DB;

private:
    // Runs a control's change unless a refresh is setting the controls.
    void Edit(const std::function<void()>& Action);
    // Sets one field of the selected processor of the bands an edit reaches, then applies.
    void EditBands(TBandEditor& E, const std::function<void(TAGCBandProcessor&, int Band)>& Change);
    void BuildBands(TBandEditor& E, QWidget* Box);
    void ShowBands(TBandEditor& E, const TAGCParams& P);
    static TAGCBandProcessor& Proc(TAGCParams& P, const TBandEditor& E, int Band);
    static void LightButton(TKcDemoButton* Button, bool Lit);
    static void Fall(TKcLevelBar* Bar, int Value);

    TNode_AGC* FNode = nullptr;
    int FBusy = 0;
    bool FRegistered = false;
    QString FPresetFolder;
};

}  // namespace kelvar
