#include "core/rotation/RotationConfig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "foundation/Logger.h"

namespace kelvar {

namespace {

void LogUnreadable(const std::string& name, const std::string& why) {
    LogMessage("Setting " + name + " ignored (" + why + ")", "CORE", LogKind::Error);
}

}  // namespace

int ReadConfigInt(const IConfigDoc& node, const std::string& name, int current) {
    try {
        const int64_t value = node.ReadInteger(name, current);
        return static_cast<int>(
            std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    } catch (const std::exception& e) {
        LogUnreadable(name, e.what());
        return current;
    }
}

double ReadConfigFloat(const IConfigDoc& node, const std::string& name, double current) {
    try {
        const double value = node.ReadFloat(name, current);
        if (std::isfinite(value)) return value;
        LogUnreadable(name, "not a finite number");
    } catch (const std::exception& e) {
        LogUnreadable(name, e.what());
    }
    return current;
}

bool ReadConfigBool(const IConfigDoc& node, const std::string& name, bool current) {
    try {
        return node.ReadBool(name, current);
    } catch (const std::exception& e) {
        LogUnreadable(name, e.what());
        return current;
    }
}

}  // namespace kelvar
