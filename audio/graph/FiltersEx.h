#pragma once
// Stream-position events: a time in the stream and a callback, fired once by a channel's
// mixer input when the audio pulled for output reaches that time. A negative time counts
// back from the end of the stream (-1 is one millisecond before the end).
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/AudioFormat.h"

namespace kelvar {

class IMetaData;
// The creator's handler; it gets the event that fired (query IMetaEvent & co. from it).
using TMetaCallback = std::function<void(IMetaData& Event)>;

class IMetaData {
public:
    virtual ~IMetaData() = default;
    virtual uint8_t GetKind() const = 0;
    virtual TStreamTime GetTime() const = 0;
    virtual void SetCallback(TMetaCallback Callback) = 0;
    // Calls the callback once; marked fired also when the callback raises (which goes on).
    virtual void Fire() = 0;
    // Makes the event inert: a later Fire does nothing.
    virtual void Cancel() = 0;
};
using IMetaDataPtr = std::shared_ptr<IMetaData>;

class IMetaCaption : public virtual IMetaData {
public:
    virtual std::string GetCaption() const = 0;
};

class IMetaBuffer : public virtual IMetaData {
public:
    virtual int GetValue() const = 0;
};

class IMetaEvent : public virtual IMetaData {
public:
    virtual uint8_t GetCode() const = 0;
};

// Kinds in use.
namespace MetaKind {
constexpr uint8_t Caption = 1;  // a new stream title (TMetaCaption)
constexpr uint8_t Buffer = 3;   // buffering level in percent (TMetaBuffer)
constexpr uint8_t Event = 3;    // a deck's own cue point (TMetaEvent)
}  // namespace MetaKind

class TMetaData : public virtual IMetaData {
public:
    TMetaData(uint8_t Kind, TStreamTime Time);
    ~TMetaData() override;

    uint8_t GetKind() const override;
    TStreamTime GetTime() const override;
    void SetCallback(TMetaCallback Callback) override;
    void Fire() override;
    void Cancel() override;

private:
    std::recursive_mutex FLock;
    const uint8_t FKind;
    const TStreamTime FTime;
    TMetaCallback FCallback;
    bool FFired = false;
};

class TMetaCaption : public TMetaData, public IMetaCaption {
public:
    TMetaCaption(uint8_t Kind, std::string Caption, TStreamTime Time);
    std::string GetCaption() const override;

private:
    const std::string FCaption;
};

class TMetaBuffer : public TMetaData, public IMetaBuffer {
public:
    TMetaBuffer(uint8_t Kind, int Value, TStreamTime Time);
    int GetValue() const override;

private:
    const int FValue;
};

class TMetaEvent : public TMetaData, public IMetaEvent {
public:
    TMetaEvent(uint8_t Kind, uint8_t Code, TStreamTime Time);
    uint8_t GetCode() const override;

private:
    const uint8_t FCode;
};

}  // namespace kelvar
