// Queries, the update object, stored procedures and blob streams.
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

// --- Queries ------------------------------------------------------------------------------

TDLQuery::TDLQuery(TDLComponent* owner) : TDLDataSet(owner) {}

TDLQuery::~TDLQuery() {
    try {
        Close();
        if (FPreparedFlag) InternalUnprepare();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    SetDataSource(nullptr);
}

void TDLQuery::SetSQL(const std::string& text) {
    Close();
    if (FPreparedFlag || FCommand) UnPrepare();
    FSQLLines = SplitLines(text);
    FSQLText = JoinLines(FSQLLines);
    FKeyFields.clear();
    FCatalogQuery = false;
    ClearFieldDefs();
    if (ParamCheck) {
        TParams list;
        DLCreateParams(&list, FSQLText, ':');
        list.AssignValues(FParams);
        FParams = std::move(list);
    }
}

void TDLQuery::AssignSQL(const std::vector<std::string>& lines) {
    if (JoinLines(lines) == FSQLText) return;
    SetSQL(JoinLines(lines));
}

void TDLQuery::SetRequestLive(bool value) {
    CheckInactive();
    FRequestLive = value;
    FLocalEdits = !value;
}

void TDLQuery::SetUpdateMode(TDLUpdateMode value) {
    CheckInactive();
    FUpdateMode = value;
}

void TDLQuery::SetDataSource(TDLDataSet* master) {
    if (master == FMaster) return;
    for (TDLDataSet* m = master; m; m = dynamic_cast<TDLQuery*>(m) ? static_cast<TDLQuery*>(m)->FMaster : nullptr)
        if (m == this) DBError("Circular datalinks are not allowed");
    if (FMaster) {
        auto& list = FMaster->FDetails;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FMaster = master;
    // The master tells its details when it opens or moves.
    if (FMaster) FMaster->FDetails.push_back(this);
}

void TDLQuery::BindMasterParams() {
    if (!FMaster || !FMaster->GetActive()) return;
    for (int i = 0; i < FParams.Count(); ++i) {
        TParam& p = FParams[i];
        if (p.Bound) continue;
        TDLField* f = FMaster->FindField(p.Name);
        if (!f) continue;
        p.DataType = f->GetDataType();
        p.Value = f->GetValue();  // stays marked as not given explicitly
    }
}

void TDLQuery::MasterChanged() {
    if (!FMaster || FMaster->GetState() == dsInsert || !GetActive()) return;
    bool same = true;
    for (int i = 0; i < FParams.Count() && same; ++i) {
        TParam& p = FParams[i];
        if (p.Bound) continue;
        TDLField* f = FMaster->FindField(p.Name);
        if (!f) continue;
        TDLVariant v = f->GetValue();
        same = p.DataType == f->GetDataType() && p.Value.IsNull() == v.IsNull() && p.Value == v;
    }
    if (same) return;
    Close();
    Open();
}

void TDLQuery::BeforeOpenCursor() {
    FRowsAffected = -1;
    BindMasterParams();
    for (int i = 0; i < FParams.Count(); ++i)
        if (FParams[i].ParamType == ptUnknown) FParams[i].ParamType = ptInput;
}

bool TDLQuery::CanModify() const { return FRequestLive || TDLDataSet::CanModify(); }

bool TDLQuery::IsIndexField(const TDLField& field) const {
    if (!FRequestLive) return false;
    for (const std::string& k : FKeyFields)
        if (SameText(k, field.GetFieldName())) return true;
    return false;
}

std::unique_ptr<TISqlCommand> TDLQuery::CreateCommand() {
    std::unique_ptr<TISqlCommand> command = TDLDataSet::CreateCommand();
    command->CommandType = ctQuery;
    command->Params = &FParams;
    command->OnOwnerNotify = [this](bool flag, int) {
        if (flag && GetActive()) FetchRemaining();
    };
    return command;
}

void TDLQuery::OpenOnCommand(std::unique_ptr<TISqlCommand> command) {
    Close();
    FCommand = std::move(command);
    FCommand->Params = &FParams;
    FCatalogQuery = true;
    FPreparedFlag = true;
    FFieldDefs.clear();
    Open();
}

void TDLQuery::ReadKeyFields() {
    SetConnectReason(crReadKeyFields, true);
    try {
        FKeyFields.clear();
        std::unique_ptr<TDLQuery> schema(FDatabase->OpenSchemaInfo(5, FLiveTableName));
        if (schema) {
            std::string index;
            while (!schema->Eof()) {
                std::string name = TrimRight(schema->FieldByName("INDEX_NAME").AsString());
                int64_t type = schema->FieldByName("INDEX_TYPE").AsInteger();
                if (type & 2) {
                    if (index.empty()) index = name;
                    if (name == index) FKeyFields.push_back(TrimRight(schema->FieldByName("COLUMN_NAME").AsString()));
                }
                schema->Next();
            }
        }
    } catch (...) {
        SetConnectReason(crReadKeyFields, false);
        throw;
    }
    SetConnectReason(crReadKeyFields, false);
}

void TDLQuery::PrepareCursor() {
    if (FCatalogQuery && FCommand) return;
    if (FPreparedFlag && FCommand && FCommand->IsPrepared()) return;
    FRowsAffected = -1;
    bool live = FRequestLive && IsSelectStatement(FSQLText);
    if (live && !FUpdateObject) {
        FLiveTableName = GetTableNameFromSQL(FSQLText);
        if (Trim(FLiveTableName).empty()) DBError(STableReadOnly);
        if (FUpdateMode != upWhereAll) {
            if (FKeyFields.empty()) ReadKeyFields();
            if (FKeyFields.empty()) DBError(STableReadOnly);
        }
    }
    if (!FCommand) {
        if (FSQLText.size() < 2) DBError(SNoSQLStatement);
        FCommand = CreateCommand();
    }
    if (!FCommand->IsPrepared()) {
        try {
            FCommand->Prepare(FSQLText);
        } catch (...) {
            ReleaseCommand();
            throw;
        }
    }
    if (live) {
        FCommand->InitFieldDescs();
        bool writable;
        if (FUpdateMode == upWhereAll || FUpdateObject) {
            writable = std::any_of(FCommand->FieldDescs.begin(), FCommand->FieldDescs.end(),
                                   [](const TDLFieldDesc& d) { return !IsBlobType(d.FieldType); });
        } else {
            writable = !FKeyFields.empty();
            for (const std::string& k : FKeyFields) {
                bool present = std::any_of(
                    FCommand->FieldDescs.begin(), FCommand->FieldDescs.end(),
                    [&](const TDLFieldDesc& d) { return UpperCase(StripQualifier(d.FieldName)) == UpperCase(k); });
                if (!present) writable = false;
            }
        }
        if (!writable) {
            ReleaseCommand();
            DBError(STableReadOnly);
        }
    }
    FPreparedFlag = true;
}

void TDLQuery::Prepare() {
    SetConnectReason(crPrepared, true);
    try {
        PrepareCursor();
    } catch (...) {
        SetConnectReason(crPrepared, false);
        throw;
    }
}

void TDLQuery::InternalUnprepare() {
    if (!GetActive()) DestroyFields();
    if (FCommand) FCommand->Unprepare();
    ReleaseCommand();
    FPreparedFlag = false;
}

void TDLQuery::UnPrepare() {
    if (GetActive()) DBError(SDataSetOpen);
    InternalUnprepare();
    SetConnectReason(crPrepared, false);
}

void TDLQuery::ExecSQL() {
    FRowsAffected = -1;
    CheckInactive();
    THourGlass hg;
    SetConnectReason(crExecuting, true);
    try {
        BindMasterParams();
        PrepareCursor();
        for (int i = 0; i < FParams.Count(); ++i)
            if (FParams[i].ParamType == ptUnknown) FParams[i].ParamType = ptInput;
        ExecuteCommand();
        FRowsAffected = FCommand->GetRowsAffected();
    } catch (...) {
        try {
            SetConnectReason(crExecuting, false);
        } catch (...) {}
        throw;
    }
    SetConnectReason(crExecuting, false);
}

void TDLQuery::RefreshRecord() {
    CheckBrowseMode();
    if (!FActive) DBError(SDataSetEmpty);
    int index = FActive->Bookmark;
    ApplyRowStatement(index, ukRefresh);
    FResultSet->CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
}

bool TDLQuery::NeedOwnTransaction() const {
    return FDatabase && !FDatabase->InTransaction() && !IsTrueText(FDatabase->Params.Values("AUTOCOMMIT"));
}

void TDLQuery::ApplyRowStatement(int index, TDLUpdateKind kind) {
    std::string sql;
    if (FUpdateObject) {
        sql = FUpdateObject->GetSQL(kind);
    } else {
        std::vector<std::string> names;
        for (auto& f : FFields) names.push_back(f->GetFieldName());
        TDLStrings origins, tables;
        if (!names.empty()) GetFieldOrigins(FSQLText, names, origins, tables);
        std::string table = FLiveTableName;
        if (table.empty() && tables.Count() > 0) table = tables.ValueFromIndex(0);
        bool quote = IsTrueText(FDatabase->Params.Values("QUOTE IDENTIFIER"));
        sql = GenerateUpdateSQL(kind, FUpdateMode, table, quote, GetUpdateFields(index), origins);
    }
    if (Trim(sql).empty()) {
        if (kind == ukRefresh) DBError(SNoSQLStatement);
        return;
    }
    TParams params;
    DLCreateParams(&params, sql, ':');
    TDLResultSet::TEntry& e = FResultSet->Entry(index);
    for (int i = 0; i < params.Count(); ++i) {
        TParam& p = params[i];
        bool old = StartsWithText(p.Name, "OLD_");
        TDLField* f = FindField(old ? p.Name.substr(4) : p.Name);
        if (!f) continue;
        size_t fi = static_cast<size_t>(f->GetIndex());
        const TDLRecordBuffer* source = e.Buffer.get();
        if (old) {
            if (e.OldBuffer)
                source = e.OldBuffer.get();
            else if (e.Buffer->Status == usInserted)
                source = nullptr;
        }
        TDLVariant v = source && fi < source->Values.size() ? source->Values[fi] : TDLVariant();
        p.DataType = ParamTypeOf(*f);
        if ((IsMemoType(f->GetDataType()) || f->LongText) && !v.IsNull()) v = v.AsString();
        p.Value = v;
        p.ParamType = ptInput;
        p.Bound = true;
    }
    std::unique_ptr<TISqlCommand> command = FDatabase->GetDriver()->CreateSqlCommand();
    command->CommandType = ctQuery;
    command->Params = &params;
    command->Prepare(sql);
    {
        TFlagGuard busy(FDatabase->Busy);
        command->Execute();
    }
    if (kind != ukRefresh) {
        if (command->GetRowsAffected() == 0) DBError(SRecordChanged);
        if (FAutoRefresh && kind == ukInsert) {
            std::string autoInc = FDatabase->GetDriver()->GetAutoIncSQL();
            if (!autoInc.empty()) {
                std::unique_ptr<TISqlCommand> ai = FDatabase->GetDriver()->CreateSqlCommand();
                ai->Prepare(autoInc);
                ai->Execute();
                if (ai->FetchNextRow()) {
                    if (ai->FieldDescs.empty()) ai->InitFieldDescs();
                    for (auto& f : FFields)
                        if (f->GetDataType() == ftAutoInc &&
                            e.Buffer->Values[static_cast<size_t>(f->GetIndex())].IsNull()) {
                            ReadColumn(*ai, ai->FieldDescs.at(0), *f, *e.Buffer);
                            break;
                        }
                }
                ai->CloseResultSet();
            }
        }
        return;
    }
    if (!command->FetchNextRow()) DBError(SRecordChanged);
    if (command->FieldDescs.empty()) command->InitFieldDescs();
    for (const TDLFieldDesc& d : command->FieldDescs) {
        TDLField* f = FindField(d.FieldName);
        if (f) ReadColumn(*command, d, *f, *e.Buffer);
    }
    command->CloseResultSet();
}

void TDLQuery::WriteBackPost(int index, bool inserted) {
    if (!FRequestLive) return;
    bool own = NeedOwnTransaction();
    if (own) FDatabase->StartTransaction();
    try {
        ApplyRowStatement(index, inserted ? ukInsert : ukModify);
        if (own) FDatabase->Commit();
    } catch (...) {
        if (own) {
            try {
                FDatabase->Rollback();
            } catch (const std::exception& e) {
                LogMessage(e.what(), "DataLink", LogKind::Error);
            }
        }
        throw;
    }
    FResultSet->AcceptRow(index);
    // The display takes over what the write-back set (refreshed identifiers).
    if (FActive) FActive->Values = FResultSet->Row(index).Values;
}

void TDLQuery::WriteBackDelete(int index) {
    if (!FRequestLive) {
        TDLDataSet::WriteBackDelete(index);
        return;
    }
    bool own = NeedOwnTransaction();
    if (own) FDatabase->StartTransaction();
    try {
        ApplyRowStatement(index, ukDelete);
        if (own) FDatabase->Commit();
    } catch (...) {
        if (own) {
            try {
                FDatabase->Rollback();
            } catch (const std::exception& e) {
                LogMessage(e.what(), "DataLink", LogKind::Error);
            }
        }
        throw;
    }
    FResultSet->DeleteRow(index);
    if (index < FResultSet->Count() && FResultSet->Row(index).Status == usDeleted) FResultSet->AcceptRow(index);
}

// --- Update object ------------------------------------------------------------------------

TDLUpdateSQL::TDLUpdateSQL(TDLComponent* owner) : TDLComponent(owner) {}

TDLUpdateSQL::~TDLUpdateSQL() {
    FreeQueries();
    if (FDataSet && FDataSet->FUpdateObject == this) FDataSet->FUpdateObject = nullptr;
}

void TDLUpdateSQL::FreeQueries() {
    for (auto& q : FQueries) q.reset();
}

void TDLUpdateSQL::SetSQL(TDLUpdateKind kind, const std::string& text) {
    FSQLText[kind] = text;
    if (FQueries[kind]) {
        FQueries[kind]->SetSQL(text);
        FQueries[kind]->GetParams().Clear();
        DLCreateParams(&FQueries[kind]->GetParams(), text, ':');
    }
}

void TDLUpdateSQL::SetDataSet(TDLDataSet* dataSet) {
    if (dataSet == FDataSet) return;
    FreeQueries();
    TDLDataSet* old = FDataSet;
    FDataSet = nullptr;
    if (old && old->FUpdateObject == this) old->FUpdateObject = nullptr;
    FDataSet = dataSet;
    if (dataSet && dataSet->FUpdateObject != this) {
        if (dataSet->FUpdateObject) dataSet->FUpdateObject->FDataSet = nullptr;
        dataSet->FUpdateObject = this;
    }
}

TDLQuery& TDLUpdateSQL::GetQuery(TDLUpdateKind kind) {
    if (!FDataSet) DBError("Dataset missing for the update object");
    if (!FQueries[kind]) {
        auto q = std::make_unique<TDLQuery>(nullptr);
        q->SetSessionName(FDataSet->GetSessionName());
        q->SetDatabaseName(FDataSet->GetDatabaseName());
        q->SetSQL(FSQLText[kind]);
        FQueries[kind] = std::move(q);
    }
    return *FQueries[kind];
}

void TDLUpdateSQL::Apply(TDLUpdateKind kind) {
    TDLQuery& q = GetQuery(kind);
    TParams& params = q.GetParams();
    for (int i = 0; i < params.Count(); ++i) {
        TParam& p = params[i];
        bool old = StartsWithText(p.Name, "OLD_");
        TDLField* f = FDataSet->FindField(old ? p.Name.substr(4) : p.Name);
        if (!f) continue;
        TDLVariant v = old ? f->OldValue() : f->GetValue();
        p.DataType = ParamTypeOf(*f);
        p.Value = v;
        p.ParamType = ptInput;
        p.Bound = true;
    }
    q.ExecSQL();
    if (q.RowsAffected() != 1) DBError("Update failed");
}

// --- Stored procedures --------------------------------------------------------------------

TDLStoredProc::TDLStoredProc(TDLComponent* owner) : TDLDataSet(owner) {}

TDLStoredProc::~TDLStoredProc() {
    try {
        Close();
        if (FPrepared) UnPrepare();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
}

void TDLStoredProc::SetStoredProcName(const std::string& value) {
    CheckInactive();
    if (value == FStoredProcName) return;
    if (FPrepared || FCommand) UnPrepare();
    FStoredProcName = value;
    FParams.Clear();
    ClearFieldDefs();
}

void TDLStoredProc::SetOverload(uint16_t value) {
    CheckInactive();
    if (value == FOverload) return;
    if (FPrepared || FCommand) UnPrepare();
    FOverload = value;
    FParams.Clear();
}

void TDLStoredProc::SetParams(const TParams& params) {
    CheckInactive();
    bool was = FPrepared;
    if (was) UnPrepare();
    FParams.AssignValues(params);
    if (FParams.Count() == 0) FParams = params;
    if (was) Prepare();
}

std::unique_ptr<TISqlCommand> TDLStoredProc::CreateCommand() {
    std::unique_ptr<TISqlCommand> command = TDLDataSet::CreateCommand();
    command->CommandType = ctStoredProc;
    command->Params = &FParams;
    command->OnOwnerNotify = [this](bool flag, int) {
        if (flag && GetActive()) FetchRemaining();
    };
    return command;
}

void TDLStoredProc::InternalPrepare() {
    if (!FCommand) FCommand = CreateCommand();
    if (!FCommand->IsPrepared()) {
        try {
            FCommand->Prepare(FStoredProcName);
        } catch (...) {
            ReleaseCommand();
            throw;
        }
    }
    FPrepared = true;
}

void TDLStoredProc::PrepareCursor() { InternalPrepare(); }

void TDLStoredProc::Prepare() {
    SetConnectReason(crSPPrepared, true);
    try {
        InternalPrepare();
    } catch (...) {
        SetConnectReason(crSPPrepared, false);
        throw;
    }
}

void TDLStoredProc::UnPrepare() {
    if (!GetActive()) DestroyFields();
    FPrepared = false;
    ReleaseCommand();
    SetConnectReason(crSPPrepared, false);
}

void TDLStoredProc::ClearOutputParams() {
    for (int i = 0; i < FParams.Count(); ++i)
        if (FParams[i].ParamType == ptOutput) FParams[i].Clear();
}

void TDLStoredProc::RunProcedure() {
    CheckInactive();
    THourGlass hg;
    SetConnectReason(crSPExecuting, true);
    TDLDatabase* db = FDatabase;
    try {
        db->Busy = true;
        InternalPrepare();
        ClearOutputParams();
        FCommand->Execute();
        if (!db->GetDriver()->SPOutputInResultSet) FCommand->GetOutputParams();
        FCommand->CloseResultSet();
    } catch (...) {
        db->Busy = false;
        try {
            SetConnectReason(crSPExecuting, false);
        } catch (...) {}
        throw;
    }
    db->Busy = false;
    SetConnectReason(crSPExecuting, false);
}

// --- Blob streams -------------------------------------------------------------------------

TDLBlobStream::TDLBlobStream(TDLField& field, TDLBlobStreamMode mode)
    : FField(field), FDataSet(*field.GetDataSet()), FOpenMode(mode) {
    FBuffer = FDataSet.GetStateBuffer();
    if (!FBuffer) return;
    if (FDataSet.FState == dsFilter) DBError(Fmt("Cannot access field '%s' in a filter", field.GetFieldName()));
    if (mode == bmWrite && !field.Modified) {
        if (field.ReadOnly) DBError(Fmt("Field '%s' cannot be modified", field.GetFieldName()));
        if (FDataSet.FState != dsEdit && FDataSet.FState != dsInsert) DBError(SNotEditing);
    }
    FOpened = true;
    if (mode == bmWrite) {
        StoreBlob(TBytes());
        FCurrentPos = 0;
        FWritten = true;
    }
}

TDLBlobStream::~TDLBlobStream() {
    if (FOpened && FWritten) FField.Modified = true;
    if (FWritten && FDataSet.OnFieldChange) {
        try {
            FDataSet.OnFieldChange(FDataSet, FField);
        } catch (const std::exception& e) {
            LogMessage(e.what(), "DataLink", LogKind::Exception);
        }
    }
}

TBytes TDLBlobStream::GetBlob() const {
    size_t i = static_cast<size_t>(FField.GetIndex());
    if (!FBuffer || i >= FBuffer->Values.size()) return {};
    return FBuffer->Values[i].AsBytes();
}

void TDLBlobStream::StoreBlob(TBytes data) {
    if (FBuffer != FDataSet.FActive.get()) DBError(SNotEditing);
    size_t i = static_cast<size_t>(FField.GetIndex());
    if (FBuffer->Values.size() <= i) FBuffer->Values.resize(FDataSet.FFields.size());
    if (data.empty())
        FBuffer->Values[i] = TDLVariant();
    else
        FBuffer->Values[i] = std::move(data);
    if (FBuffer->Status == usUnmodified) FBuffer->Status = usModified;
}

int64_t TDLBlobStream::Size() {
    if (!FOpened) return 0;
    return static_cast<int64_t>(GetBlob().size());
}

int64_t TDLBlobStream::Read(void* buffer, int64_t count) {
    if (!FOpened || count <= 0) return 0;
    TBytes data = GetBlob();
    int64_t size = static_cast<int64_t>(data.size());
    // Outside the blob there is nothing to read.
    if (FCurrentPos < 0 || FCurrentPos >= size) return 0;
    int64_t n = std::min(count, size - FCurrentPos);
    std::memcpy(buffer, data.data() + FCurrentPos, static_cast<size_t>(n));
    FCurrentPos += n;
    return n;
}

int64_t TDLBlobStream::Write(const void* buffer, int64_t count) {
    if (!FOpened) DBError(SNotEditing);
    if (count <= 0) return 0;
    if (FCurrentPos < 0) FCurrentPos = 0;
    TBytes data = GetBlob();
    if (static_cast<int64_t>(data.size()) < FCurrentPos + count)
        data.resize(static_cast<size_t>(FCurrentPos + count), 0);
    std::memcpy(data.data() + FCurrentPos, buffer, static_cast<size_t>(count));
    StoreBlob(std::move(data));
    FCurrentPos += count;
    FWritten = true;
    return count;
}

int64_t TDLBlobStream::Seek(int64_t offset, int origin) {
    int64_t pos;
    switch (origin) {
        case 0: pos = offset; break;
        case 1: pos = FCurrentPos + offset; break;
        case 2: pos = Size() + offset; break;
        default: DBError("Invalid stream origin");
    }
    if (pos < 0) DBError("Stream position before the beginning of the blob");
    FCurrentPos = pos;
    return pos;
}

void TDLBlobStream::SetSize(int64_t newSize) {
    if (!FOpened) DBError(SNotEditing);
    if (newSize < 0) newSize = 0;
    TBytes data = GetBlob();
    data.resize(static_cast<size_t>(newSize), 0);
    StoreBlob(std::move(data));
    FWritten = true;
    if (FCurrentPos > newSize) FCurrentPos = newSize;
}

}  // namespace kelvar
