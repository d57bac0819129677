// Datasets: fields, the row cache, cursor, bookmarks, editing, search, filters and sorting.
#include "database/datalink/DLEngine.h"

#include <algorithm>
#include <cstring>

#include "database/datalink/DLEngine_Shared.h"
#include "database/datalink/DLFib.h"
#include "database/datalink/DLInt.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar {

using namespace dlengine;

// --- Fields -------------------------------------------------------------------------------

TDLField::TDLField(TDLDataSet* dataSet, const std::string& name, TFieldType dataType, int size, TFieldKind kind)
    : FDataSet(dataSet), FFieldName(name), FDataType(dataType), FSize(size), FFieldKind(kind) {}

bool TDLField::IsNull() const { return FDataSet->ReadField(*this).IsNull(); }

TDLVariant TDLField::GetValue() const { return OutsideValue(FDataType, FDataSet->ReadField(*this)); }

void TDLField::SetValue(const TDLVariant& value) { FDataSet->WriteField(*this, value); }

TDLVariant TDLField::OldValue() const {
    TDataSetState saved = FDataSet->FState;
    FDataSet->FState = dsOldValue;
    TDLVariant v;
    try {
        v = GetValue();
    } catch (...) {
        FDataSet->FState = saved;
        throw;
    }
    FDataSet->FState = saved;
    return v;
}

TDLVariant TDLField::NewValue() const {
    TDataSetState saved = FDataSet->FState;
    FDataSet->FState = dsNewValue;
    TDLVariant v;
    try {
        v = GetValue();
    } catch (...) {
        FDataSet->FState = saved;
        throw;
    }
    FDataSet->FState = saved;
    return v;
}

// --- Row cache ----------------------------------------------------------------------------

TDLResultSet::TEntry& TDLResultSet::Entry(int index) {
    if (index < 0 || index >= Count() || !Rows[static_cast<size_t>(index)].Buffer)
        DBError("Record is not available locally");
    return Rows[static_cast<size_t>(index)];
}

bool TDLResultSet::FetchRow() {
    TDLDataSet& ds = *DataSet;
    if (AllFetched || !ds.FCommand || !ds.FCommandOpen) return false;
    bool got;
    {
        THourGlass hg;
        got = ds.FCommand->FetchNextRow();
    }
    if (!got) {
        AllFetched = true;
        if (ds.FDetachOnFetchAll) ds.Detach();
        return false;
    }
    auto buffer = std::make_unique<TDLRecordBuffer>(ds.NewRecordBuffer());
    int index = Count();
    // Numbered after the last row that counts, so that rows posted or deleted locally
    // before this fetch leave no gaps or doubles.
    int recNo = 0;
    for (int i = index - 1; i >= 0; --i) {
        const TEntry& e = Rows[static_cast<size_t>(i)];
        if (!e.Buffer) {
            recNo = i + 1;
            break;
        }
        if (e.Buffer->Status != usDeleted) {
            recNo = e.Buffer->RecNo + 1;
            break;
        }
    }
    buffer->RecNo = recNo;
    buffer->Status = usUnmodified;
    buffer->BookmarkFlag = bfCurrent;
    buffer->Bookmark = index;
    for (int i = 0; i < ds.FDataFieldCount; ++i) {
        TDLField& f = *ds.FFields[static_cast<size_t>(i)];
        ds.ReadColumn(*ds.FCommand, ds.FCommand->FieldDescByNo(f.FieldNo), f, *buffer);
    }
    TEntry e;
    e.Applied = 1;
    e.Buffer = std::move(buffer);
    Rows.push_back(std::move(e));
    CurrentIndex = index;
    // Unidirectional: only the newest rows stay in memory.
    if (ds.UniDirectional && index >= 1) {
        TEntry& old = Rows[static_cast<size_t>(index - 1)];
        if (old.Buffer && old.Buffer->Status == usUnmodified) {
            old.Buffer.reset();
            old.OldBuffer.reset();
        }
    }
    return true;
}

void TDLResultSet::FetchAll() {
    if (AllFetched) return;
    THourGlass hg;
    while (FetchRow()) {}
}

void TDLResultSet::PostEdit(int index, const TDLRecordBuffer& values) {
    TEntry& e = Entry(index);
    TDLRecordBuffer& row = *e.Buffer;
    if (row.Status == usUnmodified || row.Status == usModified) {
        if (!e.OldBuffer) e.OldBuffer = std::make_unique<TDLRecordBuffer>(row);
        row.Status = usModified;
    }
    e.Applied = 0;
    row.Values = values.Values;
}

int TDLResultSet::PostInsert(TDLRecordBuffer& values) {
    int index = Count();
    int recNo = 0;
    for (int i = index - 1; i >= 0; --i) {
        const TEntry& e = Rows[static_cast<size_t>(i)];
        if (e.Buffer && e.Buffer->Status != usDeleted) {
            recNo = e.Buffer->RecNo + 1;
            break;
        }
    }
    auto buffer = std::make_unique<TDLRecordBuffer>(values);
    buffer->RecNo = recNo;
    buffer->Status = usInserted;
    buffer->BookmarkFlag = bfCurrent;
    buffer->Bookmark = index;
    TEntry e;
    e.Applied = 0;
    e.Buffer = std::move(buffer);
    Rows.push_back(std::move(e));
    values.RecNo = recNo;
    values.Bookmark = index;
    return index;
}

void TDLResultSet::RemoveRow(int index) {
    TEntry& e = Entry(index);
    bool counted = e.Buffer->Status != usDeleted;
    if (!counted) --DeletedCount;
    Rows.erase(Rows.begin() + index);
    for (int i = index; i < Count(); ++i) {
        TDLRecordBuffer* b = Rows[static_cast<size_t>(i)].Buffer.get();
        if (!b) continue;
        b->Bookmark = i;
        if (counted && b->RecNo >= 0) --b->RecNo;
    }
    if (CurrentIndex > index) --CurrentIndex;
}

void TDLResultSet::DeleteRow(int index) {
    TEntry& e = Entry(index);
    TDLRecordBuffer& row = *e.Buffer;
    if (row.Status == usInserted) {
        RemoveRow(index);
        return;
    }
    if (row.Status == usDeleted) return;
    row.Status = usDeleted;
    ++DeletedCount;
    e.Applied = 0;
    row.RecNo = -1;
    for (int i = index + 1; i < Count(); ++i) {
        TDLRecordBuffer* b = Rows[static_cast<size_t>(i)].Buffer.get();
        if (b && b->RecNo >= 0) --b->RecNo;
    }
}

void TDLResultSet::AcceptRow(int index) {
    TEntry& e = Entry(index);
    switch (e.Buffer->Status) {
        case usModified:
            e.OldBuffer.reset();
            e.Buffer->Status = usUnmodified;
            e.Applied = 1;
            break;
        case usInserted:
            e.Buffer->Status = usUnmodified;
            e.Applied = 1;
            break;
        case usDeleted: RemoveRow(index); break;
        default: e.Applied = 1; break;
    }
}

// --- Dataset: binding and life ------------------------------------------------------------

TDLDataSet::TDLDataSet(TDLComponent* owner) : TDLComponent(owner) {}

TDLDataSet::~TDLDataSet() {
    try {
        Close();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    if (FUpdateObject && FUpdateObject->FDataSet == this) FUpdateObject->FDataSet = nullptr;
    try {
        ReleaseCommand();
        if (FConnectReasons != 0) {
            FConnectReasons = 1;
            SetConnectReason(static_cast<TDLConnectReason>(0), false);
        }
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    if (FDatabase) FDatabase->UnregisterDataSet(this);
    for (TDLQuery* d : FDetails) d->FMaster = nullptr;
}

void TDLDataSet::DoAfterScroll() {
    if (AfterScroll) AfterScroll(*this);
    NotifyDetails();
}

void TDLDataSet::NotifyDetails() {
    std::vector<TDLQuery*> details = FDetails;
    for (TDLQuery* d : details) d->MasterChanged();
}

void TDLDataSet::CheckActive() const {
    if (!GetActive()) DBError(SDataSetClosed);
}

void TDLDataSet::CheckInactive() const {
    if (GetActive()) DBError(SDataSetOpen);
}

void TDLDataSet::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    CheckInactive();
    if (FDatabase) DBError(SDatabaseOpen);
    FDatabaseName = value;
    ClearFieldDefs();
}

void TDLDataSet::SetSessionName(const std::string& value) {
    if (value == FSessionName) return;
    CheckInactive();
    if (FDatabase) DBError(SDatabaseOpen);
    FSessionName = value;
    ClearFieldDefs();
}

void TDLDataSet::SetAutoRefresh(bool value) {
    CheckInactive();
    FAutoRefresh = value;
}

void TDLDataSet::SetDetachOnFetchAll(bool value) {
    FDetachOnFetchAll = value;
    if (value && GetActive() && FResultSet && FResultSet->AllFetched) Detach();
}

void TDLDataSet::SetUpdateObject(TDLUpdateSQL* value) {
    if (value == FUpdateObject) return;
    if (FUpdateObject && FUpdateObject->FDataSet == this) FUpdateObject->SetDataSet(nullptr);
    FUpdateObject = value;
    if (value) value->SetDataSet(this);
}

void TDLDataSet::SetConnectReason(TDLConnectReason reason, bool on) {
    uint32_t bit = 1u << reason;
    if (on) {
        if (FConnectReasons & bit) return;
        if (FConnectReasons == 0) {
            if (Trim(FDatabaseName).empty()) DBError("Database name missing");
            TDLSession* session = Sessions().SessionByName(FSessionName, true);
            TDLDatabase* db = session->AcquireDatabase(FDatabaseName, GetOwner());
            FDatabase = db;
            db->RegisterDataSet(this);
        }
        FConnectReasons |= bit;
        return;
    }
    if (!(FConnectReasons & bit)) return;
    FConnectReasons &= ~bit;
    if (FConnectReasons != 0 || !FDatabase) return;
    TDLDatabase* db = FDatabase;
    try {
        Close();
        ReleaseCommand();
    } catch (...) {
        db->UnregisterDataSet(this);
        FDatabase = nullptr;
        db->GetSession()->ReleaseDatabase(db);
        throw;
    }
    db->UnregisterDataSet(this);
    FDatabase = nullptr;
    db->GetSession()->ReleaseDatabase(db);
}

std::unique_ptr<TISqlCommand> TDLDataSet::CreateCommand() {
    DLAssert(FDatabase && FDatabase->GetDriver(), "CreateCommand");
    return FDatabase->GetDriver()->CreateSqlCommand();
}

void TDLDataSet::PrepareCursor() {
    if (!FCommand) DBError(SNoSQLStatement);
}

void TDLDataSet::ReleaseCommand() {
    if (!FCommand) return;
    std::unique_ptr<TISqlCommand> command = std::move(FCommand);
    FCommandOpen = false;
    command->Disconnect(true);
    command->Unprepare();
}

void TDLDataSet::CloseResultSet() {
    if (FCommand && FCommandOpen) {
        FCommandOpen = false;
        FCommand->CloseResultSet();
    }
    FCommandOpen = false;
}

void TDLDataSet::ExecuteCommand() {
    TDLDatabase* db = FDatabase;
    if (db) db->Busy = true;
    try {
        FCommand->Execute();
    } catch (...) {
        if (db) db->Busy = false;
        throw;
    }
    if (db) db->Busy = false;
}

void TDLDataSet::ClearFieldDefs() {
    if (!GetActive()) FFieldDefs.clear();
}

void TDLDataSet::InitFieldDefs() {
    if (FCommand->FieldDescs.empty()) FCommand->InitFieldDescs();
    FFieldDefs.clear();
    std::string fieldRequired = FDatabase ? FDatabase->Params.Values("FIELD REQUIRED") : std::string();
    for (const TDLFieldDesc& d : FCommand->FieldDescs) {
        TDLFieldDef def;
        def.Name = d.FieldName;
        def.DataType = d.FieldType;
        def.FieldNo = d.FieldNo;
        def.Required = d.Required;
        if (IsSizedType(d.FieldType) || d.FieldType == ftOraBlob || d.FieldType == ftOraClob)
            def.Size = d.DataSize - (d.FieldType == ftString ? 1 : 0);
        else if (d.FieldType == ftBCD)
            def.Size = d.Scale;
        else if (d.FieldType == ftGuid)
            def.Size = 38;
        if (d.FieldType == ftFloat || d.FieldType == ftBCD) def.Precision = d.Precision;
        def.LongText = IsMemoType(d.FieldType) && d.NativeType != FCommand->NativeDataType(d.FieldType);
        if (FAutoRefresh && d.FieldType == ftAutoInc) def.Required = false;
        if (!Trim(fieldRequired).empty()) def.Required = IsTrueText(fieldRequired);
        FFieldDefs.push_back(def);
    }
}

void TDLDataSet::CreateFields() {
    FFields.clear();
    for (const TDLFieldDef& def : FFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkData);
        f->FieldNo = def.FieldNo;
        f->Required = def.Required;
        f->Precision = def.Precision;
        f->LongText = def.LongText;
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FDataFieldCount = static_cast<int>(FFields.size());
    for (const TDLFieldDef& def : FCalcFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkCalculated);
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FCopyBlobs = false;
    for (auto& f : FFields)
        if (f->IsBlob()) FCopyBlobs = true;
    if (FFilterParser) FFilterParser->ClearFieldCache();
}

void TDLDataSet::DestroyFields() {
    FFields.clear();
    FDataFieldCount = 0;
    if (FFilterParser) FFilterParser->ClearFieldCache();
}

TDLField& TDLDataSet::AddCalcField(const std::string& name, TFieldType dataType, int size) {
    CheckInactive();
    FCalcFieldDefs.push_back({name, dataType, size, 0, false, 0});
    auto f = std::make_unique<TDLField>(this, name, dataType, size, fkCalculated);
    f->FIndex = static_cast<int>(FFields.size());
    FFields.push_back(std::move(f));
    return *FFields.back();
}

TDLField* TDLDataSet::FindField(const std::string& name) const {
    for (auto& f : FFields)
        if (SameText(f->GetFieldName(), name)) return f.get();
    return nullptr;
}

TDLField& TDLDataSet::FieldByName(const std::string& name) const {
    TDLField* f = FindField(name);
    if (!f) DBError(Fmt("Field '%s' not found", name));
    return *f;
}

std::vector<TDLField*> TDLDataSet::GetFieldList(const std::string& fieldNames) const {
    std::vector<TDLField*> list;
    size_t start = 0;
    while (start <= fieldNames.size()) {
        size_t end = fieldNames.find(';', start);
        if (end == std::string::npos) end = fieldNames.size();
        std::string name = Trim(fieldNames.substr(start, end - start));
        if (!name.empty()) list.push_back(&FieldByName(name));
        start = end + 1;
    }
    return list;
}

TDLVariant TDLDataSet::GetFieldValues(const std::string& fieldNames) const {
    std::vector<TDLField*> list = GetFieldList(fieldNames);
    if (list.size() == 1) return list[0]->GetValue();
    TDLVariant::TArray values;
    for (TDLField* f : list) values.push_back(f->GetValue());
    return values;
}

TDLRecordBuffer TDLDataSet::NewRecordBuffer() const {
    TDLRecordBuffer b;
    b.Values.resize(FFields.size());
    return b;
}

void TDLDataSet::Open() {
    if (GetActive()) return;
    BeforeOpenCursor();
    {
        THourGlass hg;
        SetConnectReason(crOpenCursor, true);
        try {
            PrepareCursor();
            if (!FCommand->ResultSetExists()) {
                Close();
                ReleaseCommand();
                throw EDLNoResultSet("Error creating cursor handle");
            }
            if (FFieldDefs.empty() || FCommand->FieldDescs.empty()) InitFieldDefs();
            CreateFields();
            FResultSet = std::make_unique<TDLResultSet>(this, FCopyBlobs);
            ExecuteCommand();
            FCommandOpen = true;
            FVisibleKinds = rtUnmodified | rtModified | rtInserted;
            FState = dsBrowse;
            ParseFilter();
            FActive.reset();
            FBof = true;
            FEof = GetRecord(gmNext) != grOK;
        } catch (...) {
            FState = dsInactive;
            FResultSet.reset();
            FActive.reset();
            DestroyFields();
            try {
                CloseResultSet();
                if (!KeepCommandOnClose()) ReleaseCommand();
                SetConnectReason(crOpenCursor, false);
            } catch (...) {}
            throw;
        }
    }
    if (AfterOpen) AfterOpen(*this);
    NotifyDetails();
}

void TDLDataSet::Close() {
    if (!GetActive()) return;
    if (BeforeClose) BeforeClose(*this);
    THourGlass hg;
    try {
        if (FClosingForDatabase && FCommand) {
            FCommandOpen = false;
            FCommand->Disconnect(true);
        } else {
            CloseResultSet();
        }
        if (!KeepCommandOnClose()) ReleaseCommand();
    } catch (...) {
        FState = dsInactive;
        FResultSet.reset();
        FActive.reset();
        DestroyFields();
        FVisibleKinds = 0;
        throw;
    }
    FState = dsInactive;
    FResultSet.reset();
    FActive.reset();
    FFilterBuffer = nullptr;
    DestroyFields();
    // Calculated fields declared by the user stay with the dataset.
    for (const TDLFieldDef& def : FCalcFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkCalculated);
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FVisibleKinds = 0;
    FBof = FEof = true;
    SetConnectReason(crOpenCursor, false);
}

void TDLDataSet::Detach() {
    CloseResultSet();
    if (FCommand) {
        std::unique_ptr<TISqlCommand> command = std::move(FCommand);
        command->Disconnect(false);
        command->Unprepare();
    }
}

// --- Dataset: field data ------------------------------------------------------------------

TDLRecordBuffer* TDLDataSet::GetStateBuffer() const {
    switch (FState) {
        case dsBrowse:
        case dsEdit:
        case dsInsert:
        case dsNewValue:
        case dsBlockRead:
        case dsInternalCalc: return FActive.get();
        case dsCalcFields: return FCalcBuffer;
        case dsFilter: return FFilterBuffer;
        case dsOldValue: {
            if (!FActive) return nullptr;
            switch (FActive->Status) {
                case usInserted: return nullptr;
                case usUnmodified:
                case usModified:
                case usDeleted: {
                    // The row as the cache holds it: its former copy once changed.
                    int index = FActive->Bookmark;
                    if (!FResultSet || index < 0 || index >= FResultSet->Count()) return FActive.get();
                    TDLResultSet::TEntry& e = FResultSet->Rows[static_cast<size_t>(index)];
                    if (e.OldBuffer) return e.OldBuffer.get();
                    return e.Buffer ? e.Buffer.get() : FActive.get();
                }
            }
            return nullptr;
        }
        default: return nullptr;
    }
}

TDLVariant TDLDataSet::ReadField(const TDLField& field) const {
    TDLRecordBuffer* b = GetStateBuffer();
    if (!b || field.FIndex < 0 || static_cast<size_t>(field.FIndex) >= b->Values.size()) return TDLVariant();
    return b->Values[static_cast<size_t>(field.FIndex)];
}

void TDLDataSet::WriteField(TDLField& field, const TDLVariant& value) {
    bool calc = field.GetFieldKind() != fkData;
    bool allowed = FState == dsEdit || FState == dsInsert || FState == dsFilter || FState == dsNewValue ||
                   FState == dsInternalCalc || (calc && FState == dsCalcFields);
    if (!allowed) DBError(SNotEditing);
    if (field.ReadOnly && !calc && FState != dsFilter)
        DBError(Fmt("Field '%s' cannot be modified", field.GetFieldName()));
    TDLRecordBuffer* b = (FState == dsCalcFields) ? FCalcBuffer : (FState == dsFilter ? FFilterBuffer : FActive.get());
    if (!b) DBError(SNotEditing);
    if (b->Values.size() < FFields.size()) b->Values.resize(FFields.size());
    b->Values[static_cast<size_t>(field.FIndex)] = CoerceValue(field.GetDataType(), value);
    if (!calc && b->Status == usUnmodified && FState != dsFilter) b->Status = usModified;
    if (!calc && OnFieldChange && (FState == dsEdit || FState == dsInsert)) OnFieldChange(*this, field);
}

void TDLDataSet::ReadColumn(TISqlCommand& command, const TDLFieldDesc& desc, TDLField& field, TDLRecordBuffer& buffer) {
    TDLVariant value;
    if (IsBlobType(desc.FieldType)) {
        const TBytes& bytes = command.GetBlobData(desc);
        if (!bytes.empty()) value = bytes;
    } else {
        // Field form of the column, then the variant of its type.
        int size = std::max(desc.DataSize, 8) + static_cast<int>(sizeof(TDLBcd)) + 8;
        std::vector<uint8_t>& data = FColumnScratch;
        data.assign(static_cast<size_t>(size), 0);
        int bufferSize = IsSizedType(desc.FieldType) ? desc.DataSize : size;
        if (command.GetCnvtFieldData(desc, data.data(), bufferSize)) {
            TParam conv;
            conv.DataType = desc.FieldType;
            conv.SetData(data.data(), bufferSize);
            value = conv.Value;
        }
    }
    TFieldType ft = field.GetDataType();
    TFieldType ct = desc.FieldType;
    if (ft != ct && !value.IsNull()) {
        bool ok = (IsIntegerType(ft) && (IsIntegerType(ct) || ct == ftFloat)) ||
                  ((ft == ftDate || ft == ftTime || ft == ftDateTime) && IsDateTimeType(ct)) ||
                  (IsBlobType(ft) && IsBlobType(ct)) || (IsTextType(ft) && IsTextType(ct)) ||
                  (ft == ftFloat && (IsIntegerType(ct) || ct == ftBCD || ct == ftCurrency));
        if (!ok)
            DBError("Data conversion is not implemented for datatype " + FieldTypeName(ct) + " to " +
                    FieldTypeName(ft) + " (TDLDataSet.ISqlCnvtFieldData)");
    }
    if (buffer.Values.size() < FFields.size()) buffer.Values.resize(FFields.size());
    buffer.Values[static_cast<size_t>(field.FIndex)] = CoerceValue(ft, value);
}

void TDLDataSet::CalculateFields(TDLRecordBuffer& buffer) {
    if (!OnCalcFields || FDataFieldCount == FieldCount()) return;
    TDataSetState saved = FState;
    TDLRecordBuffer* savedCalc = FCalcBuffer;
    FState = dsCalcFields;
    FCalcBuffer = &buffer;
    try {
        for (int i = FDataFieldCount; i < FieldCount(); ++i) buffer.Values[static_cast<size_t>(i)] = TDLVariant();
        OnCalcFields(*this);
    } catch (...) {
        FState = saved;
        FCalcBuffer = savedCalc;
        throw;
    }
    FState = saved;
    FCalcBuffer = savedCalc;
}

void TDLDataSet::ResetBlobModified() {
    for (auto& f : FFields) f->Modified = false;
}

// --- Dataset: cursor ----------------------------------------------------------------------

bool TDLDataSet::IsVisible(int index) {
    TDLRecordBuffer& row = FResultSet->Row(index);
    static const uint8_t kinds[4] = {rtUnmodified, rtModified, rtInserted, rtDeleted};
    if (!(FVisibleKinds & kinds[row.Status & 3])) return false;
    if (FFiltered) return FilterRecord(row);
    return true;
}

void TDLDataSet::CopyToActive(int index) {
    TDLRecordBuffer& row = FResultSet->Row(index);
    FActive = std::make_unique<TDLRecordBuffer>(row);
    FActive->BookmarkFlag = bfCurrent;
    if (FActive->Values.size() < FFields.size()) FActive->Values.resize(FFields.size());
    CalculateFields(*FActive);
}

TDLDataSet::TGetResult TDLDataSet::GetRecord(TGetMode mode) {
    TDLResultSet& rs = *FResultSet;
    int i = 0;
    switch (mode) {
        case gmCurrent:
            i = std::max(rs.CurrentIndex, 0);
            if (rs.Count() > 0 && i >= rs.Count() && rs.AllFetched) i = rs.Count() - 1;
            break;
        case gmNext: i = std::max(rs.CurrentIndex + 1, 0); break;
        case gmPrior: {
            i = std::min(rs.CurrentIndex, rs.Count()) - 1;
            for (; i >= 0; --i)
                if (IsVisible(i)) {
                    rs.CurrentIndex = i;
                    CopyToActive(i);
                    return grOK;
                }
            return grBOF;
        }
    }
    for (;;) {
        if (i >= rs.Count()) {
            if (!rs.FetchRow()) return grEOF;
            i = rs.Count() - 1;
        }
        if (IsVisible(i)) {
            rs.CurrentIndex = i;
            CopyToActive(i);
            return grOK;
        }
        ++i;
    }
}

void TDLDataSet::Resync() {
    if (!FResultSet) return;
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    int mark = FResultSet->CurrentIndex;
    if (GetRecord(gmCurrent) == grOK) return;
    FResultSet->CurrentIndex = std::min(mark, FResultSet->Count());
    if (GetRecord(gmPrior) == grOK) {
        FEof = true;
        return;
    }
    FActive.reset();
    FBof = FEof = true;
}

void TDLDataSet::CheckBrowseMode() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert) Post();
}

void TDLDataSet::First() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->CurrentIndex = -1;
    bool ok = GetRecord(gmNext) == grOK;
    if (!ok) FActive.reset();
    FBof = true;
    FEof = !ok;
    DoAfterScroll();
}

void TDLDataSet::Last() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->FetchAll();
    FResultSet->CurrentIndex = FResultSet->Count();
    bool ok = GetRecord(gmPrior) == grOK;
    if (!ok) FActive.reset();
    FEof = true;
    FBof = !ok;
    DoAfterScroll();
}

void TDLDataSet::Next() {
    CheckBrowseMode();
    if (FEof) return;
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    if (GetRecord(gmNext) == grOK)
        FBof = false;
    else
        FEof = true;
    DoAfterScroll();
}

void TDLDataSet::Prior() {
    CheckBrowseMode();
    if (FBof) return;
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    if (GetRecord(gmPrior) == grOK)
        FEof = false;
    else
        FBof = true;
    DoAfterScroll();
}

int TDLDataSet::MoveBy(int distance) {
    int moved = 0;
    while (distance > 0 && !FEof) {
        Next();
        if (!FEof) {
            ++moved;
            --distance;
        }
    }
    while (distance < 0 && !FBof) {
        Prior();
        if (!FBof) {
            --moved;
            ++distance;
        }
    }
    return moved;
}

int TDLDataSet::GetRecNo() const {
    if (!GetActive() || !FActive) return 0;
    return FActive->RecNo + 1;
}

void TDLDataSet::SetRecNo(int value) {
    CheckBrowseMode();
    TDLResultSet& rs = *FResultSet;
    if (value > rs.Count() && !rs.AllFetched) rs.FetchAll();
    int index = -1;
    if (FLocalEdits) {
        for (int i = 0; i < rs.Count(); ++i) {
            TDLRecordBuffer* b = rs.Rows[static_cast<size_t>(i)].Buffer.get();
            if (b && b->Status != usDeleted && b->RecNo == value - 1) {
                index = i;
                break;
            }
        }
    } else if (value >= 1 && value <= rs.Count()) {
        index = value - 1;
    }
    if (index < 0) return;
    if (BeforeScroll) BeforeScroll(*this);
    rs.CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
}

int TDLDataSet::RecordCount() {
    if (UniDirectional || !FResultSet) return -1;
    FResultSet->FetchAll();
    if (!FFiltered) return FResultSet->Count() - FResultSet->DeletedCount;
    int n = 0;
    for (int i = 0; i < FResultSet->Count(); ++i)
        if (IsVisible(i)) ++n;
    return n;
}

bool TDLDataSet::IsSequenced() const {
    if (!GetActive()) return false;
    if (!FCommand) return true;
    return FResultSet && FResultSet->AllFetched;
}

void TDLDataSet::FetchRemaining() {
    if (!GetActive() || !FResultSet || FResultSet->AllFetched) return;
    int keep = FResultSet->CurrentIndex;
    FResultSet->FetchAll();
    FResultSet->CurrentIndex = keep;
}

TDLUpdateStatus TDLDataSet::UpdateStatus() const {
    if (!FLocalEdits) DBError("Not in cached update mode");
    if (!FActive) return usUnmodified;
    return FActive->Status;
}

// --- Dataset: bookmarks -------------------------------------------------------------------

TDLDataSet::TBookmark TDLDataSet::GetBookmark() const {
    if (!FActive) return -1;
    return FActive->Bookmark;
}

bool TDLDataSet::BookmarkValid(TBookmark bookmark) {
    if (!FResultSet || bookmark < 0 || bookmark >= FResultSet->Count()) return false;
    TDLRecordBuffer* b = FResultSet->Rows[static_cast<size_t>(bookmark)].Buffer.get();
    return b && b->Status != usDeleted;
}

void TDLDataSet::GotoBookmark(TBookmark bookmark) {
    CheckBrowseMode();
    if (bookmark >= FResultSet->Count() && !FResultSet->AllFetched) FResultSet->FetchAll();
    if (!BookmarkValid(bookmark)) DBError("Record not found");
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->CurrentIndex = bookmark;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
}

int TDLDataSet::CompareBookmarks(const TBookmark* a, const TBookmark* b) const {
    if (!a && !b) return 0;
    if (!a) return 1;
    if (!b) return -1;
    if (!GetActive()) return 0;
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

// --- Dataset: editing ---------------------------------------------------------------------

bool TDLDataSet::CanModify() const { return static_cast<bool>(OnUpdateRecord) || FUpdateObject != nullptr; }

void TDLDataSet::CheckEditState() const {
    if (FState != dsEdit && FState != dsInsert) DBError(SNotEditing);
}

void TDLDataSet::Edit() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert) return;
    if (!FActive) {
        Insert();
        return;
    }
    if (!CanModify()) DBError(SDataSetReadOnly);
    CheckBrowseMode();
    FEditSave = *FActive;
    FState = dsEdit;
}

void TDLDataSet::BeginInsertAppend(bool append) {
    CheckBrowseMode();
    if (!CanModify()) DBError(SDataSetReadOnly);
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive)
        FEditSave = *FActive;
    else
        FEditSave = TDLRecordBuffer();
    auto b = std::make_unique<TDLRecordBuffer>(NewRecordBuffer());
    b->RecNo = -1;
    b->Status = usInserted;
    b->BookmarkFlag = append ? bfEOF : bfInserted;
    b->Bookmark = -1;
    FActive = std::move(b);
    FState = dsInsert;
    ResetBlobModified();
    FBof = false;
    FEof = append;
    try {
        if (OnNewRecord) OnNewRecord(*this);
    } catch (...) {
        Cancel();
        throw;
    }
    DoAfterScroll();
}

void TDLDataSet::Insert() { BeginInsertAppend(false); }
void TDLDataSet::Append() { BeginInsertAppend(true); }

void TDLDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert) return;
    bool wasInsert = FState == dsInsert;
    FState = dsBrowse;
    ResetBlobModified();
    if (!wasInsert) {
        *FActive = FEditSave;
        return;
    }
    if (FEditSave.Bookmark >= 0 || !FEditSave.Values.empty()) {
        FActive = std::make_unique<TDLRecordBuffer>(FEditSave);
        Resync();
    } else {
        FActive.reset();
        FBof = FEof = true;
    }
}

void TDLDataSet::Post() {
    CheckActive();
    if (FState != dsEdit && FState != dsInsert) return;
    if (BeforePost) BeforePost(*this);
    CheckEditState();
    // Required columns are left to the server: a column with a default may stay NULL here.
    TDLResultSet& rs = *FResultSet;
    if (FState == dsEdit) {
        int index = FActive->Bookmark;
        TDLResultSet::TEntry& e = rs.Entry(index);
        // The cached row before the post, given back when the write-back fails.
        TDLRecordBuffer savedRow = *e.Buffer;
        std::unique_ptr<TDLRecordBuffer> savedOld =
            e.OldBuffer ? std::make_unique<TDLRecordBuffer>(*e.OldBuffer) : nullptr;
        uint8_t savedApplied = e.Applied;
        rs.PostEdit(index, *FActive);
        try {
            WriteBackPost(index, false);
        } catch (...) {
            TDLResultSet::TEntry& r = rs.Entry(index);
            *r.Buffer = savedRow;
            r.OldBuffer = std::move(savedOld);
            r.Applied = savedApplied;
            throw;
        }
    } else {
        // A live result takes the rest of its rows first: the open server cursor would
        // otherwise hand out the new row a second time.
        if (!FLocalEdits) rs.FetchAll();
        int index = rs.PostInsert(*FActive);
        try {
            WriteBackPost(index, true);
        } catch (...) {
            rs.RemoveRow(index);
            FActive->RecNo = -1;
            FActive->Bookmark = -1;
            throw;
        }
    }
    FState = dsBrowse;
    ResetBlobModified();
    int bookmark = FActive->Bookmark;
    if (bookmark >= 0 && bookmark < rs.Count()) {
        rs.CurrentIndex = bookmark;
        if (GetRecord(gmCurrent) != grOK) Resync();
    } else {
        Resync();
    }
    FBof = FEof = false;
    if (AfterPost) AfterPost(*this);
}

void TDLDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert) {
        Cancel();
        return;
    }
    if (!FActive) DBError(SDataSetEmpty);
    CheckBrowseMode();
    if (!CanModify()) DBError(SDataSetReadOnly);
    if (BeforeDelete) BeforeDelete(*this);
    if (BeforeScroll) BeforeScroll(*this);
    int index = FActive->Bookmark;
    WriteBackDelete(index);
    FState = dsBrowse;
    if (index > FResultSet->Count()) index = FResultSet->Count();
    // The cursor goes to the row that followed, else to the one before.
    FResultSet->CurrentIndex = index - 1;
    FActive.reset();
    if (GetRecord(gmNext) == grOK) {
        FBof = FEof = false;
    } else {
        FResultSet->CurrentIndex = std::min(index, FResultSet->Count());
        if (GetRecord(gmPrior) == grOK) {
            FEof = true;
            FBof = false;
        } else {
            FActive.reset();
            FBof = FEof = true;
        }
    }
    if (AfterDelete) AfterDelete(*this);
    DoAfterScroll();
}

void TDLDataSet::WriteBackPost(int, bool) {}

void TDLDataSet::WriteBackDelete(int index) { FResultSet->DeleteRow(index); }

std::vector<TDLUpdateField> TDLDataSet::GetUpdateFields(int index) {
    TDLResultSet::TEntry& e = FResultSet->Entry(index);
    std::vector<TDLUpdateField> list;
    for (auto& f : FFields) {
        TDLUpdateField u;
        u.FieldName = f->GetFieldName();
        u.IsDataField = f->GetFieldKind() == fkData;
        u.IsBlob = f->IsBlob();
        u.BlobModified = f->Modified;
        u.InKey = IsIndexField(*f);
        size_t i = static_cast<size_t>(f->GetIndex());
        if (i < e.Buffer->Values.size()) u.NewValue = OutsideValue(f->GetDataType(), e.Buffer->Values[i]);
        if (e.OldBuffer) {
            if (i < e.OldBuffer->Values.size()) u.OldValue = OutsideValue(f->GetDataType(), e.OldBuffer->Values[i]);
        } else if (e.Buffer->Status != usInserted) {
            u.OldValue = u.NewValue;
        }
        list.push_back(std::move(u));
    }
    return list;
}

void TDLDataSet::Refresh() {
    CheckBrowseMode();
    int remembered = FActive && FActive->Bookmark >= 0 ? FActive->Bookmark : FResultSet->CurrentIndex;
    {
        THourGlass hg;
        CloseResultSet();
        FResultSet = std::make_unique<TDLResultSet>(this, FCopyBlobs);
        FActive.reset();
        if (FCommand && FCommand->IsPrepared()) {
            ClearOutputParams();
        } else {
            if (FCommand) ReleaseCommand();
            PrepareCursor();
        }
        ExecuteCommand();
        FCommandOpen = true;
        while (FResultSet->Count() <= remembered && FResultSet->FetchRow()) {}
    }
    int count = FResultSet->Count();
    FResultSet->CurrentIndex = std::min(remembered, count - 1);
    if (count > 0 && GetRecord(gmCurrent) == grOK) {
        FBof = FEof = false;
    } else {
        FResultSet->CurrentIndex = count;
        if (GetRecord(gmPrior) == grOK) {
            FBof = FEof = false;
        } else {
            FActive.reset();
            FBof = FEof = true;
        }
    }
}

// --- Dataset: search, filters and sorting --------------------------------------------------

int TDLDataSet::FindFieldIndex(const std::string& name) {
    TDLField* f = FindField(name);
    return f ? f->GetIndex() : -1;
}

TDLVariant TDLDataSet::GetFieldValue(int fieldIndex) { return Fields(fieldIndex)->GetValue(); }

void TDLDataSet::ParseFilter() {
    FFilterParser.reset();
    std::string text = Trim(FFilterText);
    if (!text.empty()) FFilterParser = std::make_unique<TDLExprParser>(*this, text, FFilterOptions);
}

bool TDLDataSet::FilterRecord(TDLRecordBuffer& row) {
    TDataSetState saved = FState;
    TDLRecordBuffer* savedBuffer = FFilterBuffer;
    FState = dsFilter;
    FFilterBuffer = &row;
    bool accept = true;
    try {
        if (FFilterParser) accept = FFilterParser->EvaluateBoolean();
        if (accept && FOnFilterRecord) FOnFilterRecord(*this, accept);
    } catch (const std::exception& e) {
        // A failing filter test is reported; the row keeps the answer it had so far.
        LogMessage(std::string("Filter: ") + e.what(), "DataLink", LogKind::Exception);
    }
    FState = saved;
    FFilterBuffer = savedBuffer;
    return accept;
}

void TDLDataSet::SetFilter(const std::string& text) {
    FFilterText = text;
    FFilterParser.reset();
    if (GetActive()) {
        ParseFilter();
        if (FFiltered) First();
    }
}

void TDLDataSet::SetFilterOptions(TDLFilterOptions options) {
    FFilterOptions = options;
    FFilterParser.reset();
    if (GetActive()) {
        ParseFilter();
        if (FFiltered) First();
    }
}

void TDLDataSet::SetFiltered(bool value) {
    if (!GetActive()) {
        FFiltered = value;
        return;
    }
    CheckBrowseMode();
    if (value != FFiltered) {
        FResultSet->CurrentIndex = -1;
        FFiltered = value;
    }
    First();
}

void TDLDataSet::SetOnFilterRecord(std::function<void(TDLDataSet&, bool&)> handler) {
    FOnFilterRecord = std::move(handler);
    if (GetActive()) {
        CheckBrowseMode();
        if (FFiltered) First();
    }
}

int TDLDataSet::SearchRecord(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) {
    CheckBrowseMode();
    std::vector<TDLField*> fields = GetFieldList(keyFields);
    bool caseInsensitive = options & loCaseInsensitive;
    bool partial = options & loPartialKey;
    TDLResultSet& rs = *FResultSet;
    THourGlass hg;
    int found = -1;
    for (int i = 0; i <= rs.Count(); ++i) {
        if (i == rs.Count()) {
            if (rs.AllFetched) break;
            int keep = rs.CurrentIndex;
            bool got = rs.FetchRow();
            rs.CurrentIndex = keep;
            if (!got) break;
        }
        if (!IsVisible(i)) continue;
        TDLRecordBuffer& row = rs.Row(i);
        TDLVariant values;
        if (fields.size() == 1) {
            values = OutsideValue(fields[0]->GetDataType(), row.Values[static_cast<size_t>(fields[0]->GetIndex())]);
        } else {
            TDLVariant::TArray a;
            for (TDLField* f : fields)
                a.push_back(OutsideValue(f->GetDataType(), row.Values[static_cast<size_t>(f->GetIndex())]));
            values = a;
        }
        if (VarEqualValues(values, keyValues, caseInsensitive, true, partial)) {
            found = i;
            break;
        }
    }
    return found;
}

bool TDLDataSet::Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    int index = SearchRecord(keyFields, keyValues, options);
    if (index < 0) return false;
    FResultSet->CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
    return true;
}

TDLVariant TDLDataSet::Lookup(const std::string& keyFields, const TDLVariant& keyValues,
                              const std::string& resultFields) {
    int index = SearchRecord(keyFields, keyValues, 0);
    if (index < 0) return TDLVariant();
    TDLRecordBuffer row = FResultSet->Row(index);
    if (row.Values.size() < FFields.size()) row.Values.resize(FFields.size());
    CalculateFields(row);
    std::vector<TDLField*> fields = GetFieldList(resultFields);
    if (fields.size() == 1)
        return OutsideValue(fields[0]->GetDataType(), row.Values[static_cast<size_t>(fields[0]->GetIndex())]);
    TDLVariant::TArray a;
    for (TDLField* f : fields)
        a.push_back(OutsideValue(f->GetDataType(), row.Values[static_cast<size_t>(f->GetIndex())]));
    return a;
}

bool TDLDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FFound = false;
    TDLResultSet& rs = *FResultSet;
    int start = FActive && FActive->Bookmark >= 0 ? FActive->Bookmark : rs.CurrentIndex;
    if (goForward) {
        rs.CurrentIndex = restart ? -1 : start;
        FFound = GetRecord(gmNext) == grOK;
    } else {
        if (restart) {
            rs.FetchAll();
            rs.CurrentIndex = rs.Count();
        } else {
            rs.CurrentIndex = start;
        }
        FFound = GetRecord(gmPrior) == grOK;
    }
    if (FFound) {
        FBof = FEof = false;
        DoAfterScroll();
    } else if (FActive && FActive->Bookmark >= 0) {
        rs.CurrentIndex = FActive->Bookmark;
    }
    return FFound;
}

void TDLDataSet::SortCachedRows(const std::vector<int>& fieldIndices, const std::vector<bool>& caseInsensitive,
                                const std::vector<bool>& ascending) {
    CheckBrowseMode();
    TDLResultSet& rs = *FResultSet;
    if (rs.AllFetched && rs.Count() < 2) return;
    if (fieldIndices.empty()) DBError("Invalid array in GetRecordFieldsValue");
    for (int fi : fieldIndices)
        if (fi < 0 || fi >= FieldCount()) DBError("Invalid array in GetRecordFieldsValue");
    int keep = rs.CurrentIndex;
    {
        THourGlass hg;
        rs.FetchAll();
    }
    if (rs.Count() >= 2) {
        auto flag = [](const std::vector<bool>& v, size_t i, bool def) {
            if (v.empty()) return def;
            return i < v.size() ? static_cast<bool>(v[i]) : static_cast<bool>(v[0]);
        };
        auto value = [&](const TDLResultSet::TEntry& e, int fi) {
            const TDLRecordBuffer* b = e.Buffer.get();
            if (!b || static_cast<size_t>(fi) >= b->Values.size()) return TDLVariant();
            return OutsideValue(Fields(fi)->GetDataType(), b->Values[static_cast<size_t>(fi)]);
        };
        std::stable_sort(rs.Rows.begin(), rs.Rows.end(),
                         [&](const TDLResultSet::TEntry& a, const TDLResultSet::TEntry& b) {
                             for (size_t k = 0; k < fieldIndices.size(); ++k) {
                                 int c = VarCompareValues(value(a, fieldIndices[k]), value(b, fieldIndices[k]),
                                                          flag(caseInsensitive, k, false));
                                 if (c != 0) return flag(ascending, k, true) ? c < 0 : c > 0;
                             }
                             return false;
                         });
        // Record numbers and bookmarks stay in positional order.
        int recNo = 0;
        for (int i = 0; i < rs.Count(); ++i) {
            TDLResultSet::TEntry& e = rs.Rows[static_cast<size_t>(i)];
            if (!e.Buffer) continue;
            e.Buffer->Bookmark = i;
            if (e.OldBuffer) e.OldBuffer->Bookmark = i;
            e.Buffer->RecNo = e.Buffer->Status == usDeleted ? -1 : recNo++;
        }
    }
    rs.CurrentIndex = std::min(std::max(keep, 0), rs.Count() - 1);
    if (GetRecord(gmCurrent) == grOK) {
        FBof = FEof = false;
    } else {
        FActive.reset();
        FBof = FEof = true;
    }
}

}  // namespace kelvar
