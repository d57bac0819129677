#pragma once
// Opening the song database at start-up, so that the program's main file needs no pool header.
#include <string>

#include "foundation/ConfigDoc.h"

namespace kelvar {

// Opens the pool of the driver named Driver (upper case), configured from Section when one is
// given. False when no driver has that name; what the driver raises while it opens passes on.
bool OpenSongDatabase(const std::string& Driver, IConfigDoc* Section);

}  // namespace kelvar
