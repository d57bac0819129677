#pragma once
// The process's priority class as the configuration stores it (64 idle, 16384 below normal,
// 32 normal, 32768 above normal, 128 high, 256 realtime), carried over to the nice value.
#include <cstdint>

namespace kelvar {

namespace PriorityClass {
constexpr int64_t Idle = 64;
constexpr int64_t BelowNormal = 16384;
constexpr int64_t Normal = 32;
constexpr int64_t AboveNormal = 32768;
constexpr int64_t High = 128;
constexpr int64_t Realtime = 256;
}  // namespace PriorityClass

// False for an unknown class or one the system refuses (raising priority needs privileges).
bool SetPriorityClass(int64_t Class);
// The class of the process's nice value (the nearest class at or above it in priority).
int64_t GetPriorityClass();
// The nice value of a class; false for an unknown class.
bool PriorityClassToNice(int64_t Class, int& Nice);
int64_t NiceToPriorityClass(int Nice);

}  // namespace kelvar
