#include "audio/nodes/Node_Resampler.h"

#include <mutex>

namespace kelvar {

TNode_Resampler::TNode_Resampler() = default;

TNode_Resampler::~TNode_Resampler() = default;

void TNode_Resampler::SetOutputFormat(const TWaveFormat& Format) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FOutputFormat = Format;
    if (FConvert.IsOpen()) {
        Stop();
        Start();
    }
}

int TNode_Resampler::Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr&) {
    if (!Buffer || Length <= 0) return 0;
    if (SameFormat(FFormat, FOutputFormat)) return Length;
    const uint32_t produced = FConvert.Convert(Buffer, static_cast<uint32_t>(Length));
    if (produced > 0) DoOutput(const_cast<uint8_t*>(FConvert.GetOutput()), static_cast<int>(produced), Time);
    return 0;
}

std::string TNode_Resampler::GetName() const { return "Resampler"; }

bool TNode_Resampler::CheckFormat(const TWaveFormat& Format) {
    if (FConvert.IsOpen() && !SameFormat(Format, FFormat)) {
        FConvert.Close();
        FConvert.Open(Format, FOutputFormat);
    }
    return true;
}

TWaveFormat TNode_Resampler::GetFormat() { return FOutputFormat; }

bool TNode_Resampler::Start() {
    FConvert.Open(FFormat, FOutputFormat);
    return true;
}

void TNode_Resampler::Stop() {
    if (FConvert.IsOpen()) FConvert.Close();
}

void TNode_Resampler::Seek() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    Stop();
    Start();
}

}  // namespace kelvar
