#include "audio/graph/FiltersEx.h"

#include <utility>

namespace kelvar {

TMetaData::TMetaData(uint8_t Kind, TStreamTime Time) : FKind(Kind), FTime(Time) {}

TMetaData::~TMetaData() = default;

uint8_t TMetaData::GetKind() const { return FKind; }

TStreamTime TMetaData::GetTime() const { return FTime; }

void TMetaData::SetCallback(TMetaCallback Callback) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FCallback = std::move(Callback);
}

void TMetaData::Fire() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    // Marked fired and emptied before the call, so that it counts as fired also when the
    // callback raises, and a re-entrant Fire from the callback does nothing.
    TMetaCallback callback;
    callback.swap(FCallback);
    const bool wasFired = FFired;
    FFired = true;
    if (callback && !wasFired) callback(*this);
}

void TMetaData::Cancel() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FCallback = nullptr;
    FFired = true;
}

TMetaCaption::TMetaCaption(uint8_t Kind, std::string Caption, TStreamTime Time)
    : TMetaData(Kind, Time), FCaption(std::move(Caption)) {}

std::string TMetaCaption::GetCaption() const { return FCaption; }

TMetaBuffer::TMetaBuffer(uint8_t Kind, int Value, TStreamTime Time) : TMetaData(Kind, Time), FValue(Value) {}

int TMetaBuffer::GetValue() const { return FValue; }

TMetaEvent::TMetaEvent(uint8_t Kind, uint8_t Code, TStreamTime Time) : TMetaData(Kind, Time), FCode(Code) {}

uint8_t TMetaEvent::GetCode() const { return FCode; }

}  // namespace kelvar
