#include "gui/config/funAudioPipe.h"

#include <QApplication>
#include <QStyle>

#include "controls/KcTrackBar.h"
#include "core/AudioSettingsAccess.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"

namespace kelvar {

namespace {

constexpr int RowTop = 28;
constexpr int RowStep = 38;
constexpr int ButtonLeft = 100;
constexpr int ButtonWidth = 44;
constexpr int ButtonGap = 8;
constexpr int BusX = 300;
constexpr int FXLineWidth = 60;

struct TPriority {
    int64_t Class;
    const char* Label;
};
constexpr TPriority Priorities[] = {{PriorityClass::Normal, "Normal"},
                                    {PriorityClass::AboveNormal, "Above normal"},
                                    {PriorityClass::High, "High"},
                                    {PriorityClass::Realtime, "Time critical (Not recommended)"}};

QWidget* PathLine(QWidget* Parent, int X, int Y, int W, int H, const QColor& Colour = Qt::black) {
    auto* line = new QFrame(Parent);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, Colour);
    line->setPalette(p);
    line->setGeometry(X, Y, W, H);
    return line;
}

TBoxShape* ShapeBox(QWidget* Parent, int X, int Y, int W, int H, const QColor& Colour) {
    auto* box = new TBoxShape(Parent);
    box->SetBrush(Colour);
    box->setGeometry(X, Y, W, H);
    return box;
}

TBoxButton* BoxButtonAt(QWidget* Parent, const char* Caption, const char* Name, int X, int Y, int W = ButtonWidth) {
    auto* button = new TBoxButton(Caption, Parent);
    button->setObjectName(Name);
    button->setToolTip("Click to configure");
    button->setGeometry(X, Y, W, 22);
    return button;
}

}  // namespace

TfrmCfgAudioPipe::TfrmCfgAudioPipe(QWidget* Parent) : QFrame(Parent) {
    setMinimumSize(536, 400);
    const char* names[6][3] = {
        {"btReaders", "btDecoders", "btDSP"},          {"BoxButton5", "BoxButton6", "BoxButton7"},
        {"BoxButton9", "BoxButton10", "BoxButton11"},  {"BoxButton3", "BoxButton4", "BoxButton8"},
        {"BoxButton13", "BoxButton14", "BoxButton15"}, {"BoxButton2", "BoxButton1", "btMixerDSP"}};
    const char* captions[3] = {"EQ", "AGC", "DSP"};
    const char* labels[6] = {"Deck A", "Deck B", "Sound FX", nullptr, "Voice FX", "Mixer"};

    // The mixer bus every source row feeds.
    ShapeBox(this, BusX, RowTop - 4, 24, RowStep * 4 + 30, QColor(200, 216, 240));
    for (int row = 0; row < 6; ++row) {
        const int y = RowTop + row * RowStep + (row == 5 ? 24 : 0);
        if (labels[row]) {
            auto* label = new QLabel(labels[row], this);
            label->setGeometry(8, y + 3, 80, 18);
        }
        std::array<TBoxButton*, 3> buttons{};
        for (int i = 0; i < 3; ++i) {
            buttons[static_cast<size_t>(i)] =
                BoxButtonAt(this, captions[i], names[row][i], ButtonLeft + i * (ButtonWidth + ButtonGap), y);
            if (i > 0) PathLine(this, ButtonLeft + i * (ButtonWidth + ButtonGap) - ButtonGap, y + 10, ButtonGap, 2);
        }
        const int lineStart = ButtonLeft + 3 * ButtonWidth + 2 * ButtonGap;
        if (row < 5 && row != 4) PathLine(this, lineStart, y + 10, BusX - lineStart, 2);
        Rows.push_back(buttons);
    }
    btReaders = Rows[0][0], btDecoders = Rows[0][1], btDSP = Rows[0][2];
    BoxButton5 = Rows[1][0], BoxButton6 = Rows[1][1], BoxButton7 = Rows[1][2];
    BoxButton9 = Rows[2][0], BoxButton10 = Rows[2][1], BoxButton11 = Rows[2][2];
    BoxButton3 = Rows[3][0], BoxButton4 = Rows[3][1], BoxButton8 = Rows[3][2];
    BoxButton13 = Rows[4][0], BoxButton14 = Rows[4][1], BoxButton15 = Rows[4][2];
    BoxButton2 = Rows[5][0], BoxButton1 = Rows[5][1], btMixerDSP = Rows[5][2];

    lbAux = new QLabel("Aux 1", this);
    lbAux->setGeometry(8, RowTop + 3 * RowStep + 3, 44, 18);
    eAux = new QComboBox(this);
    eAux->setObjectName("eAux");
    eAux->addItems({"1", "2", "3"});
    eAux->setGeometry(52, RowTop + 3 * RowStep, 42, 22);

    // From the bus down into the mixer row, and out to the outputs.
    const int mixerY = RowTop + 5 * RowStep + 24;
    PathLine(this, BusX + 11, RowTop + RowStep * 4 + 26, 2, mixerY - (RowTop + RowStep * 4 + 26));
    PathLine(this, 60, mixerY - 12, BusX + 13 - 60, 2);
    PathLine(this, 60, mixerY - 12, 2, 22);
    PathLine(this, 62, mixerY + 10, ButtonLeft - 62, 2);
    const int outX = ButtonLeft + 3 * ButtonWidth + 2 * ButtonGap;
    PathLine(this, outX, mixerY + 10, 380 - outX, 2);
    btMixerOutput = BoxButtonAt(this, "Air Out", "btMixerOutput", 380, mixerY, 64);
    Image1 = new QLabel(this);
    Image1->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MediaVolume).pixmap(24, 24));
    Image1->setToolTip("Air output - main audio destination");
    Image1->setGeometry(452, mixerY - 1, 24, 24);

    // The cue path: from the decks' bus to its own output.
    iCue0 = BoxButtonAt(this, "Cue Out", "iCue0", 380, RowTop + RowStep, 64);
    iCue0->setToolTip("Click to configure");
    iCue.push_back(iCue0);
    const QColor cue(0, 128, 192);
    iCue.push_back(PathLine(this, BusX + 24, RowTop + 10, 30, 2, cue));
    iCue.push_back(PathLine(this, BusX + 52, RowTop + 10, 2, RowStep, cue));
    iCue.push_back(PathLine(this, BusX + 52, RowTop + RowStep + 10, 380 - BusX - 52, 2, cue));
    auto* cueImage = new QLabel(this);
    cueImage->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MediaVolume).pixmap(24, 24));
    cueImage->setToolTip("Cue output sound - preview tracks on this");
    cueImage->setGeometry(452, RowTop + RowStep - 1, 24, 24);
    iCue.push_back(cueImage);
    iCue.push_back(PathLine(this, 444, RowTop + RowStep + 10, 8, 2, cue));

    // The voice's ways: into the mixer bus, or straight to the sound card.
    const int voiceY = RowTop + 4 * RowStep + 10;
    const int voiceX = ButtonLeft + 3 * ButtonWidth + 2 * ButtonGap;
    const QColor fx(192, 64, 0);
    iFX.push_back(PathLine(this, voiceX + FXLineWidth, voiceY, BusX - voiceX - FXLineWidth, 2, fx));  // to the bus
    iFX.push_back(PathLine(this, voiceX, voiceY, FXLineWidth, 2, fx));                                // the voice out
    iFX.push_back(PathLine(this, voiceX + FXLineWidth, voiceY, 2, 40, fx));
    iFX.push_back(PathLine(this, voiceX + FXLineWidth, voiceY + 38, 470 - voiceX - FXLineWidth, 2, fx));
    iFX.push_back(PathLine(this, 470, RowTop + RowStep + 24, 2, voiceY + 40 - (RowTop + RowStep + 24), fx));
    iFX.push_back(PathLine(this, voiceX, voiceY - 6, 2, 14, fx));
    iFX.push_back(PathLine(this, voiceX + FXLineWidth - 2, voiceY - 6, 2, 14, fx));
    iFXLine = iFX[1];

    auto* voiceLabel = new QLabel("Voice FX destination", this);
    voiceLabel->setGeometry(8, 330, 130, 20);
    eVoiceMode = new QComboBox(this);
    eVoiceMode->setObjectName("eVoiceMode");
    eVoiceMode->addItems({"None", "Mixer", "Soundcard", "Encoders"});
    eVoiceMode->setGeometry(140, 328, 110, 24);

    for (int i = 0; i < 3; ++i) iEncoders.push_back(PathLine(this, 380, 300 + i * 6, 60, 2, Qt::darkGray));
    btEncoders = BoxButtonAt(this, "Encoders", "btEncoders", 440, 290, 64);

    auto* priorityLabel = new QLabel("Process priority", this);
    priorityLabel->setGeometry(8, 364, 130, 20);
    eProcessPriority = new TKcTrackBar(this);
    eProcessPriority->setObjectName("eProcessPriority");
    eProcessPriority->SetMinValue(1);
    eProcessPriority->SetMaxValue(4);
    eProcessPriority->SetPosition(3);
    eProcessPriority->setGeometry(140, 360, 120, 28);
    UseWindowGutter(*eProcessPriority);
    lbProcessPriority = new QLabel(this);
    lbProcessPriority->setObjectName("lbProcessPriority");
    lbProcessPriority->setGeometry(270, 364, 240, 20);

    for (int row = 0; row < 6; ++row) {
        for (int i = 0; i < 3; ++i) {
            TBoxButton* button = Rows[static_cast<size_t>(row)][static_cast<size_t>(i)];
            QObject::connect(button, &QToolButton::clicked, this, [this, row, button] {
                ShowAudioSettings(RowObject(row), button->text().toStdString(), true);
            });
        }
    }
    QObject::connect(btMixerOutput, &QToolButton::clicked, this, [this] { OpenOutput(); });
    QObject::connect(iCue0, &QToolButton::clicked, this, [this] { OpenOutput(); });
    QObject::connect(eAux, &QComboBox::currentIndexChanged, this,
                     [this] { lbAux->setText("Aux " + eAux->currentText()); });
    QObject::connect(eVoiceMode, &QComboBox::activated, this, [this] { ApplyVoiceDestination(); });
    eProcessPriority->OnChange = [this](TKcCustomControl&) { ShowPriorityLabel(); };
}

void TfrmCfgAudioPipe::Init() {
    eAux->setCurrentIndex(0);
    eVoiceMode->setCurrentIndex(0);
    for (QWidget* shape : iEncoders) shape->hide();
    btEncoders->hide();
    const int encoders = eVoiceMode->findText("Encoders");
    if (encoders >= 0) eVoiceMode->removeItem(encoders);
    ShowPriorityLabel();
}

int TfrmCfgAudioPipe::PriorityPosition(int64_t PriorityClass) {
    for (int i = 0; i < 4; ++i)
        if (Priorities[i].Class == PriorityClass) return i + 1;
    return 3;
}

int64_t TfrmCfgAudioPipe::PriorityOfPosition(int Position) {
    if (Position < 1 || Position > 4) return PriorityClass::Normal;
    return Priorities[Position - 1].Class;
}

void TfrmCfgAudioPipe::ShowPriorityLabel() {
    const int position = eProcessPriority->Position();
    lbProcessPriority->setText(position >= 1 && position <= 4 ? Priorities[position - 1].Label : "");
}

TAudioObject TfrmCfgAudioPipe::RowObject(int Row) const {
    TKelvarApi* api = ProgramKelvarApi();
    if (!api) return std::monostate{};
    switch (Row) {
        case 0: return api->DeckPlayer(TDeckId::DeckA);
        case 1: return api->DeckPlayer(TDeckId::DeckB);
        case 2: return api->DeckPlayer(TDeckId::SoundFX);
        case 3: {
            const TDeckId aux[] = {TDeckId::Aux1, TDeckId::Aux2, TDeckId::Aux3};
            const int index = eAux->currentIndex();
            return index >= 0 && index < 3 ? TAudioObject(api->DeckPlayer(aux[index])) : TAudioObject(std::monostate{});
        }
        case 4: return api->Voice();
        case 5: return api->AudioPipe() ? TAudioObject(PipeMixer(*api->AudioPipe())) : std::monostate{};
        default: return std::monostate{};
    }
}

void TfrmCfgAudioPipe::ShowVoiceMode() {
    TKelvarApi* api = ProgramKelvarApi();
    if (!api || !api->HasVoice()) return;
    switch (api->VoiceRoute()) {
        case TVoiceRoute::Soundcard: eVoiceMode->setCurrentText("Soundcard"); break;
        case TVoiceRoute::None: eVoiceMode->setCurrentText("None"); break;
        case TVoiceRoute::Mixer: eVoiceMode->setCurrentText("Mixer"); break;
        case TVoiceRoute::Other: eVoiceMode->setCurrentIndex(-1); break;
    }
}

void TfrmCfgAudioPipe::ApplyVoiceDestination() {
    for (QWidget* shape : iFX) shape->hide();
    iFXLine->resize(FXLineWidth, iFXLine->height());
    TKelvarApi* api = ProgramKelvarApi();
    const QString item = eVoiceMode->currentIndex() >= 0 ? eVoiceMode->currentText() : QString();
    if (item == "None") {
        iFX[1]->show();
        if (api) api->SetVoiceRoute(TVoiceRoute::None);
    } else if (item == "Mixer") {
        iFX[1]->show();
        iFX[0]->show();
        if (api) api->SetVoiceRoute(TVoiceRoute::Mixer);
    } else if (item == "Soundcard") {
        for (int i = 1; i <= 4; ++i) iFX[static_cast<size_t>(i)]->show();
        if (api) api->SetVoiceRoute(TVoiceRoute::Soundcard);
    }
}

void TfrmCfgAudioPipe::ShowCuePath() {
    bool preview = false;
    if (TKelvarApi* api = ProgramKelvarApi(); api && api->AudioPipe())
        preview = TOutputAccess(*api->AudioPipe()).GetSettings().PreviewStyle != PreviewStyle::None;
    for (QWidget* shape : iCue) shape->setVisible(preview);
}

void TfrmCfgAudioPipe::OpenOutput() {
    if (TKelvarApi* api = ProgramKelvarApi(); api && api->AudioPipe())
        ShowAudioSettings(api->AudioPipe(), "OUTPUT", true);
    ShowCuePath();
}

}  // namespace kelvar
