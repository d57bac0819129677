#pragma once
// Rate, tempo and pitch change and beat detection over SoundTouch, behind the flat entry points
// that the effects object drives: 32-bit handles, 16-bit interleaved samples, counts in frames.
// Handles index a fixed table of atomics, so a call on the audio path never takes a lock.
#include <cstdint>

namespace kelvar::dspfx {

// The most channels a tempo stream or beat detector takes; FX_setChannels ignores more.
constexpr int32_t MaxChannels = 16;

// Beat detection. BPM_Process takes a byte count of 16-bit samples; BPM_Close answers the tempo
// found (0 when too little audio was seen) and frees the handle.
void BPM_Open(int32_t* handle, int32_t sampleRate, int32_t channels);
void BPM_Process(int32_t handle, int16_t* samples, int32_t bytes);
double BPM_Close(int32_t* handle);

// Tempo/pitch stream. A handle of 0 (none) or one that is not open is ignored by every call.
void FX_Open(int32_t* handle);
void FX_Close(int32_t* handle);
void FX_setRate(int32_t handle, float rate);
void FX_setTempo(int32_t handle, float tempo);
void FX_setRateChange(int32_t handle, float percent);
void FX_setTempoChange(int32_t handle, float percent);
void FX_setPitch(int32_t handle, float pitch);
void FX_setPitchOctaves(int32_t handle, float octaves);
void FX_setPitchSemiTones(int32_t handle, int32_t semitones);
void FX_setPitchSemiTonesF(int32_t handle, float semitones);
void FX_setChannels(int32_t handle, int32_t channels);
void FX_setSampleRate(int32_t handle, int32_t sampleRate);
void FX_flush(int32_t handle);
void FX_putSamples(int32_t handle, const int16_t* samples, int32_t frames);
void FX_clear(int32_t handle);
int32_t FX_setSetting(int32_t handle, int32_t settingId, int32_t value);
int32_t FX_getSetting(int32_t handle, int32_t settingId);
int32_t FX_receiveSamples(int32_t handle, int16_t* buffer, int32_t maxFrames);
int32_t FX_receiveSamplesZero(int32_t handle, int32_t maxFrames);
int32_t FX_numSamples(int32_t handle);
int32_t FX_isEmpty(int32_t handle);

}  // namespace kelvar::dspfx
