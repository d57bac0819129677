#include "audio/mix/Mixer_imp.h"

#include <algorithm>
#include <cstring>

#include "foundation/MixUtils.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TMixer::TMixer() {
    FInputs.reserve(16);
    FMainPin = std::make_shared<TPinSource>(
        [this](void* Buffer, int Length, TStreamTime& Time) { return Mix(Buffer, Length, Time); },
        [] { return DefaultAudioFormat; }, nullptr);
    FPreviewPin = std::make_shared<TPinSource>(
        [this](void* Buffer, int Length, TStreamTime& Time) { return ReadPreview(Buffer, Length, Time); },
        [] { return DefaultAudioFormat; }, nullptr);
    FMaster = std::make_unique<TChannel_mixer>(FMainPin);
    FPreviewBuffer = std::make_shared<TBuffer>(3, 1024);
}

TMixer::~TMixer() {
    FMaster.reset();
    TGuard guard(FLock);
    FInputs.clear();
}

uint8_t* TMixer::Room(std::vector<uint8_t>& Block, int Length) {
    if (Block.size() < static_cast<size_t>(Length)) Block.resize(static_cast<size_t>(Length));
    return Block.data();
}

void TMixer::AddSource(IPinSource_MixModePtr Input) {
    if (!Input) return;
    TGuard guard(FLock);
    FInputs.push_back(std::move(Input));
}

void TMixer::RemoveSource(const IPinSource_MixModePtr& Input) {
    TGuard guard(FLock);
    auto it = std::find(FInputs.begin(), FInputs.end(), Input);
    if (it != FInputs.end()) FInputs.erase(it);
}

void TMixer::SetPreviewEnabled(bool Value) {
    TGuard guard(FLock);
    FPreviewEnabled = Value;
}

bool TMixer::GetPreviewEnabled() {
    TGuard guard(FLock);
    return FPreviewEnabled;
}

IPinSource_MixModePtr TMixer::GetMasterOutput() const { return FMaster->GetOutput(); }

void TMixer::LoadConfig(IConfigDoc& Section) {
    auto channel = Section.Section("Channel");
    if (channel) FMaster->LoadConfig(*channel);
}

void TMixer::SaveConfig(IConfigDoc& Section) {
    auto channel = Section.Section("Channel");
    if (channel) FMaster->SaveConfig(*channel);
}

int TMixer::Mix(void* Buffer, int Length, TStreamTime& Time) {
    if (Buffer == nullptr || Length <= 0) return 0;
    TGuard guard(FLock);
    auto* out = static_cast<uint8_t*>(Buffer);
    const size_t length = static_cast<size_t>(Length);
    uint8_t* scratch = Room(FScratch, Length);
    int mainCount = 0;
    int previewCount = 0;
    bool shared = true;
    bool previewStarted = false;  // the preview chunk holds data
    uint8_t* preview = nullptr;

    for (const auto& input : FInputs) {
        const uint8_t flags = input->GetMixMode();
        if ((flags & MixMode::Playing) == 0) continue;
        const bool onAir = (flags & MixMode::OnAir) != 0;
        const bool toPreview = (flags & MixMode::Preview) != 0;
        const bool intoBuffer = mainCount == 0;
        uint8_t* data = intoBuffer ? out : scratch;
        const int n = std::clamp(input->Pull(data, Length, Time), 0, Length);

        if (FPreviewEnabled) {
            ZeroFill(data, static_cast<size_t>(n), length);
            if (shared && onAir != toPreview) {
                // From here the preview differs: it starts as the on-air sum of the inputs so far.
                shared = false;
                preview = Room(FPreviewChunk, Length);
                if (mainCount > 0) {
                    std::memcpy(preview, out, length);
                    previewStarted = true;
                }
            }
            if (!shared && toPreview) {
                if (previewStarted) {
                    MixAdd(preview, data, length, length, length);
                } else {
                    std::memcpy(preview, data, length);
                    previewStarted = true;
                }
            }
            if (toPreview) ++previewCount;
        }

        if (onAir) {
            if (intoBuffer) {
                ZeroFill(out, static_cast<size_t>(n), length);
            } else {
                MixAdd(out, scratch, length, static_cast<size_t>(n), length);
            }
            ++mainCount;
        }
    }

    if (FPreviewEnabled) {
        FPreviewBuffer->Lock();
        try {
            FPreviewBuffer->SetChunkSize(Length);
            // Three blocks waiting: the preview output is behind; its oldest block goes (read
            // out, so the buffer keeps the chunk for reuse).
            if (FPreviewBuffer->FreeSpace() == 0) FPreviewBuffer->Read(scratch, Length);
            if (shared && mainCount > 0) {
                FPreviewBuffer->Write(out, Length);
            } else if (!shared && previewCount > 0 && previewStarted) {
                FPreviewBuffer->Write(preview, Length);
            }
            FPreviewBuffer->Flush();
        } catch (...) {
            FPreviewBuffer->Unlock();
            throw;
        }
        FPreviewBuffer->Unlock();
    }

    if (mainCount == 0) std::memset(out, 0, length);
    return Length;
}

int TMixer::ReadPreview(void* Buffer, int Length, TStreamTime&) {
    if (Buffer == nullptr || Length <= 0) return 0;
    const int n = std::max(FPreviewBuffer->Read(Buffer, Length), 0);
    ZeroFill(Buffer, static_cast<size_t>(n), static_cast<size_t>(Length));
    return Length;
}

}  // namespace kelvar
