#include "gui/onair/funSoundFXItem.h"

#include <QLabel>
#include <QMouseEvent>
#include <cstdlib>

#include "controls/KcSysUtils.h"
#include "core/HeartBeat.h"
#include "core/PlayerAccess.h"
#include "foundation/MiscFunc.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {

TSongSettings PadSettings;

namespace {

constexpr TColor IdleColor = 13032931;
constexpr TColor PlayingColor = 10143183;
constexpr int TickCode = 1;

}  // namespace

TfrmSoundFXItem::TfrmSoundFXItem(QWidget* Parent) : QFrame(Parent) {
    setFixedSize(68, 40);
    pMain = new QFrame(this);
    pMain->setObjectName("pMain");
    pMain->setFrameShape(QFrame::Panel);
    pMain->setFrameShadow(QFrame::Raised);
    pMain->setGeometry(0, 0, 68, 40);
    pMain->setAutoFillBackground(true);
    lbTitle = new QLabel(pMain);
    lbTitle->setObjectName("lbTitle");
    lbTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lbTitle->setWordWrap(true);
    lbTitle->setGeometry(2, 1, 64, 24);
    QFont small = lbTitle->font();
    small.setPixelSize(9);
    lbTitle->setFont(small);
    lbDuration = new QLabel(pMain);
    lbDuration->setObjectName("lbDuration");
    lbDuration->setAlignment(Qt::AlignCenter);
    lbDuration->setGeometry(2, 25, 64, 13);
    lbDuration->setFont(small);
    lbNumber = new QLabel(pMain);
    lbNumber->setObjectName("lbNumber");
    lbNumber->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    lbNumber->setGeometry(46, 26, 20, 12);
    QFont tiny = small;
    tiny.setPixelSize(8);
    lbNumber->setFont(tiny);
    SetPanelColor(IdleColor);
    ClearPad();
}

TfrmSoundFXItem::~TfrmSoundFXItem() {
    if (FPlaying && GuiHeartBeat) GuiHeartBeat->Remove(this, TickCode);
}

void TfrmSoundFXItem::SetPanelColor(int Color) {
    QPalette pal = pMain->palette();
    pal.setColor(QPalette::Window, ToQColor(static_cast<TColor>(Color)));
    pMain->setPalette(pal);
}

std::string TfrmSoundFXItem::FullDuration() const {
    return FSong ? FormatTimeMs(3, std::atoll(FSong->GetValue("duration").c_str())) : "0:00.0";
}

void TfrmSoundFXItem::SetSong(TKelvarPlayer* Player, const ISongInfoPtr& Song, int Number) {
    FPlayer = Player;
    FSong = Song;
    FPlaying = false;
    if (!Song) return;
    const QString title = QString::fromStdString(JoinArtistTitle(Song->GetValue("artist"), Song->GetValue("title")));
    lbTitle->setText(title);
    lbTitle->setToolTip(title);
    SetLabelText(lbNumber, std::to_string(Number));
    SetLabelText(lbDuration, FullDuration());
    bool playing = false;
    if (TPlayerAccess deck(Player); deck.State() == TDeckPhase::Playing) {
        const ISongInfoPtr now = deck.Song();
        playing = now && now->GetID() == Song->GetID();
    }
    SetPlaying(playing);
}

void TfrmSoundFXItem::ClearPad() {
    SetPlaying(false);
    FSong.reset();
    FPlayer = nullptr;
    lbTitle->setText("<empty>");
    lbTitle->setToolTip("");
    lbDuration->setText("0:00.0");
    lbNumber->setText("");
}

void TfrmSoundFXItem::SetPlaying(bool Value) {
    if (Value == FPlaying) return;
    FPlaying = Value;
    if (Value) {
        if (GuiHeartBeat) GuiHeartBeat->Add(90, this, TickCode, [this](THeartBeat&) { GuardedUi([this] { Tick(); }); });
        SetPanelColor(PlayingColor);
    } else {
        if (GuiHeartBeat) GuiHeartBeat->Remove(this, TickCode);
        SetPanelColor(IdleColor);
        SetLabelText(lbDuration, FullDuration());
    }
}

void TfrmSoundFXItem::Tick() {
    if (!FPlaying) return;
    TPlayerAccess deck(FPlayer);
    if (!FPlayer || !FSong || deck.State() == TDeckPhase::Empty) {
        SetPlaying(false);
        return;
    }
    const ISongInfoPtr now = deck.Song();
    if (now && now->GetID() == FSong->GetID())
        SetLabelText(lbDuration, FormatTimeMs(3, deck.Duration() - deck.Position()));
    else
        SetPlaying(false);
}

void TfrmSoundFXItem::Click() {
    if (!FPlayer || !FSong) return;
    TPlayerAccess deck(FPlayer);
    if (FPlaying) {
        deck.Unload();
        SetPlaying(false);
        return;
    }
    // One song per click: whatever the player had goes, and the other pads notice on their tick.
    deck.Unload();
    PadSettings = DefaultSongSettings;
    PadSettings.GapKiller = 1;
    PadSettings.FadeIn.Enabled = 0;
    PadSettings.FadeOut.Enabled = 0;
    PadSettings.XFadeMode = 0;
    deck.SetDefaultSettings(&PadSettings);
    deck.LoadSong(FSong);
    deck.Play();
    SetPlaying(true);
}

void TfrmSoundFXItem::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) GuardedUi([this] { Click(); });
    QFrame::mousePressEvent(Event);
}

}  // namespace kelvar
