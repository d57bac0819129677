#pragma once
// The generic pool layer: which thread gets which connection, the connection base with its
// creation and release hooks, the result wrapper over a dataset, and the background queue.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "database/SQLPool.h"
#include "database/datalink/DLDataTypes.h"

namespace kelvar {

class TDLDataSet;
class TDLField;
class TSQLDelayedQueryThread;

// Binds Values by position to Params, each parameter's type cleared first so that the value
// decides it (a NULL goes as a NULL text). More values than parameters raise before anything runs.
void SetParams(const TVariantArray& values, TParams& params);
// Closes the dataset, binds the values, opens it again.
void ReopenWithParams(const TVariantArray& values, TParams& params, TDLDataSet& dataSet);

class TCustomSQLPool : public ISQLPool, public std::enable_shared_from_this<TCustomSQLPool> {
public:
    TCustomSQLPool();
    ~TCustomSQLPool() override;

    int GetPoolSize() override;
    void SetPoolSize(int value) override;
    bool GetClosed() override;
    // "SQL Pool closed. Can not open any new connections..." once closed.
    ISQLConnectionPtr GetConnection() override;
    std::string GetParam(const std::string& name) override;
    void SetParam(const std::string& name, const std::string& value) override;
    IDelayedQueryPtr NewDelayedQuery() override;
    ISQLConnectionPtr NewConnection() override;
    // No new connections from now on; the main thread's connection stays until the pool goes.
    void Close() override;

protected:
    // Each concrete pool makes its own kind of connection.
    virtual ISQLConnectionPtr CreateConnection() = 0;

    // Guarded by FParamsLock.
    TDLStrings Params;

private:
    std::mutex FParamsLock;
    std::mutex FLock;
    bool FClosed = false;
    int FPoolSize = 5;
    ISQLConnectionPtr FMainConnection;
};

class TCustomSQLConnection : public ISQLConnection, public std::enable_shared_from_this<TCustomSQLConnection> {
public:
    // A connection of class T: Init runs once it is constructed, Done before it is destroyed,
    // each with the full class in place.
    template <class T, class... A>
    static std::shared_ptr<T> Create(A&&... args) {
        std::shared_ptr<T> connection(new T(std::forward<A>(args)...), [](T* p) {
            DoneQuietly(*p);
            delete p;
        });
        connection->Init();
        return connection;
    }

    void StartTransaction() override {}
    void Commit() override {}
    void Rollback() override {}
    IDatasetPtr QueryLimit(const std::string& sql, const TVariantArray& params, bool readOnly, int limit,
                           int skip) final;

protected:
    TCustomSQLConnection() = default;
    virtual void Init() {}
    virtual void Done() {}

private:
    static void DoneQuietly(TCustomSQLConnection& connection);
};

// One open result over a dataset it owns; it holds the connection that made it, so the
// connection outlives the dataset.
class TDataSetWrapper : public IDataset, public std::enable_shared_from_this<TDataSetWrapper> {
public:
    TDataSetWrapper(ISQLConnectionPtr connection, std::unique_ptr<TDLDataSet> dataSet);
    ~TDataSetWrapper() override;

    // IValueList: the field's value as text; by index, the name of that field.
    std::string GetValue(std::string_view name) const override;
    std::string GetValue(int index) const override;
    // An empty or missing value stores NULL.
    void SetValue(std::string_view name, const std::optional<std::string>& value) override;

    ISQLConnectionPtr GetConnection() override { return FConnection; }
    // The client layer's dataset and its fields (database/DataSetAccess.h reaches them).
    TDLDataSet* GetDataSet() { return FDataSet.get(); }
    TDLField& FieldByName(const std::string& name);
    std::vector<std::string> FieldNames() override;
    bool IsEditing() override;
    bool HasField(const std::string& name) override;
    TDLVariant GetFieldValue(const std::string& name) override;
    void SetFieldValue(const std::string& name, const TDLVariant& value) override;
    bool Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) override;
    bool Eof() override;
    bool Bof() override;
    bool IsEmpty() override;
    int RecordCount() override;
    void Open() override;
    void Close() override;
    void Refresh() override;
    void Post() override;
    void Cancel() override;
    void Edit() override;
    void Delete() override;
    void Append() override;
    void Insert() override;
    void First() override;
    void Last() override;
    void Next() override;
    void Prior() override;

protected:
    ISQLConnectionPtr FConnection;
    std::unique_ptr<TDLDataSet> FDataSet;
};

// The object behind IDelayedQuery: one worker thread per queue.
class TDelayedQuery : public IDelayedQuery {
public:
    TDelayedQuery();
    // Queued queries are dropped; queued statements still run (for a few seconds at most) so
    // that no write is lost, and what can't run in time is logged.
    ~TDelayedQuery() override;
    TDelayedQuery(const TDelayedQuery&) = delete;
    TDelayedQuery& operator=(const TDelayedQuery&) = delete;

    int ExecSQL(const std::string& sql, const TVariantArray& params, std::shared_ptr<IExecCallback> callback,
                bool synchronize) override;
    int Query(const std::string& sql, const TVariantArray& params, bool readOnly,
              std::shared_ptr<IQueryCallback> callback, bool synchronize) override;
    bool Cancel(int id) override;
    bool WaitForAll() override;
    void Clear() override;

private:
    std::shared_ptr<TSQLDelayedQueryThread> FThread;
};

// Adapts two handlers to IQueryCallback; either may be empty.
class TQueryCallBack : public IQueryCallback {
public:
    using TResultEvent = std::function<void(int id, const IDatasetPtr& dataset)>;
    using TErrorEvent = std::function<void(int id, const std::exception& error)>;

    TQueryCallBack(TResultEvent onResult, TErrorEvent onError)
        : FOnResult(std::move(onResult)), FOnError(std::move(onError)) {}

    void OnResult(int id, const IDatasetPtr& dataset) override;
    void OnError(int id, const std::exception& error) override;

private:
    TResultEvent FOnResult;
    TErrorEvent FOnError;
};

}  // namespace kelvar
