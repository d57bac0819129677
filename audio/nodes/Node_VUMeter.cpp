#include "audio/nodes/Node_VUMeter.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TNode_VU::TNode_VU() : FMeter(std::make_unique<TVUMeter>()) {}

TNode_VU::~TNode_VU() {
    TGuard guard(FLock);
    FMeter.reset();
}

int TNode_VU::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr&) {
    if (Buffer == nullptr || Length <= 0) return 0;
    FMeter->Process(Buffer, Length);
    return Length;
}

std::string TNode_VU::GetName() const { return "VUMeter"; }

bool TNode_VU::CheckFormat(const TWaveFormat& Format) {
    FMeter->SetFormat(Format);
    return true;
}

bool TNode_VU::Start() { return FMeter->Start(); }

void TNode_VU::Stop() { FMeter->Stop(); }

void TNode_VU::Seek() { FMeter->Reset(); }

void TNode_VU::GetLevels(double& Left, double& Right) {
    TGuard guard(FLock);
    FMeter->GetLevels(Left, Right);
}

void TNode_VU::SetDelay(int Ms) {
    TGuard guard(FLock);
    FMeter->SetDelay(Ms);
}

}  // namespace kelvar
