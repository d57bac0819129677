#include "gui/config/funPlaylistRules.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvar {

namespace {

struct TRule {
    QSpinBox* TfrmPlaylistRules::*Spin;
    const char* Name;
    const char* Before;
    const char* After;
    const char* Key;
    int Max;
    int Value;
};
constexpr TRule Rules[] = {
    {&TfrmPlaylistRules::eAlbumInterval, "eAlbumInterval", "Do not play same album within ", "minutes ", "MinAlbumTime",
     99999, 60},
    {&TfrmPlaylistRules::eArtistInterval, "eArtistInterval", "Do not play same artist within ", "minutes ",
     "MinArtistTime", 99999, 120},
    {&TfrmPlaylistRules::eSongInterval, "eSongInterval", "Do not play same title within ", "minutes ", "MinSongTime",
     99999, 240},
    {&TfrmPlaylistRules::eSongIDInterval, "eSongIDInterval", "Do not play same track within ", "minutes ",
     "MinSongIDTime", 99999, 240},
    {&TfrmPlaylistRules::eMinQueueSize, "eMinQueueSize", "Keep ", "songs in the queue", "MinQueueSize", 20, 0},
};

}  // namespace

TfrmPlaylistRules::TfrmPlaylistRules(QWidget* Parent) : QFrame(Parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox("Playlist rules", this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const TRule& rule : Rules) {
        auto* spin = new QSpinBox(group);
        spin->setObjectName(rule.Name);
        spin->setRange(rule.Spin == &TfrmPlaylistRules::eMinQueueSize ? 0 : 1, rule.Max);
        spin->setValue(rule.Value);
        this->*rule.Spin = spin;
        grid->addWidget(new QLabel(rule.Before, group), row, 0);
        grid->addWidget(spin, row, 1);
        grid->addWidget(new QLabel(rule.After, group), row, 2);
        ++row;
    }
    eUseGhost = new QCheckBox("Use ghost queue (Faster load of next song)", group);
    eUseGhost->setObjectName("eUseGhost");
    grid->addWidget(eUseGhost, row, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    outer->addWidget(group);
    QObject::connect(eMinQueueSize, &QSpinBox::valueChanged, this, [this] { UpdateGhost(); });
}

void TfrmPlaylistRules::UpdateGhost() { eUseGhost->setEnabled(eMinQueueSize->value() <= 0); }

void TfrmPlaylistRules::LoadFrom(IConfigDoc& Section) {
    for (const TRule& rule : Rules) {
        QSpinBox* spin = this->*rule.Spin;
        spin->setValue(static_cast<int>(Section.ReadInteger(rule.Key, spin->value())));
    }
    eUseGhost->setChecked(Section.ReadBool("UseGhostQueue", eUseGhost->isChecked()));
    UpdateGhost();
}

void TfrmPlaylistRules::SaveTo(IConfigDoc& Section) {
    for (const TRule& rule : Rules) Section.WriteInteger(rule.Key, (this->*rule.Spin)->value());
    Section.WriteBool("UseGhostQueue", eUseGhost->isChecked());
}

}  // namespace kelvar
