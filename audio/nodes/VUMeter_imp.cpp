#include "audio/nodes/VUMeter_imp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/graph/Buffer_imp.h"
#include "audio/nodes/SampleScan.h"
#include "foundation/dButils.h"

namespace kelvar {

namespace {

constexpr double Silence = -255.0;

double ReadEntry(const IChunkPtr& Ring, int Index) {
    double value;
    std::memcpy(&value, Ring->GetData() + static_cast<size_t>(Index) * sizeof(double), sizeof(double));
    return value;
}

void WriteEntry(const IChunkPtr& Ring, int Index, double Value) {
    std::memcpy(Ring->GetData() + static_cast<size_t>(Index) * sizeof(double), &Value, sizeof(double));
}

IChunkPtr NewRing(int Length) {
    auto ring = std::make_shared<TChunk>(Length * static_cast<int>(sizeof(double)));
    ring->SetSize(ring->GetCapacity());
    for (int i = 0; i < Length; ++i) WriteEntry(ring, i, Silence);
    return ring;
}

}  // namespace

TVUMeter::TVUMeter() = default;

void TVUMeter::Configure() {
    FRingLength = static_cast<int>(std::nearbyint(FUpdatesPerSecond / 1000.0 * FDelay));
    if (FRingLength < 1) FRingLength = 1;
    const int bytes = FRingLength * static_cast<int>(sizeof(double));
    if (!FLeftRing || FLeftRing->GetCapacity() < bytes) FLeftRing = NewRing(FRingLength);
    if (!FRightRing || FRightRing->GetCapacity() < bytes) FRightRing = NewRing(FRingLength);
    if (FWritePosition >= FRingLength) FWritePosition = 0;
    SetDecayRate(FDecayRate);
    // At least one frame, so that a format without rate cannot close a window per sample.
    FWindow = std::max(static_cast<int>(MsToBytes(FFormat, 1000 / FUpdatesPerSecond)), 4);
}

bool TVUMeter::Start() {
    FHeldLeft = Silence;
    FHeldRight = Silence;
    Configure();
    return true;
}

void TVUMeter::Stop() {
    FLeftRing.reset();
    FRightRing.reset();
}

void TVUMeter::Reset() {
    Configure();
    FHeldLeft = Silence;
    FHeldRight = Silence;
    FWritePosition = 0;
    FWindowFill = 0;
    FLeftPeak = 0;
    FRightPeak = 0;
    const int entries = FLeftRing->GetCapacity() / static_cast<int>(sizeof(double));
    for (int i = 0; i < entries; ++i) {
        WriteEntry(FLeftRing, i, Silence);
        WriteEntry(FRightRing, i, Silence);
    }
}

void TVUMeter::SetDelay(int Ms) {
    FDelay = std::max(Ms, 0);
    Configure();
}

void TVUMeter::SetDecayRate(int Rate) {
    FDecayRate = std::max(Rate, 1);
    FDecayStep = (1000.0 / FDecayRate) * (40.0 / FUpdatesPerSecond);
}

void TVUMeter::SetFormat(const TWaveFormat& Format) { FFormat = Format; }

void TVUMeter::Process(const void* Buffer, int Bytes) {
    if (Buffer == nullptr || Bytes <= 0) return;
    const auto* data = static_cast<const uint8_t*>(Buffer);
    const int frames = Bytes / 4;
    for (int i = 0; i < frames;) {
        // The frames up to the one that closes the window (at least one), scanned at once.
        const int toClose = std::max((FWindow - FWindowFill + 3) / 4, 1);
        const int span = std::min(toClose, frames - i);
        StereoPeaks16(data + static_cast<size_t>(i) * 4, static_cast<size_t>(span), FLeftPeak, FRightPeak);
        FWindowFill += 4 * span;
        i += span;
        if (FWindowFill < FWindow) continue;

        const double newLeft = LinearToDb32768(FLeftPeak);
        const double newRight = LinearToDb32768(FRightPeak);
        FHeldLeft -= FDecayStep;
        if (FHeldLeft < newLeft) FHeldLeft = newLeft;
        FHeldRight -= FDecayStep;
        if (FHeldRight < newRight) FHeldRight = newRight;
        for (double* held : {&FHeldLeft, &FHeldRight}) {
            if (*held > 0.0) *held = 0.0;
            if (!(*held >= Silence)) *held = Silence;  // also not a number
        }
        // Stopped: the rings are gone, the levels are not recorded.
        if (FLeftRing && FRightRing) {
            WriteEntry(FLeftRing, FWritePosition, std::fabs(std::nearbyint(FHeldLeft)));
            WriteEntry(FRightRing, FWritePosition, std::fabs(std::nearbyint(FHeldRight)));
            FWritePosition = (FWritePosition + 1) % FRingLength;
        }
        FWindowFill = 0;
        FLeftPeak = 0;
        FRightPeak = 0;
    }
}

void TVUMeter::GetLevels(double& Left, double& Right) {
    if (!FLeftRing || !FRightRing) {
        Left = Silence;
        Right = Silence;
        return;
    }
    const int index = (FWritePosition + 1) % FRingLength;
    Left = ReadEntry(FLeftRing, index);
    Right = ReadEntry(FRightRing, index);
}

}  // namespace kelvar
