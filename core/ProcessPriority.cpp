#include "core/ProcessPriority.h"

#include <sys/resource.h>
#include <cerrno>

namespace kelvar {

namespace {
struct TClassNice {
    int64_t Class;
    int Nice;
};
// In rising priority.
constexpr TClassNice Classes[] = {{PriorityClass::Idle, 19},  {PriorityClass::BelowNormal, 10},
                                  {PriorityClass::Normal, 0}, {PriorityClass::AboveNormal, -5},
                                  {PriorityClass::High, -10}, {PriorityClass::Realtime, -20}};
}  // namespace

bool PriorityClassToNice(int64_t Class, int& Nice) {
    for (const auto& c : Classes) {
        if (c.Class == Class) {
            Nice = c.Nice;
            return true;
        }
    }
    return false;
}

int64_t NiceToPriorityClass(int Nice) {
    for (const auto& c : Classes) {
        if (Nice >= c.Nice) return c.Class;
    }
    return PriorityClass::Realtime;
}

bool SetPriorityClass(int64_t Class) {
    int nice;
    if (!PriorityClassToNice(Class, nice)) return false;
    return setpriority(PRIO_PROCESS, 0, nice) == 0;
}

int64_t GetPriorityClass() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno != 0) return PriorityClass::Normal;
    return NiceToPriorityClass(nice);
}

}  // namespace kelvar
