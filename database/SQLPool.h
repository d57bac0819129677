#pragma once
// The database layer as the rest of the program sees it: the pool of connections, a connection,
// an open result, a queue of background statements with its callbacks, the pool manager, the
// registry of pool-manager factories by driver name, and the free functions that run statements
// on the calling thread's connection.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/Dataset.h"
#include "database/datalink/DLDataTypes.h"
#include "foundation/ConfigDoc.h"
#include "foundation/ValueList.h"

namespace kelvar {

// Failures of the pool layer itself (no pool, closed pool, unknown driver, unsupported dialect).
class ESQLPoolError : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// The dialect of the open database.
enum TSQLDriverType : uint8_t { dtNone, dtMySQL, dtFirebird, dtPostgreSQL, dtMSSQL, dtSQLite, dtADO };

class ISQLPool;
class ISQLPoolManager;
class IDelayedQuery;
using ISQLPoolPtr = std::shared_ptr<ISQLPool>;
using ISQLPoolManagerPtr = std::shared_ptr<ISQLPoolManager>;
using IDelayedQueryPtr = std::shared_ptr<IDelayedQuery>;

// One database connection.
class ISQLConnection {
public:
    virtual ~ISQLConnection() = default;
    virtual void StartTransaction() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    // Rows affected.
    virtual int ExecSQL(const std::string& sql, const TVariantArray& params) = 0;
    virtual IDatasetPtr Query(const std::string& sql, const TVariantArray& params, bool readOnly) = 0;
    // AddSQLLimit, then Query with the rewritten text.
    virtual IDatasetPtr QueryLimit(const std::string& sql, const TVariantArray& params, bool readOnly, int limit,
                                   int skip) = 0;
};

// The connections of one database.
class ISQLPool {
public:
    virtual ~ISQLPool() = default;
    virtual int GetPoolSize() = 0;
    virtual void SetPoolSize(int value) = 0;
    virtual bool GetClosed() = 0;
    // The calling thread's connection: the main thread's cached one, a new one elsewhere.
    virtual ISQLConnectionPtr GetConnection() = 0;
    virtual std::string GetParam(const std::string& name) = 0;
    virtual void SetParam(const std::string& name, const std::string& value) = 0;
    virtual IDelayedQueryPtr NewDelayedQuery() = 0;
    // Always a new, unshared connection.
    virtual ISQLConnectionPtr NewConnection() = 0;
    virtual void Close() = 0;
};

// The "Database" settings and the life of the pool.
class ISQLPoolManager {
public:
    virtual ~ISQLPoolManager() = default;
    virtual void SaveConfig(IConfigDoc& section) = 0;
    virtual void LoadConfig(IConfigDoc& section) = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
};

// Callback of a queued statement. The exception is valid until the call returns.
class IExecCallback {
public:
    virtual ~IExecCallback() = default;
    virtual void OnResult(int id, int rowsAffected) = 0;
    virtual void OnError(int id, const std::exception& error) = 0;
};

// Callback of a queued query.
class IQueryCallback {
public:
    virtual ~IQueryCallback() = default;
    virtual void OnResult(int id, const IDatasetPtr& dataset) = 0;
    virtual void OnError(int id, const std::exception& error) = 0;
};

// A first-in first-out queue of statements that one worker thread runs in order.
class IDelayedQuery {
public:
    virtual ~IDelayedQuery() = default;
    // Queue a statement or query; the answer is its item number (1 for the first of a queue).
    // Callback: an IExecCallback (statements) or IQueryCallback (queries), or empty.
    virtual int ExecSQL(const std::string& sql, const TVariantArray& params, std::shared_ptr<IExecCallback> callback,
                        bool synchronize) = 0;
    virtual int Query(const std::string& sql, const TVariantArray& params, bool readOnly,
                      std::shared_ptr<IQueryCallback> callback, bool synchronize) = 0;
    // Drops a still-queued item; false when it ran, is running or never existed.
    virtual bool Cancel(int id) = 0;
    // On the main thread: waits until every queued item has run, running this queue's
    // synchronised callbacks meanwhile. False when the worker is waiting for a lost database
    // to come back (the items stay queued), or when called from one of this queue's own
    // synchronised callbacks while items are still queued behind it.
    virtual bool WaitForAll() = 0;
    // Drops every queued item.
    virtual void Clear() = 0;
};

// --- Registry and process-wide state --------------------------------------------------------

using TPoolManagerFactory = std::function<ISQLPoolManagerPtr()>;

// Adds a factory under Name (itself, not trimmed); a blank name does nothing; a name already
// registered (without regard to case) raises the list's duplicate error.
void RegisterPoolFactory(const std::string& name, TPoolManagerFactory factory);
// The factory's new manager, or empty when Name isn't registered; a found manager also becomes
// the current one (GetSQLPoolManager).
ISQLPoolManagerPtr CreatePoolManager(const std::string& name);

ISQLPoolManagerPtr GetSQLPoolManager();
ISQLPoolPtr GetCurrentSQLPool();
// Written by the pool manager's Open and Close only.
void SetCurrentSQLPool(ISQLPoolPtr pool);

// The dialect byte of the open database; dtNone while no pool is open.
extern std::atomic<TSQLDriverType> SQLDriverType;

// The thread that started the program (the dispatcher's main thread when one is set).
bool IsDatabaseMainThread();

// --- Free functions -------------------------------------------------------------------------

// "No SQL pool specified" without a current pool.
void CheckSQLPool();
IDelayedQueryPtr PoolNewDelayedQuery();
ISQLConnectionPtr PoolGetConnection();
// On a thread other than the main thread the connection made for the call closes again.
int PoolExecSQL(const std::string& sql, const TVariantArray& params = {});
// The result holds its connection.
IDatasetPtr PoolQuery(const std::string& sql, const TVariantArray& params = {}, bool readOnly = true);
IDatasetPtr PoolQueryLimit(const std::string& sql, const TVariantArray& params, bool readOnly, int limit, int skip);
// A connection for a batch of writes: for Firebird and PostgreSQL a new connection with a
// started transaction that the caller commits or rolls back; otherwise the calling thread's.
ISQLConnectionPtr PoolGetWriteConnection();
// Row limit and skip clauses in the open database's dialect.
std::string AddSQLLimit(const std::string& sql, int limit, int skip);

}  // namespace kelvar
