#include "gui/config/cfgAudioPipe.h"

#include <QVBoxLayout>

#include "controls/KcTrackBar.h"
#include "core/ProcessPriority.h"
#include "gui/config/funAudioPipe.h"

namespace kelvar {

TCfgFrmAudioPipe::TCfgFrmAudioPipe(QWidget* Parent) : TfrmBaseConfig(Parent) {
    auto* column = new QVBoxLayout(this);
    frmCfgAudioPipe1 = new TfrmCfgAudioPipe(this);
    column->addWidget(frmCfgAudioPipe1);
    column->addStretch(1);
}

void TCfgFrmAudioPipe::Init() { frmCfgAudioPipe1->Init(); }

void TCfgFrmAudioPipe::LoadFrom(IConfigDoc& Doc) {
    TfrmCfgAudioPipe& f = *frmCfgAudioPipe1;
    f.eProcessPriority->SetPosition(
        TfrmCfgAudioPipe::PriorityPosition(Doc.Section("Kelvar")->ReadInteger("ProcessPriority", PriorityClass::High)));
    f.ShowVoiceMode();
    f.ShowPriorityLabel();
    f.ApplyVoiceDestination();
    f.ShowCuePath();
}

void TCfgFrmAudioPipe::SaveTo(IConfigDoc& Doc) {
    Doc.Section("Kelvar")->WriteInteger(
        "ProcessPriority", TfrmCfgAudioPipe::PriorityOfPosition(frmCfgAudioPipe1->eProcessPriority->Position()));
}

namespace cfgAudioPipe {

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Audio mixer pipeline", "Plugin to configure Audio Mixer Pipeline.", 0x100,
                               "{8516EFA1-E5DD-4C4B-925A-670DD6C54CAB}", CreateConfigNodeInstance<TCustomConfigNode>};
    return &info;
}

}  // namespace cfgAudioPipe

}  // namespace kelvar
