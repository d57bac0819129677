#include "database/SQLPool_imp.h"

#include "database/DataSetAccess.h"
#include "database/SQLDelayedQueryThread.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Errors.h"
#include "foundation/Logger.h"

namespace kelvar {

void SetParams(const TVariantArray& values, TParams& params) {
    if (static_cast<int>(values.size()) > params.Count())
        throw EListError("List index out of bounds (" + std::to_string(params.Count()) + ")");
    for (size_t i = 0; i < values.size(); ++i) {
        TParam& p = params[static_cast<int>(i)];
        // A NULL carries no type of its own; it is bound as a NULL text.
        p.DataType = values[i].IsNull() ? ftString : ftUnknown;
        p.SetValue(values[i]);
    }
}

void ReopenWithParams(const TVariantArray& values, TParams& params, TDLDataSet& dataSet) {
    dataSet.Close();
    SetParams(values, params);
    dataSet.Open();
}

// --- Pool ---------------------------------------------------------------------------------

TCustomSQLPool::TCustomSQLPool() = default;

TCustomSQLPool::~TCustomSQLPool() {
    ISQLConnectionPtr main;
    {
        std::lock_guard<std::mutex> lock(FLock);
        main = std::move(FMainConnection);
    }
    main.reset();
    Close();
}

int TCustomSQLPool::GetPoolSize() {
    std::lock_guard<std::mutex> lock(FLock);
    return FPoolSize;
}

void TCustomSQLPool::SetPoolSize(int value) {
    std::lock_guard<std::mutex> lock(FLock);
    FPoolSize = value;
}

bool TCustomSQLPool::GetClosed() {
    std::lock_guard<std::mutex> lock(FLock);
    return FClosed;
}

ISQLConnectionPtr TCustomSQLPool::GetConnection() {
    if (GetClosed()) throw ESQLPoolError("SQL Pool closed. Can not open any new connections...");
    if (IsDatabaseMainThread()) {
        std::lock_guard<std::mutex> lock(FLock);
        if (!FMainConnection) FMainConnection = CreateConnection();
        return FMainConnection;
    }
    // Another thread never shares a connection: each request gets its own.
    return CreateConnection();
}

std::string TCustomSQLPool::GetParam(const std::string& name) {
    std::lock_guard<std::mutex> lock(FParamsLock);
    return Params.Values(name);
}

void TCustomSQLPool::SetParam(const std::string& name, const std::string& value) {
    std::lock_guard<std::mutex> lock(FParamsLock);
    Params.SetValues(name, value);
}

IDelayedQueryPtr TCustomSQLPool::NewDelayedQuery() { return std::make_shared<TDelayedQuery>(); }

ISQLConnectionPtr TCustomSQLPool::NewConnection() { return CreateConnection(); }

void TCustomSQLPool::Close() {
    std::lock_guard<std::mutex> lock(FLock);
    FClosed = true;
}

// --- Connection ---------------------------------------------------------------------------

IDatasetPtr TCustomSQLConnection::QueryLimit(const std::string& sql, const TVariantArray& params, bool readOnly,
                                             int limit, int skip) {
    return Query(AddSQLLimit(sql, limit, skip), params, readOnly);
}

void TCustomSQLConnection::DoneQuietly(TCustomSQLConnection& connection) {
    // Runs from a deleter: nothing may escape.
    try {
        connection.Done();
    } catch (const std::exception& e) {
        LogMessage(std::string("Closing a database connection failed (") + Trim(e.what()) + ")", "DATABASE",
                   LogKind::Warning);
    } catch (...) {
        LogMessage("Closing a database connection failed", "DATABASE", LogKind::Warning);
    }
}

// --- Result wrapper -----------------------------------------------------------------------

TDataSetWrapper::TDataSetWrapper(ISQLConnectionPtr connection, std::unique_ptr<TDLDataSet> dataSet)
    : FConnection(std::move(connection)), FDataSet(std::move(dataSet)) {}

TDataSetWrapper::~TDataSetWrapper() {
    // The dataset goes before the connection that made it.
    if (FDataSet) {
        try {
            FDataSet->Close();
        } catch (const std::exception& e) {
            LogMessage(std::string("Closing a result failed (") + Trim(e.what()) + ")", "DATABASE", LogKind::Warning);
        }
        FDataSet.reset();
    }
    FConnection.reset();
}

std::string TDataSetWrapper::GetValue(std::string_view name) const {
    return const_cast<TDataSetWrapper*>(this)->GetFieldValue(std::string(name)).AsString();
}

std::string TDataSetWrapper::GetValue(int index) const {
    if (index < 0 || index >= FDataSet->FieldCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FDataSet->Fields(index)->GetFieldName();
}

void TDataSetWrapper::SetValue(std::string_view name, const std::optional<std::string>& value) {
    SetFieldValue(std::string(name), value && !value->empty() ? TDLVariant(*value) : TDLVariant());
}

TDLField& TDataSetWrapper::FieldByName(const std::string& name) { return FDataSet->FieldByName(name); }

std::vector<std::string> TDataSetWrapper::FieldNames() {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(FDataSet->FieldCount()));
    for (int i = 0; i < FDataSet->FieldCount(); ++i) names.push_back(FDataSet->Fields(i)->GetFieldName());
    return names;
}

bool TDataSetWrapper::IsEditing() { return FDataSet->GetState() == dsEdit || FDataSet->GetState() == dsInsert; }

bool TDataSetWrapper::HasField(const std::string& name) {
    const std::string upper = UpperCase(name);
    for (const TDLFieldDef& def : FDataSet->GetFieldDefs())
        if (def.Name == upper) return true;
    return false;
}

TDLVariant TDataSetWrapper::GetFieldValue(const std::string& name) {
    TDLVariant v = FieldByName(name).GetValue();
    if (v.IsNull()) return TDLVariant(std::string());
    return v;
}

void TDataSetWrapper::SetFieldValue(const std::string& name, const TDLVariant& value) {
    FieldByName(name).SetValue(value);
}

bool TDataSetWrapper::Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) {
    return FDataSet->Locate(keyFields, keyValues, options);
}

bool TDataSetWrapper::Eof() { return FDataSet->Eof(); }
bool TDataSetWrapper::Bof() { return FDataSet->Bof(); }
bool TDataSetWrapper::IsEmpty() { return FDataSet->Bof() && FDataSet->Eof(); }
int TDataSetWrapper::RecordCount() { return FDataSet->RecordCount(); }
void TDataSetWrapper::Open() { FDataSet->Open(); }
void TDataSetWrapper::Close() { FDataSet->Close(); }
void TDataSetWrapper::Refresh() { FDataSet->Refresh(); }
void TDataSetWrapper::Post() { FDataSet->Post(); }
void TDataSetWrapper::Cancel() { FDataSet->Cancel(); }
void TDataSetWrapper::Edit() { FDataSet->Edit(); }
void TDataSetWrapper::Delete() { FDataSet->Delete(); }
void TDataSetWrapper::Append() { FDataSet->Append(); }
void TDataSetWrapper::Insert() { FDataSet->Insert(); }
void TDataSetWrapper::First() { FDataSet->First(); }
void TDataSetWrapper::Last() { FDataSet->Last(); }
void TDataSetWrapper::Next() { FDataSet->Next(); }
void TDataSetWrapper::Prior() { FDataSet->Prior(); }

// --- Delayed query ------------------------------------------------------------------------

TDelayedQuery::TDelayedQuery() : FThread(std::make_shared<TSQLDelayedQueryThread>()) {}

TDelayedQuery::~TDelayedQuery() { FThread->Shutdown(); }

int TDelayedQuery::ExecSQL(const std::string& sql, const TVariantArray& params, std::shared_ptr<IExecCallback> callback,
                           bool synchronize) {
    auto item = std::make_unique<TQueryData>();
    item->SQL = sql;
    item->Params = params;
    item->IsExec = true;
    item->ExecCallback = std::move(callback);
    item->Synchronize = synchronize;
    return FThread->Add(std::move(item));
}

int TDelayedQuery::Query(const std::string& sql, const TVariantArray& params, bool readOnly,
                         std::shared_ptr<IQueryCallback> callback, bool synchronize) {
    auto item = std::make_unique<TQueryData>();
    item->SQL = sql;
    item->Params = params;
    item->IsExec = false;
    item->ReadOnly = readOnly;
    item->QueryCallback = std::move(callback);
    item->Synchronize = synchronize;
    return FThread->Add(std::move(item));
}

bool TDelayedQuery::Cancel(int id) { return FThread->Cancel(id); }

bool TDelayedQuery::WaitForAll() { return FThread->WaitForAll(); }

void TDelayedQuery::Clear() { FThread->Clear(); }

void TQueryCallBack::OnResult(int id, const IDatasetPtr& dataset) {
    if (!FOnResult) return;
    IDatasetPtr hold = dataset;
    FOnResult(id, hold);
}

void TQueryCallBack::OnError(int id, const std::exception& error) {
    if (FOnError) FOnError(id, error);
}

TDLDataSet& DataSetOf(IDataset& rows) {
    auto* wrapper = dynamic_cast<TDataSetWrapper*>(&rows);
    if (!wrapper || !wrapper->GetDataSet()) throw ESQLPoolError("Result has no dataset");
    return *wrapper->GetDataSet();
}

TDLField& FieldOf(IDataset& rows, const std::string& name) { return DataSetOf(rows).FieldByName(name); }

}  // namespace kelvar
