#include "audio/nodes/DSPObj.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/dsp/DspFX.h"
#include "audio/graph/AudioErrors.h"
#include "audio/graph/Buffer_imp.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TDSPObj::TDSPObj() { std::fill(std::begin(FBandGains), std::end(FBandGains), EQFlatGain); }

TDSPObj::~TDSPObj() {
    Close();
    BPMStop();
}

void TDSPObj::Open(const TWaveFormat& Format) {
    TGuard guard(FLock);
    Close();
    FEffectsFormat = Format;
    FOpen = true;
}

void TDSPObj::Close() {
    TGuard guard(FLock);
    FOpen = false;
    // Blocks processed before an Open may have set up a stream and tails for another format:
    // they go whether or not the object was open.
    if (FFXHandle) dspfx::FX_Close(&FFXHandle);
    FEQ.reset();
    FKernelDirty = true;
}

void TDSPObj::OpenFX() {
    dspfx::FX_Open(&FFXHandle);
    if (!FFXHandle) return;
    dspfx::FX_setChannels(FFXHandle, FEffectsFormat.Channels);
    dspfx::FX_setSampleRate(FFXHandle, static_cast<int32_t>(FEffectsFormat.SamplesPerSec));
    dspfx::FX_setRateChange(FFXHandle, static_cast<float>(FRate));
    dspfx::FX_setTempoChange(FFXHandle, static_cast<float>(FTempo));
    dspfx::FX_setPitchSemiTonesF(FFXHandle, static_cast<float>(FPitch));
}

int TDSPObj::Process(void* Buffer, int Bytes, IChunkPtr& Chunk) {
    TGuard guard(FLock);
    if (!Buffer || Bytes <= 0) return Bytes;
    const int channels = FEffectsFormat.Channels;
    const int bits = FEffectsFormat.BitsPerSample;
    if (FEQEnabled && channels > 0) {
        if (!FEQ) FEQ = std::make_unique<TEQState>(channels);
        if (FKernelDirty) {
            FEQ->BuildKernel(FBandGains);
            FKernelDirty = false;
        }
        FEQ->Process(Buffer, Bytes, channels, bits);
    }
    // The tempo stream takes 16-bit samples of up to MaxChannels channels at a known rate only;
    // other formats keep the equalised block (a stream that could not take them would swallow
    // every block).
    const bool fxFormat = bits == 16 && channels > 0 && channels <= dspfx::MaxChannels &&
                          FEffectsFormat.SamplesPerSec > 0 && FEffectsFormat.SamplesPerSec <= INT32_MAX;
    if ((FFXHandle || EffectsWanted()) && fxFormat) {
        if (!FFXHandle) OpenFX();
        if (!FFXHandle) return Bytes;
        const int frameSize = channels * 2;
        const int frames = Bytes / frameSize;
        if (frames < 2) return Bytes;
        dspfx::FX_putSamples(FFXHandle, static_cast<const int16_t*>(Buffer), frames);
        const int readyFrames = dspfx::FX_numSamples(FFXHandle);
        if (readyFrames <= 0) return 0;
        const int64_t ready = static_cast<int64_t>(readyFrames) * frameSize;
        if (ready <= Bytes) {
            const int got = dspfx::FX_receiveSamples(FFXHandle, static_cast<int16_t*>(Buffer), readyFrames);
            return got * frameSize;
        }
        if (!FOutChunk || FOutChunk.use_count() > 1 || FOutChunk->GetCapacity() < ready)
            FOutChunk = std::make_shared<TChunk>(static_cast<int>(ready));
        FOutChunk->SetSize(0);  // a reused chunk starts unread
        const int got =
            dspfx::FX_receiveSamples(FFXHandle, reinterpret_cast<int16_t*>(FOutChunk->GetData()), readyFrames);
        FOutChunk->SetSize(got * frameSize);
        Chunk = FOutChunk;
        return 0;
    }
    return Bytes;
}

void TDSPObj::Flush() {
    TGuard guard(FLock);
    if (FFXHandle) dspfx::FX_clear(FFXHandle);
}

void TDSPObj::SetEQBand(int Index, int Value) {
    TGuard guard(FLock);
    if (Index < 0 || Index >= EQBandCount) throw EAudioError("Invalid EQ ID!");
    FBandGains[Index] = EQValueToGain(std::clamp(Value, EQMinValue, EQMaxValue));
    FKernelDirty = true;
}

int TDSPObj::GetEQBand(int Index) {
    TGuard guard(FLock);
    if (Index < 0 || Index >= EQBandCount) throw EAudioError("Invalid EQ ID!");
    return EQGainToValue(FBandGains[Index]);
}

void TDSPObj::SetEQEnabled(bool Value) {
    TGuard guard(FLock);
    FEQEnabled = Value;
}

bool TDSPObj::GetEQEnabled() {
    TGuard guard(FLock);
    return FEQEnabled;
}

namespace {
double ClampPercent(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -50.0, 100.0); }
}  // namespace

void TDSPObj::SetRate(double Percent) {
    TGuard guard(FLock);
    FRate = ClampPercent(Percent);
    if (FFXHandle) dspfx::FX_setRateChange(FFXHandle, static_cast<float>(FRate));
}

void TDSPObj::SetTempo(double Percent) {
    TGuard guard(FLock);
    FTempo = ClampPercent(Percent);
    if (FFXHandle) dspfx::FX_setTempoChange(FFXHandle, static_cast<float>(FTempo));
}

void TDSPObj::SetPitchSemiTones(double SemiTones) {
    TGuard guard(FLock);
    // Not a number would make every later block garbage: it counts as no change.
    FPitch = std::isfinite(SemiTones) ? SemiTones : 0.0;
    if (FFXHandle) dspfx::FX_setPitchSemiTonesF(FFXHandle, static_cast<float>(FPitch));
}

double TDSPObj::GetRate() {
    TGuard guard(FLock);
    return FRate;
}

double TDSPObj::GetTempo() {
    TGuard guard(FLock);
    return FTempo;
}

double TDSPObj::GetPitchSemiTones() {
    TGuard guard(FLock);
    return FPitch;
}

bool TDSPObj::EffectsWanted() {
    TGuard guard(FLock);
    return FRate != 0 || FTempo != 0 || FPitch != 0;
}

void TDSPObj::BPMStart(const TWaveFormat& Format) {
    TGuard guard(FLock);
    BPMStop();
    FBPMFormat = Format;
    FBPMActive = true;
}

void TDSPObj::BPMProcess(const void* Buffer, int Bytes) {
    TGuard guard(FLock);
    if (!Buffer || Bytes <= 0) return;
    if (!FBPMHandle) {
        if (FBPMFormat.BitsPerSample != 16) throw EAudioError("Only 16-bit samples supported");
        dspfx::BPM_Open(&FBPMHandle, static_cast<int32_t>(FBPMFormat.SamplesPerSec), FBPMFormat.Channels);
        if (!FBPMHandle) return;
    }
    const int samples = Bytes / 2;
    if (samples > FBPMCopySize) {
        FBPMCopy = std::make_unique<int16_t[]>(static_cast<size_t>(samples));
        FBPMCopySize = samples;
    }
    std::memcpy(FBPMCopy.get(), Buffer, static_cast<size_t>(samples) * 2);
    dspfx::BPM_Process(FBPMHandle, FBPMCopy.get(), samples * 2);
}

double TDSPObj::BPMStop() {
    TGuard guard(FLock);
    double result = 0;
    if (FBPMHandle) result = dspfx::BPM_Close(&FBPMHandle);
    FBPMHandle = 0;
    FBPMActive = false;
    return result;
}

bool TDSPObj::BPMActive() {
    TGuard guard(FLock);
    return FBPMActive;
}

}  // namespace kelvar
