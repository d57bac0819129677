#pragma once
// The "Audio mixer pipeline" page: only the process priority goes into the document; the voice
// destination acts on the running voice at once and the buttons open the audio settings.
#include "gui/config/ConfigNode.h"

namespace kelvar {

class TfrmCfgAudioPipe;

class TCfgFrmAudioPipe : public TfrmBaseConfig {
public:
    explicit TCfgFrmAudioPipe(QWidget* Parent = nullptr);

    void Init() override;
    void LoadFrom(IConfigDoc& Doc) override;
    void SaveTo(IConfigDoc& Doc) override;

    TfrmCfgAudioPipe* frmCfgAudioPipe1 = nullptr;
};

namespace cfgAudioPipe {

class TCustomConfigNode : public TBaseConfigNode {
public:
    TCustomConfigNode() { FCaption = "Audio mixer pipeline"; }

protected:
    TfrmBaseConfig* CreateFrame() override { return new TCfgFrmAudioPipe; }
};

TPluginInfo* GetPluginInfo();

}  // namespace cfgAudioPipe

}  // namespace kelvar
