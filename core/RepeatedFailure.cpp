#include "core/RepeatedFailure.h"

namespace kelvar {

TRepeatedFailure::TRepeatedFailure(std::string What, std::string Source)
    : FWhat(std::move(What)), FSource(std::move(Source)) {}

void TRepeatedFailure::Failed(const ILoggerPtr& Logger, const std::string& Cause, TLogKind Kind) {
    ++FCount;
    if (FFailing) return;
    FFailing = true;
    if (Logger) Logger->Log(FWhat + ": " + Cause, FSource, Kind);
}

void TRepeatedFailure::Succeeded(const ILoggerPtr& Logger) {
    if (!FFailing) return;
    if (Logger) Logger->Log(FWhat + " " + std::to_string(FCount) + " times; working again", FSource, LogKind::Notice);
    FFailing = false;
    FCount = 0;
}

}  // namespace kelvar
