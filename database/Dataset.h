#pragma once
// One open query result as callers outside the database layer see it: a cursor over rows with
// field access by name and editing. It names no type of the client layer, so the windows that
// show and edit song rows can hold one; typed access to the client layer's fields stays inside
// the song database layer (database/DataSetAccess.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "database/datalink/DLDataTypes.h"
#include "foundation/ValueList.h"

namespace kelvar {

// Positional statement values: the first value goes to the first parameter marker, and so on.
using TVariantArray = std::vector<TDLVariant>;

class ISQLConnection;
class IDataset;
using ISQLConnectionPtr = std::shared_ptr<ISQLConnection>;
using IDatasetPtr = std::shared_ptr<IDataset>;

// As a value list it reads and writes the current row's fields as text (a NULL reads as the
// empty text).
class IDataset : public IValueList {
public:
    using IValueList::GetValue;
    using IValueList::SetValue;

    virtual ISQLConnectionPtr GetConnection() = 0;
    // The result's columns in their order, as the database names them.
    virtual std::vector<std::string> FieldNames() = 0;
    virtual bool HasField(const std::string& name) = 0;
    // NULL reads as the empty text, never as a null value.
    virtual TDLVariant GetFieldValue(const std::string& name) = 0;
    virtual void SetFieldValue(const std::string& name, const TDLVariant& value) = 0;
    // True while the current row is being edited or inserted.
    virtual bool IsEditing() = 0;
    // Options: loCaseInsensitive, loPartialKey.
    virtual bool Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) = 0;
    // (Re)opens this result with a new statement; answers itself.
    virtual IDatasetPtr OpenSQL(const std::string& sql, const TVariantArray& params, bool readOnly) = 0;
    virtual bool Eof() = 0;
    virtual bool Bof() = 0;
    virtual bool IsEmpty() = 0;
    virtual int RecordCount() = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Refresh() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Edit() = 0;
    virtual void Delete() = 0;
    virtual void Append() = 0;
    virtual void Insert() = 0;
    virtual void First() = 0;
    virtual void Last() = 0;
    virtual void Next() = 0;
    virtual void Prior() = 0;
};

}  // namespace kelvar
