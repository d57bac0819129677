#include "gui/onair/unSoundFX.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcSysUtils.h"
#include "controls/KcTrackBar.h"
#include "core/KelvarApi.h"
#include "core/PlayerAccess.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongRows.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GUIcommon.h"
#include "gui/onair/funSoundFXItem.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

constexpr int VolumeMax = 350;
constexpr int Unity = 255;
constexpr int AirBit = ChannelMix::OnAir;
constexpr int CueBit = ChannelMix::Preview;
constexpr TColor PressedColor = 11850460;
constexpr TColor ReleasedColor = 13160661;
constexpr int UpdateCode = 1;
constexpr const char* NoCategory = "<invalid>";

ISongInfoPtr SongOfRow(IDataset& Row) { return TSongInfo::CreateFromDataset(Row, Row.FieldNames()); }

QToolButton* MakeTool(QWidget* Parent, const char* Name, const QString& Text, const char* Hint, QRect Geometry) {
    auto* b = new QToolButton(Parent);
    b->setObjectName(Name);
    b->setText(Text);
    b->setToolTip(Hint);
    b->setGeometry(Geometry);
    b->setAutoRaise(true);
    return b;
}

// Pressed: shadow and highlight exchanged for a sunken look.
void ShowPressed(TKcDemoButton* Button, bool Pressed) {
    Button->SetShadowColor(Pressed ? clBtnHighlight : clBtnShadow);
    Button->SetHighlightColor(Pressed ? clBtnShadow : clBtnHighlight);
    Button->SetColor(Pressed ? PressedColor : ReleasedColor);
}

}  // namespace

TfoSoundFX::TfoSoundFX(QWidget* Parent) : QWidget(Parent) {
    setFixedSize(280, 208);
    auto* bar = new QWidget(this);
    bar->setObjectName("tbSoundFX");
    bar->setGeometry(0, 0, 280, 32);
    btChooseCat = MakeTool(bar, "btChooseCat", "FX", "Choose sound effect category", QRect(2, 3, 40, 26));
    btChooseCat->setPopupMode(QToolButton::MenuButtonPopup);
    puChooseFX = new QMenu(btChooseCat);
    puChooseFX->setObjectName("puChooseFX");
    btChooseCat->setMenu(puChooseFX);
    btPrevious = MakeTool(bar, "btPrevious", QString::fromUtf8("\u25C0"), "Previous page", QRect(46, 3, 26, 26));
    lbStatus = MakeEditorLabel(bar, "lbStatus", "Page", QRect(76, 3, 70, 13), Qt::AlignHCenter);
    lbPage = MakeEditorLabel(bar, "lbPage", "0/0", QRect(76, 16, 70, 13), Qt::AlignHCenter);
    btNext = MakeTool(bar, "btNext", QString::fromUtf8("\u25B6"), "Next page", QRect(150, 3, 26, 26));
    btRefresh = MakeTool(bar, "btRefresh", QString::fromUtf8("\u21BB"), "Refresh list", QRect(180, 3, 26, 26));
    btEQ = MakeTool(bar, "btEQ", "EQ", "Equalizer and DSP Effects", QRect(210, 3, 34, 26));

    const int lefts[] = {5, 75, 145};
    const int tops[] = {37, 79, 121, 163};
    for (int i = 0; i < PadCount; ++i) {
        auto* pad = new TfrmSoundFXItem(this);
        pad->setObjectName(QString("frmSoundFXItem%1").arg(i + 1));
        pad->move(lefts[i % 3], tops[i / 3]);
        FPads[static_cast<size_t>(i)] = pad;
    }
    lbTrackBar = MakeEditorLabel(this, "lbTrackBar", "Volume", QRect(216, 34, 60, 14), Qt::AlignHCenter);
    eTrackBar = MakeEditorTrackBar(this, "eTrackBar", 0, VolumeMax, QRect(222, 50, 26, 110));
    eTrackBar->SetOrientation(TKcOrientation::voVertical);
    eTrackBar->setGeometry(222, 50, 26, 110);
    btZero = MakeEditorButton(this, "btZero", "", "Zero", QRect(250, 0, 14, 10));
    btAir = MakeEditorButton(this, "btAir", "Air", "On-Air output", QRect(216, 164, 30, 18));
    btCue = MakeEditorButton(this, "btCue", "Cue", "Preview output", QRect(248, 164, 30, 18));
    FxFancyButton9 = new TFxFancyButton("Stop", this);
    FxFancyButton9->setObjectName("FxFancyButton9");
    FxFancyButton9->setToolTip("Emergency stop");
    FxFancyButton9->setGeometry(216, 185, 62, 20);
    FxFancyButton9->installEventFilter(this);
    for (TKcDemoButton* b : {btAir, btCue}) {
        QFont f = b->font();
        f.setPixelSize(9);
        f.setBold(true);
        SetDemoFont(*b, f);
        ShowPressed(b, false);
    }

    connect(btChooseCat, &QToolButton::clicked, this, [this] { GuardedUi([this] { ChooseAll(); }); });
    connect(puChooseFX, &QMenu::aboutToShow, this, [this] { GuardedUi([this] { BuildCategoryMenu(); }); });
    connect(btPrevious, &QToolButton::clicked, this, [this] { GuardedUi([this] { ShowPage(FPageIndex - 1); }); });
    connect(btNext, &QToolButton::clicked, this, [this] { GuardedUi([this] { ShowPage(FPageIndex + 1); }); });
    connect(btRefresh, &QToolButton::clicked, this, [this] { GuardedUi([this] { RefreshClick(); }); });
    connect(btEQ, &QToolButton::clicked, this, [this] { GuardedUi([this] { EQClick(); }); });
    eTrackBar->OnChange = [this](TKcCustomControl&) { GuardedUi([this] { VolumeChange(); }); };
    btZero->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { ZeroClick(); }); };
    btAir->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { AirClick(); }); };
    btCue->OnClick = [this](TKcCustomControl&) { GuardedUi([this] { CueClick(); }); };
}

TfoSoundFX::~TfoSoundFX() { Done(); }

bool TfoSoundFX::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FxFancyButton9 && Event->type() == QEvent::MouseButtonPress) GuardedUi([this] { StopClick(); });
    return QWidget::eventFilter(Watched, Event);
}

void TfoSoundFX::Init() {
    FPlayer = Api ? Api->DeckPlayer(TDeckId::SoundFX) : nullptr;
    FPageIndex = 0;
    ClearPads();
    FLastVolume = Unity;
    FLastMixFlags = 0;
    FTrackGuard = true;
    lbTrackBar->setText("Volume");
    eTrackBar->SetMinValue(0);
    eTrackBar->SetMaxValue(VolumeMax);
    eTrackBar->SetFrequency(25);
    if (FPlayer) eTrackBar->SetPosition(TPlayerAccess(FPlayer).Volume());
    FTrackGuard = false;
    // The zero button sits beside the unity mark.
    const int top = static_cast<int>(std::lround((1.0 - double(Unity) / VolumeMax) * eTrackBar->height())) +
                    eTrackBar->y() - btZero->height() / 2 + 4;
    btZero->move(eTrackBar->x() + eTrackBar->width() + 2, top);
    if (GuiHeartBeat && !FRegistered) {
        GuiHeartBeat->Add(100, this, UpdateCode, [this](THeartBeat&) { GuardedUi([this] { UpdateControls(); }); });
        FRegistered = true;
    }
}

void TfoSoundFX::Done() {
    if (FRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, UpdateCode);
    FRegistered = false;
    ClearPads();
    FRows.reset();
    DetachCategory();
    FCategory = nullptr;
    FPlayer = nullptr;
}

void TfoSoundFX::DetachCategory() {
    if (FCategory) FCategory->OnStatus = nullptr;
}

void TfoSoundFX::LoadSettings(IConfigDoc& Section) {
    const std::string name = Section.ReadString("ActiveCategory", "");
    const int page = static_cast<int>(Section.ReadInteger("ActivePage", FPageIndex));
    if (!PlaylistManager || !PlaylistManager->Categories) return;
    TCustomCategory* c = PlaylistManager->Categories->FindByName(name);
    if (c) ShowCategory(c, page);
}

void TfoSoundFX::SaveSettings(IConfigDoc& Section) {
    Section.WriteString("ActiveCategory", FCategory ? FCategory->Name : NoCategory);
    Section.WriteInteger("ActivePage", FPageIndex);
}

void TfoSoundFX::ClearPads() {
    FPageIndex = 0;
    for (TfrmSoundFXItem* pad : FPads) pad->ClearPad();
    lbPage->setText("0/0");
    btNext->setEnabled(false);
    btPrevious->setEnabled(false);
}

void TfoSoundFX::ShowCategory(TCustomCategory* C, int Page) {
    ClearPads();
    if (!C) return;
    if (C != FCategory) DetachCategory();
    FCategory = C;
    C->OnStatus = [this](TCustomCategory&, int Percent, const std::string&) {
        lbStatus->setText(QString("Busy (%1%)").arg(Percent));
    };
    FRows = OpenCategorySongs(*C);
    ShowPage(Page);
}

void TfoSoundFX::ShowPage(int Page) {
    const int count = FRows ? FRows->RecordCount() : 0;
    const int last = (count - 1) / PadCount;  // truncated: an empty category has one page
    ClearPads();
    Page = std::min(std::max(Page, 0), std::max(last, 0));
    FPageIndex = Page;
    lbStatus->setText("Page");
    lbPage->setText(QString("%1/%2").arg(FPageIndex + 1).arg(std::max(last, 0) + 1));
    if (FRows && count > 0) {
        FRows->First();
        for (int i = 0; i < FPageIndex * PadCount && !FRows->Eof(); ++i) FRows->Next();
        for (int i = 0; i < PadCount && !FRows->Eof(); ++i) {
            FPads[static_cast<size_t>(i)]->SetSong(FPlayer, SongOfRow(*FRows), FPageIndex * PadCount + i + 1);
            FRows->Next();
        }
    }
    btPrevious->setEnabled(FPageIndex > 0);
    btNext->setEnabled(FPageIndex < last);
}

void TfoSoundFX::UpdateControls() {
    if (!FPlayer) return;
    TPlayerAccess deck(FPlayer);
    const int volume = deck.Volume();
    const int flags = deck.MixMode();
    if (flags != FLastMixFlags) {
        FLastMixFlags = flags;
        ShowPressed(btAir, (flags & AirBit) != 0);
        ShowPressed(btCue, (flags & CueBit) != 0);
    }
    if (volume != FLastVolume) {
        FLastVolume = volume;
        SetTrackBarSilently(volume);
    }
}

void TfoSoundFX::SetTrackBarSilently(int Position) {
    FTrackGuard = true;
    eTrackBar->SetPosition(Position);
    FTrackGuard = false;
}

void TfoSoundFX::VolumeChange() {
    if (FTrackGuard || !FPlayer) return;
    FTrackGuard = true;
    int position = eTrackBar->Position();
    if (position > 250 && position < 260) {
        position = Unity;
        eTrackBar->SetPosition(position);
    }
    TPlayerAccess(FPlayer).SetVolume(position);
    UpdateControls();
    FTrackGuard = false;
}

void TfoSoundFX::ZeroClick() {
    if (!FPlayer) return;
    TPlayerAccess(FPlayer).SetVolume(Unity);
    UpdateControls();
}

void TfoSoundFX::AirClick() {
    if (!TPlayerAccess(FPlayer).ToggleMix(AirBit)) return;
    UpdateControls();
}

void TfoSoundFX::CueClick() {
    if (!TPlayerAccess(FPlayer).ToggleMix(CueBit)) return;
    UpdateControls();
}

void TfoSoundFX::StopClick() {
    if (Api) TPlayerAccess(Api->DeckPlayer(TDeckId::SoundFX)).Unload();
}

void TfoSoundFX::EQClick() {
    if (FPlayer) ShowAudioSettings(TAudioObject(FPlayer), "EQ", false);
}

void TfoSoundFX::RefreshClick() {
    if (FCategory) ShowCategory(FCategory, FPageIndex);
}

void TfoSoundFX::ChooseAll() {
    if (!PlaylistManager || !PlaylistManager->Categories) return;
    if (TCustomCategory* all = PlaylistManager->Categories->FindByName("Sound FX (All)")) ShowCategory(all, 0);
}

void TfoSoundFX::AddCategoryItems(QMenu* Menu, TCustomCategory* First) {
    for (TCustomCategory* c = First; c; c = c->NextSibling()) {
        const QString name = QString::fromStdString(c->Name);
        const int32_t id = c->GetID();
        auto choose = [this, id] {
            GuardedUi([this, id] {
                if (PlaylistManager && PlaylistManager->Categories)
                    ShowCategory(PlaylistManager->Categories->FindByID(id), 0);
            });
        };
        if (TCustomCategory* child = c->FirstChild()) {
            QMenu* sub = Menu->addMenu(name);
            QAction* self = sub->addAction(name);
            self->setData(id);
            connect(self, &QAction::triggered, this, choose);
            sub->addSeparator();
            AddCategoryItems(sub, child);
        } else {
            QAction* a = Menu->addAction(name);
            a->setData(id);
            connect(a, &QAction::triggered, this, choose);
        }
    }
}

void TfoSoundFX::BuildCategoryMenu() {
    puChooseFX->clear();
    if (!PlaylistManager || !PlaylistManager->Categories) return;
    if (TCustomCategory* fx = PlaylistManager->Categories->FindByName("Sound FX"))
        AddCategoryItems(puChooseFX, fx->FirstChild());
}

TwiSoundFX::TwiSoundFX() : TWindowItem("SoundFX", "Sound FX", false) {}

TwiSoundFX::~TwiSoundFX() {
    if (FFrame) FFrame->Done();
}

void TwiSoundFX::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfoSoundFX>();
    FFrame->Api = ProgramKelvarApi();
    if (FFrame->Api) FFrame->PlaylistManager = FFrame->Api->PlaylistManager();
    FFrame->Init();
    if (GuiConfig)
        if (auto section = GuiConfig->Section("SoundFX")) FFrame->LoadSettings(*section);
}

void TwiSoundFX::Deactivate() {
    if (FFrame) {
        if (GuiConfig)
            if (auto section = GuiConfig->Section("SoundFX")) FFrame->SaveSettings(*section);
        FFrame->Done();
        FFrame->Api = nullptr;
        FFrame->PlaylistManager.reset();
    }
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiSoundFX::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
