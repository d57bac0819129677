#pragma once
// One log line per stretch of a failure that repeats (a heartbeat task failing on every pass):
// the first failure is logged with its cause, the repeats are counted, and the end of the
// stretch is logged with the count. Main thread only.
#include <cstdint>
#include <string>

#include "foundation/Logger.h"

namespace kelvar {

class TRepeatedFailure {
public:
    // What, Source: the log line's text prefix and source ("Queue fill failed", "CORE").
    TRepeatedFailure(std::string What, std::string Source);

    // Logs "<What>: <Cause>" when a stretch starts; counts it otherwise.
    void Failed(const ILoggerPtr& Logger, const std::string& Cause, TLogKind Kind = LogKind::Error);
    // Ends a stretch: "<What> <n> times; working again".
    void Succeeded(const ILoggerPtr& Logger);
    bool Failing() const { return FFailing; }
    int64_t Count() const { return FCount; }

private:
    std::string FWhat;
    std::string FSource;
    bool FFailing = false;
    int64_t FCount = 0;
};

}  // namespace kelvar
