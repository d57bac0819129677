#pragma once
// Typed access to the client layer's dataset behind an open result, for the layers that read and
// write dates and typed values (the song database layer, the setup, tests). Windows hold only
// the result (database/Dataset.h).
#include <string>

#include "database/Dataset.h"

namespace kelvar {

class TDLDataSet;
class TDLField;

// The dataset behind Rows; raises ESQLPoolError for a result of another kind.
TDLDataSet& DataSetOf(IDataset& rows);
// The field of that name in the current row; fails like the dataset for a missing field.
TDLField& FieldOf(IDataset& rows, const std::string& name);

}  // namespace kelvar
