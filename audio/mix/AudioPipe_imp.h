#pragma once
// The audio pipe: the mixer and the output pair, which the core creates, configures, opens
// and closes. Its configuration holds "Output" (the pair's keys) and "Mixer".
#include <memory>

#include "audio/mix/DualOutput_Combo.h"
#include "audio/mix/Mixer_imp.h"

namespace kelvar {

class TAudioPipe {
public:
    TAudioPipe();
    ~TAudioPipe();
    TAudioPipe(const TAudioPipe&) = delete;
    TAudioPipe& operator=(const TAudioPipe&) = delete;

    // Ties the pair to the mix and opens its devices (their threads wait, stopped, for the
    // pair's Play); answers whether the devices opened.
    bool Open();
    void Close();
    void LoadConfig(IConfigDoc& Section);
    void SaveConfig(IConfigDoc& Section);

    TDualOutput_Combo& GetOutput() { return *FOutput; }
    TMixer& GetMixer() { return *FMixer; }

private:
    std::unique_ptr<TDualOutput_Combo> FOutput;
    std::unique_ptr<TMixer> FMixer;
};

}  // namespace kelvar
