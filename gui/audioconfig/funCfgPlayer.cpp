#include "gui/audioconfig/funCfgPlayer.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/KcButtons.h"
#include "controls/KcFonts.h"
#include "controls/KcSysUtils.h"
#include "core/AudioSettingsAccess.h"
#include "core/KelvarApi.h"
#include "gui/audioconfig/funAGC.h"
#include "gui/audioconfig/funDualOutput_combo.h"
#include "gui/audioconfig/funEQ.h"
#include "gui/audioconfig/funWinampDSP.h"
#include "gui/editors/EditorControls.h"

namespace kelvar {

namespace {

TKelvarPlayer* Deck(TDeckId Id) {
    TKelvarApi* api = ProgramKelvarApi();
    return api ? api->DeckPlayer(Id) : nullptr;
}

TAudioPipe* Pipe() {
    TKelvarApi* api = ProgramKelvarApi();
    return api ? api->AudioPipe() : nullptr;
}

TKcDemoButton* ObjectButton(QWidget* Parent, const char* Name, const char* Caption) {
    auto* b = new TKcDemoButton(Parent);
    b->setObjectName(Name);
    b->SetCaption(Caption);
    b->setToolTip("Volume control");
    b->SetColor(TfrmCfgPlayer::ButtonColor);
    // The condensed face: a bold 8-point sans caption ("Sound FX") overflows the 64-pixel button.
    const QFont font = CaptionFont(11, true);
    b->SetFontLeave(TKcFont{font, clBlack});
    b->SetFontEnter(TKcFont{font, clRed});
    b->setFixedSize(64, 24);
    return b;
}

QWidget* Page(QTabWidget* Tabs, const char* Name, const char* Caption, QWidget* Content, const char* Heading) {
    auto* page = new QWidget();
    page->setObjectName(Name);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    if (Heading) {
        auto* label = new QLabel(Heading, page);
        label->setObjectName("lbEqualizer");
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        column->addWidget(label);
    }
    Content->setParent(page);
    column->addWidget(Content);
    column->addStretch(1);
    Tabs->addTab(page, Caption);
    return page;
}

}  // namespace

TfrmCfgPlayer::TfrmCfgPlayer(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmCfgPlayer");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout();
    row->setSpacing(3);
    btDeckA = ObjectButton(this, "btDeckA", "Deck A");
    btDeckB = ObjectButton(this, "btDeckB", "Deck B");
    btSoundFX = ObjectButton(this, "btSoundFX", "Sound FX");
    btAux = ObjectButton(this, "btAux", "Aux 1   ");
    eAux = new QComboBox(this);
    eAux->setObjectName("eAux");
    eAux->addItems({"1", "2", "3"});
    eAux->setCurrentIndex(0);
    eAux->setFixedWidth(40);
    btVoiceFX = ObjectButton(this, "btVoiceFX", "Voice FX");
    btMixer = ObjectButton(this, "btMixer", "Mixer");
    btOutput = ObjectButton(this, "btOutput", "Output");
    for (QWidget* w :
         std::initializer_list<QWidget*>{btDeckA, btDeckB, btSoundFX, btAux, eAux, btVoiceFX, btMixer, btOutput})
        row->addWidget(w);
    row->addStretch(1);
    column->addLayout(row);

    pcSection = new QTabWidget(this);
    pcSection->setObjectName("pcSection");
    pcSection->setDocumentMode(true);
    frmEQ1 = new TfrmEQ();
    frmAGC1 = new TfrmAGC();
    frmWinampDSP1 = new TfrmWinampDSP();
    frmDualOutput_combo1 = new TfrmDualOutput_combo();
    tsEQ = Page(pcSection, "tsEQ", "EQ", frmEQ1, "Equalizer");
    tsAGC = Page(pcSection, "tsAGC", "AGC", frmAGC1, nullptr);
    tsDSP = Page(pcSection, "tsDSP", "DSP", frmWinampDSP1, nullptr);
    tsOutput = Page(pcSection, "tsOutput", "Output", frmDualOutput_combo1, nullptr);
    pcSection->setCurrentWidget(tsAGC);
    column->addWidget(pcSection, 1);
    SetAuxCaption();

    auto select = [this](auto pick) {
        return [this, pick](TKcCustomControl&) { GuardedUi([this, pick] { SelectObject(pick()); }); };
    };
    btDeckA->OnClick = select([] { return TAudioObject(Deck(TDeckId::DeckA)); });
    btDeckB->OnClick = select([] { return TAudioObject(Deck(TDeckId::DeckB)); });
    btSoundFX->OnClick = select([] { return TAudioObject(Deck(TDeckId::SoundFX)); });
    btVoiceFX->OnClick = select([] {
        TKelvarApi* api = ProgramKelvarApi();
        return TAudioObject(api ? api->Voice() : nullptr);
    });
    btMixer->OnClick = select([] { return Pipe() ? TAudioObject(PipeMixer(*Pipe())) : TAudioObject(); });
    btOutput->OnClick = select([] { return Pipe() ? TAudioObject(Pipe()) : TAudioObject(); });
    btAux->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { AuxChosen(); }); };
    connect(eAux, &QComboBox::activated, this, [this] { GuardedUi([this] { AuxChosen(); }); });
}

TfrmCfgPlayer::~TfrmCfgPlayer() { DetachAll(); }

void TfrmCfgPlayer::SetAuxCaption() { btAux->SetCaption("Aux " + eAux->currentText() + "   "); }

void TfrmCfgPlayer::AuxChosen() {
    SetAuxCaption();
    if (!ProgramKelvarApi()) return;
    TKelvarPlayer* aux[3] = {Deck(TDeckId::Aux1), Deck(TDeckId::Aux2), Deck(TDeckId::Aux3)};
    const int index = std::clamp(eAux->currentIndex(), 0, 2);
    if (aux[index]) SelectObject(aux[index]);
}

void TfrmCfgPlayer::Light(TKcDemoButton* Button) {
    for (auto* b : {btDeckA, btDeckB, btSoundFX, btAux, btVoiceFX, btMixer, btOutput})
        b->SetColor(b == Button ? LitColor : ButtonColor);
    QPalette colours = eAux->palette();
    colours.setColor(QPalette::Button, ToQColor(btAux->Color()));
    eAux->setPalette(colours);
}

void TfrmCfgPlayer::SelectObject(const TAudioObject& Object) {
    if (auto* player = std::get_if<TKelvarPlayer*>(&Object); player && *player) {
        TKelvarPlayer* p = *player;
        if (p == Deck(TDeckId::DeckA)) {
            Light(btDeckA);
        } else if (p == Deck(TDeckId::DeckB)) {
            Light(btDeckB);
        } else if (p == Deck(TDeckId::SoundFX)) {
            Light(btSoundFX);
        } else if (p == Deck(TDeckId::Aux1) || p == Deck(TDeckId::Aux2) || p == Deck(TDeckId::Aux3)) {
            eAux->setCurrentIndex(p == Deck(TDeckId::Aux1) ? 0 : (p == Deck(TDeckId::Aux2) ? 1 : 2));
            SetAuxCaption();
            Light(btAux);
        }
        SetChannel(PlayerChannel(*p));
    } else if (auto* voice = std::get_if<TVoiceFX*>(&Object); voice && *voice) {
        Light(btVoiceFX);
        SetChannel(VoiceChannel(**voice));
    } else if (auto* mixer = std::get_if<TMixer*>(&Object); mixer && *mixer) {
        Light(btMixer);
        SetChannel(MixerChannel(**mixer));
    } else if (auto* pipe = std::get_if<TAudioPipe*>(&Object); pipe && *pipe) {
        Light(btOutput);
        frmDualOutput_combo1->Attach(*pipe);
        SetChannel(nullptr);
        SetPage("OUTPUT");
    }
}

void TfrmCfgPlayer::SetChannel(TChannel_base* Channel) {
    frmEQ1->Detach();
    frmAGC1->Detach();
    frmWinampDSP1->Detach();
    if (Channel) {
        const TChannelNodes nodes = ChannelNodes(*Channel);
        frmEQ1->Attach(nodes.Effects);
        frmAGC1->Attach(nodes.Processor);
        frmWinampDSP1->Attach(nodes.WinampDSP);
        if (pcSection->currentWidget() == tsOutput) SetPage("EQ");
    }
}

void TfrmCfgPlayer::SetPage(const std::string& Name) {
    std::string name = Name;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    QWidget* page = nullptr;
    if (name == "EQ") page = tsEQ;
    if (name == "AGC") page = tsAGC;
    if (name == "DSP") page = tsDSP;
    if (name == "OUTPUT") page = tsOutput;
    // A hidden tab can't be made current; show it first.
    if (page) {
        pcSection->setTabVisible(pcSection->indexOf(page), true);
        pcSection->setCurrentWidget(page);
    }
    const bool output = pcSection->currentWidget() == tsOutput;
    pcSection->setTabVisible(pcSection->indexOf(tsOutput), output);
    for (QWidget* audio : {tsEQ, tsAGC, tsDSP}) pcSection->setTabVisible(pcSection->indexOf(audio), !output);
}

void TfrmCfgPlayer::DetachAll() {
    GuardedUi([this] { frmDualOutput_combo1->ApplyNow(); });
    frmEQ1->Detach();
    frmAGC1->Detach();
    frmWinampDSP1->Detach();
    frmDualOutput_combo1->Detach();
}

}  // namespace kelvar
