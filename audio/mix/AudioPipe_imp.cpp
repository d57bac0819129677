#include "audio/mix/AudioPipe_imp.h"

namespace kelvar {

TAudioPipe::TAudioPipe() : FOutput(std::make_unique<TDualOutput_Combo>()), FMixer(std::make_unique<TMixer>()) {}

TAudioPipe::~TAudioPipe() {
    Close();
    // The output threads are gone before the mix they pull.
    FOutput.reset();
    FMixer.reset();
}

bool TAudioPipe::Open() {
    FOutput->SetMainSource(FMixer->GetMasterOutput());
    FOutput->SetPreviewSource(FMixer->GetPreviewPin());
    return FOutput->Open(DefaultAudioFormat);
}

void TAudioPipe::Close() { FOutput->Close(); }

void TAudioPipe::LoadConfig(IConfigDoc& Section) {
    if (auto output = Section.Section("Output")) FOutput->LoadConfig(*output);
    if (auto mixer = Section.Section("Mixer")) FMixer->LoadConfig(*mixer);
    FMixer->SetPreviewEnabled(FOutput->GetSettings().PreviewStyle != PreviewStyle::None);
}

void TAudioPipe::SaveConfig(IConfigDoc& Section) {
    if (auto output = Section.Section("Output")) FOutput->SaveConfig(*output);
    if (auto mixer = Section.Section("Mixer")) FMixer->SaveConfig(*mixer);
}

}  // namespace kelvar
