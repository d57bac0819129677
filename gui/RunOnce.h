#pragma once
// The single-instance guard: one running player per program file. The lock is an flock on a
// file in the user's runtime folder, named after the program's path, so a copy started from
// another folder runs as an instance of its own.
#include <cstdint>
#include <string>

namespace kelvar {

// The running program's full path without "/" separators, upper-cased.
std::string SingleInstanceMutexName();

// True when this process now holds the instance lock for Name (empty: the program path).
// False when another process holds it, or when this process already holds one.
bool CheckSingleInstance(const std::string& name);

// Lets go of the lock held by this process, if any.
void ReleaseSingleInstance();

// The sum of the byte values of S.
int32_t NameChecksum(const std::string& s);

// The lock file that stands for Name (exposed for tests and diagnostics).
std::string SingleInstanceLockFile(const std::string& name);

}  // namespace kelvar
