#include "core/plugins/DSPFilter.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TDSPFilter::~TDSPFilter() {
    // Derived parts are gone by now; what is left to close is the base state.
    TGuard guard(FLock);
    FActive = false;
}

TPluginInfo* TDSPFilter::GetInfo() {
    TGuard guard(FLock);
    return DoGetInfo();
}

bool TDSPFilter::GetActive() {
    TGuard guard(FLock);
    return FActive;
}

bool TDSPFilter::Open(const TFilterFormat& Format) {
    TGuard guard(FLock);
    Close();
    FFormat = Format;
    FActive = DoOpen(Format);
    return FActive;
}

void TDSPFilter::Close() {
    TGuard guard(FLock);
    if (!FActive) return;
    try {
        DoClose();
    } catch (...) {
        FActive = false;
        throw;
    }
    FActive = false;
}

int32_t TDSPFilter::Process(void*& Buffer, int32_t Bytes) {
    TGuard guard(FLock);
    return DoProcess(Buffer, Bytes);
}

void TDSPFilter::LoadConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    DoLoadConfig(Section);
}

void TDSPFilter::SaveConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    DoSaveConfig(Section);
}

TFilterFormat TDSPFilter::GetFormat() {
    TGuard guard(FLock);
    return FFormat;
}

bool TDSPFilter::DoOpen(const TFilterFormat&) { return true; }
void TDSPFilter::DoClose() {}
int32_t TDSPFilter::DoProcess(void*&, int32_t Bytes) { return Bytes; }
void TDSPFilter::DoLoadConfig(IConfigDoc&) {}
void TDSPFilter::DoSaveConfig(IConfigDoc&) {}

}  // namespace kelvar
