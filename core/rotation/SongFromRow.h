#pragma once
// A song record holding every column of a result's current row under its column name.
#include "database/SQLPool.h"
#include "media/SongInfo.h"

namespace kelvar {

ISongInfoPtr SongFromRow(IDataset& row);

}  // namespace kelvar
