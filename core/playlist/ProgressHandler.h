#pragma once
// Progress of a long job: reports go to a callback at most every 2 % and 100 ms.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kelvar {

class IProgressHandler {
public:
    virtual ~IProgressHandler() = default;
    virtual void SetCaption(const std::string& text) = 0;
    // A position below the last reported one makes that one 0.
    virtual void SetPosition(uint32_t position) = 0;
    // 0 counts as 1; never reports.
    virtual void SetTotal(uint32_t total) = 0;
    virtual void StepIt() = 0;
};

using IProgressHandlerPtr = std::shared_ptr<IProgressHandler>;
using TProgressCallback = std::function<void(int percent, const std::string& text)>;
// The millisecond clock of the report interval (MsSinceStart unless a test gives its own).
using TProgressClock = std::function<int64_t()>;

class TProgressHandler : public IProgressHandler {
public:
    static constexpr int64_t MinInterval = 100;  // ms
    static constexpr int MinStep = 2;            // percent

    TProgressHandler(uint32_t total, std::string caption, TProgressCallback callback, TProgressClock clock = nullptr);

    void SetCaption(const std::string& text) override;
    void SetPosition(uint32_t position) override;
    void SetTotal(uint32_t total) override;
    void StepIt() override;

    uint32_t Total() const { return FTotal; }
    uint32_t Position() const { return FPosition; }
    const std::string& Caption() const { return FCaption; }

private:
    void CheckReport();

    uint32_t FTotal;
    uint32_t FPosition = 0;
    std::string FCaption;
    TProgressCallback FCallback;
    TProgressClock FClock;
    uint32_t FLastPosition = 0;
    int64_t FLastTick;
};

}  // namespace kelvar
