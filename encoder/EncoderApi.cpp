#include "encoder/EncoderApi.h"

#include "encoder/EncoderInstance.h"

#include <new>

namespace brannoc {

namespace {
// Entry points never raise: anything thrown inside (allocation) becomes the call's failure value.
EncoderInstance* Of(EncoderHandle h) { return static_cast<EncoderInstance*>(h); }

EncoderHandle Open(uint32_t rate, uint32_t channels, uint32_t format) {
    try {
        return EncoderInstance::Open(rate, channels, format);
    } catch (...) {
        return nullptr;
    }
}

int32_t Close(EncoderHandle h) {
    if (!h) return 0;
    delete Of(h);
    return 1;
}

int32_t Encode(EncoderHandle h, const void* pcm, int32_t bytes, int32_t* consumed, uint8_t* out, int32_t outSize,
               const uint8_t* anc, int32_t* ancLen) {
    if (!h) return -1;
    try {
        return Of(h)->Encode(pcm, bytes, consumed, out, outSize, anc, ancLen);
    } catch (...) {
        return -1;
    }
}

const StreamConfigList* Enum(EncoderHandle h, uint32_t rate, int32_t mode, int32_t codec, uint32_t bitrate,
                             uint32_t quality, int32_t mono, int32_t mode3) {
    if (!h) return nullptr;
    return Of(h)->EnumConfigs(rate, mode, codec, bitrate, quality, mono, mode3);
}

int32_t SetConfig(EncoderHandle h, StreamConfig* cfg) {
    if (!h) return 0;
    try {
        return Of(h)->SetConfig(cfg);
    } catch (...) {
        return 0;
    }
}

int32_t GetConfig(EncoderHandle h, StreamConfig* cfg) { return h ? Of(h)->GetConfig(cfg) : 0; }

AdvancedSettings* GetAdvanced(EncoderHandle h) { return h ? Of(h)->Advanced() : nullptr; }

int32_t SetAdvanced(EncoderHandle h, const AdvancedSettings* s) {
    if (!h) return 0;
    try {
        return Of(h)->SetAdvanced(s);
    } catch (...) {
        return 0;
    }
}

int32_t GetVbri(EncoderHandle h, uint8_t* buffer, int32_t size) { return h ? Of(h)->GetVbriHeader(buffer, size) : 0; }

int32_t GetVersion(EncoderHandle h, char* buffer) { return h ? Of(h)->GetVersion(buffer) : 0; }

int32_t GetBlockSize(EncoderHandle h, int32_t* bytes) { return h ? Of(h)->GetBlockSize(bytes) : 0; }

const EncoderApi kTable = {Open,        Close,       Encode,  Enum,       SetConfig,   GetConfig,
                           GetAdvanced, SetAdvanced, GetVbri, GetVersion, GetBlockSize};
}  // namespace

const EncoderApi* ApiTable() { return &kTable; }

}  // namespace brannoc
