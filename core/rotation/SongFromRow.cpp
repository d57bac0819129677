#include "core/rotation/SongFromRow.h"

#include <string>
#include <vector>

#include "database/datalink/DLEngine.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

ISongInfoPtr SongFromRow(IDataset& row) {
    std::vector<std::string> columns;
    const TDLDataSet& data = *row.GetDataSet();
    columns.reserve(static_cast<size_t>(data.FieldCount()));
    for (int i = 0; i < data.FieldCount(); ++i) columns.push_back(data.Fields(i)->GetFieldName());
    return TSongInfo::CreateFromDataset(row, columns);
}

}  // namespace kelvar
