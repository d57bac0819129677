#pragma once
// The process locale every program sets first thing: the environment's, with its character type
// UTF-8 when the environment names none ("C"/POSIX), so that the file names and texts the
// programs hand to libraries (the database client among them) are read as UTF-8. Numbers keep the
// "C" form whatever the environment says.

namespace kelvar {

// Sets the locale from the environment; where that leaves plain ASCII, the character type becomes
// "C.UTF-8". Answers false when no UTF-8 character type could be had.
bool UseEnvironmentLocale();

}  // namespace kelvar
