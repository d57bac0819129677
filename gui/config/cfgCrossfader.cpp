#include "gui/config/cfgCrossfader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/editors/funFadeSettings.h"
#include "media/SongSettings.h"

namespace kelvar {

TCfgFrmCrossfader::TCfgFrmCrossfader(QWidget* Parent) : TfrmBaseConfig(Parent) {
    auto* column = new QVBoxLayout(this);
    frmFadeSettings1 = new TfrmFadeSettings(this);
    column->addWidget(frmFadeSettings1, 1);
    auto* row = new QHBoxLayout;
    eShortSkip = new QCheckBox("Do not crossfade or fade tracks ", this);
    eShortSkip->setObjectName("eShortSkip");
    eShortTime = new QSpinBox(this);
    eShortTime->setObjectName("eShortTime");
    eShortTime->setRange(1, 500);
    eShortTime->setValue(30);
    row->addWidget(eShortSkip);
    row->addWidget(eShortTime);
    row->addWidget(new QLabel("seconds or less in duration", this));
    row->addStretch(1);
    column->addLayout(row);
}

void TCfgFrmCrossfader::LoadFrom(IConfigDoc& Doc) {
    frmFadeSettings1->Init(false, DefaultSongSettings, DefaultSongSettings);
    auto section = Doc.Section("Kelvar")->Section("DefSongSettings");
    const int64_t seconds = section->ReadInteger("XFadeSkipTime", int64_t{eShortTime->value()} * 1000) / 1000;
    eShortTime->setValue(static_cast<int>(seconds < 0 ? -seconds : seconds));
    eShortSkip->setChecked(seconds > 0);
}

void TCfgFrmCrossfader::SaveTo(IConfigDoc& Doc) {
    auto section = Doc.Section("Kelvar")->Section("DefSongSettings");
    TSongSettings settings = DefaultSongSettings;
    frmFadeSettings1->SaveTo(settings);
    section->WriteString("FadeSettings", SongSettingsToString(settings));
    section->WriteInteger("XFadeSkipTime", int64_t{eShortTime->value()} * (eShortSkip->isChecked() ? 1000 : -1000));
}

void TCfgFrmCrossfader::Done() { frmFadeSettings1->Done(); }

namespace cfgCrossfader {

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Crossfader", "Plugin to configure Crossfading rules.", 0x100,
                               "{35D3D07C-1405-4426-A1A3-795A8572E4FD}", CreateConfigNodeInstance<TCustomConfigNode>};
    return &info;
}

}  // namespace cfgCrossfader

}  // namespace kelvar
