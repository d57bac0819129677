#include "audio/mix/DualOutput_imp.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TDualOutput::TDualOutput() = default;

TDualOutput::~TDualOutput() = default;

bool TDualOutput::Open(const TWaveFormat& Format) {
    Close();
    bool active = false;
    {
        TGuard guard(FLock);
        FErrorCode = 0;
        FErrorText.clear();
        FFormat = Format;
        try {
            FActive = DoOpen(Format);
        } catch (...) {
            FActive = false;
            FClosed = true;
            throw;
        }
        FClosed = !FActive;
        active = FActive;
    }
    // A failed open may have taken devices out that must go.
    if (!active) ReleaseClosed();
    return active;
}

void TDualOutput::Close() {
    Stop();
    {
        TGuard guard(FLock);
        FClosed = true;
    }
    {
        TGuard guard(FLock);
        if (FActive) DoClose();
        FActive = false;
    }
    ReleaseClosed();
}

void TDualOutput::Play() {
    TGuard guard(FLock);
    DoPlay();
}

void TDualOutput::Stop() {
    TGuard guard(FLock);
    DoStop();
}

void TDualOutput::Pause() {
    TGuard guard(FLock);
    DoPause();
}

void TDualOutput::Reset() {
    TGuard guard(FLock);
    DoReset();
}

void TDualOutput::GetLastError(int32_t& Code, std::string& Text) {
    TGuard guard(FLock);
    Code = FErrorCode;
    Text = FErrorText;
}

void TDualOutput::SetError(int32_t Code, const std::string& Text) {
    TGuard guard(FLock);
    FErrorCode = Code;
    FErrorText = Text;
}

void TDualOutput::LoadConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    DoLoadConfig(Section);
}

void TDualOutput::SaveConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    DoSaveConfig(Section);
}

void TDualOutput::SetMainSource(IPinSourcePtr Source) {
    TGuard guard(FLock);
    FMainSource = std::move(Source);
}

void TDualOutput::SetPreviewSource(IPinSourcePtr Source) {
    TGuard guard(FLock);
    FPreviewSource = std::move(Source);
}

bool TDualOutput::IsActive() {
    TGuard guard(FLock);
    return FActive;
}

TWaveFormat TDualOutput::GetFormat() {
    TGuard guard(FLock);
    return FFormat;
}

}  // namespace kelvar
