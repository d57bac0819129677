#pragma once
// Copying chosen fields of one song into other songs of its album.
#include <string>
#include <vector>

#include "database/Dataset.h"

namespace kelvar {

// Copies Fields of Source's current row into every row of Targets whose "songID" is in IDs;
// with ToEmpty only into empty target fields (an album year of 0 and the weight count as
// empty). Answers the number of rows edited and posted.
int ApplyFields(IDataset& Source, IDataset& Targets, const std::vector<int>& IDs, bool ToEmpty,
                const std::vector<std::string>& Fields);

}  // namespace kelvar
