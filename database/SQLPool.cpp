#include "database/SQLPool.h"

#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "database/SQLPool_DataLink.h"
#include "foundation/Errors.h"
#include "foundation/MainThread.h"

namespace kelvar {

std::atomic<TSQLDriverType> SQLDriverType{dtNone};

namespace {

struct TNoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return UpperCase(a) < UpperCase(b); }
};

struct TPoolState {
    std::mutex Lock;
    std::map<std::string, TPoolManagerFactory, TNoCaseLess> Registry;
    ISQLPoolManagerPtr Manager;
    ISQLPoolPtr Pool;
};

// Never destroyed: a pool still open at exit must not be torn down after the client layer's
// own process-wide objects are gone.
TPoolState& State() {
    static TPoolState* state = new TPoolState;
    return *state;
}

// Static initialisers of a static library's unreferenced objects never run, so the built-in
// driver is registered on first use of the registry instead.
void EnsureBuiltInFactories();

void AddFactory(const std::string& name, TPoolManagerFactory factory) {
    TPoolState& s = State();
    std::lock_guard<std::mutex> lock(s.Lock);
    if (!s.Registry.emplace(name, std::move(factory)).second) throw EListError("String list does not allow duplicates");
}

void EnsureBuiltInFactories() {
    static std::once_flag once;
    std::call_once(once, [] {
        AddFactory("FIREBIRD", [] { return ISQLPoolManagerPtr(std::make_shared<TDataLinkPoolManager>()); });
    });
}

// Trimmed of blanks and control characters.
std::string TrimControls(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

const std::thread::id GStartThread = std::this_thread::get_id();

}  // namespace

void RegisterPoolFactory(const std::string& name, TPoolManagerFactory factory) {
    if (TrimControls(name).empty()) return;
    EnsureBuiltInFactories();
    AddFactory(name, std::move(factory));
}

ISQLPoolManagerPtr CreatePoolManager(const std::string& name) {
    EnsureBuiltInFactories();
    TPoolManagerFactory factory;
    {
        TPoolState& s = State();
        std::lock_guard<std::mutex> lock(s.Lock);
        auto it = s.Registry.find(name);
        if (it == s.Registry.end()) return nullptr;
        factory = it->second;
    }
    ISQLPoolManagerPtr manager = factory();
    ISQLPoolManagerPtr previous;
    {
        TPoolState& s = State();
        std::lock_guard<std::mutex> lock(s.Lock);
        previous = std::exchange(s.Manager, manager);
    }
    // A replaced manager closes its pool as it goes, which takes the lock again.
    previous.reset();
    return manager;
}

ISQLPoolManagerPtr GetSQLPoolManager() {
    TPoolState& s = State();
    std::lock_guard<std::mutex> lock(s.Lock);
    return s.Manager;
}

ISQLPoolPtr GetCurrentSQLPool() {
    TPoolState& s = State();
    std::lock_guard<std::mutex> lock(s.Lock);
    return s.Pool;
}

void SetCurrentSQLPool(ISQLPoolPtr pool) {
    ISQLPoolPtr old;
    TPoolState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.Lock);
        old = std::move(s.Pool);
        s.Pool = std::move(pool);
    }
    // The old pool goes outside the lock: its destruction closes connections.
}

bool IsDatabaseMainThread() {
    IMainThreadDispatcherPtr d = GetMainThreadDispatcher();
    if (d) return d->IsMainThread();
    return std::this_thread::get_id() == GStartThread;
}

namespace {
ISQLPoolPtr CheckedPool() {
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (!pool) throw ESQLPoolError("No SQL pool specified");
    return pool;
}
}  // namespace

void CheckSQLPool() { CheckedPool(); }

IDelayedQueryPtr PoolNewDelayedQuery() { return CheckedPool()->NewDelayedQuery(); }

ISQLConnectionPtr PoolGetConnection() { return CheckedPool()->GetConnection(); }

int PoolExecSQL(const std::string& sql, const TVariantArray& params) {
    ISQLConnectionPtr connection = CheckedPool()->GetConnection();
    return connection->ExecSQL(sql, params);
}

IDatasetPtr PoolQuery(const std::string& sql, const TVariantArray& params, bool readOnly) {
    ISQLConnectionPtr connection = CheckedPool()->GetConnection();
    return connection->Query(sql, params, readOnly);
}

IDatasetPtr PoolQueryLimit(const std::string& sql, const TVariantArray& params, bool readOnly, int limit, int skip) {
    CheckSQLPool();
    return PoolQuery(AddSQLLimit(sql, limit, skip), params, readOnly);
}

ISQLConnectionPtr PoolGetWriteConnection() {
    // Without a pool this answers the pool error too rather than an empty connection.
    ISQLPoolPtr pool = CheckedPool();
    TSQLDriverType type = SQLDriverType.load();
    if (type == dtFirebird || type == dtPostgreSQL) {
        ISQLConnectionPtr connection = pool->NewConnection();
        connection->StartTransaction();
        return connection;
    }
    return pool->GetConnection();
}

std::string AddSQLLimit(const std::string& sql, int limit, int skip) {
    if (limit <= 0 && skip <= 0) return sql;
    std::string text = TrimControls(sql);
    auto insertAt7 = [&text](const std::string& clause) { text.insert(std::min<size_t>(6, text.size()), clause); };
    const std::string l = std::to_string(limit);
    const std::string k = std::to_string(skip);
    TSQLDriverType type = SQLDriverType.load();
    if (skip > 0) {
        switch (type) {
            case dtMySQL:
            case dtSQLite: text += " LIMIT " + k + "," + l; break;
            case dtFirebird: insertAt7(" FIRST " + l + " SKIP " + k); break;
            case dtPostgreSQL: text += " LIMIT " + l + " OFFSET " + k; break;
            case dtMSSQL:
            case dtADO: insertAt7(" TOP " + std::to_string(static_cast<int64_t>(limit) + skip) + " SKIP=" + k); break;
            default: throw ESQLPoolError("SQL: Skip not implemented yet");
        }
        return text;
    }
    switch (type) {
        case dtFirebird: insertAt7(" FIRST " + l + " "); break;
        case dtMSSQL:
        case dtADO: insertAt7(" TOP " + l + " "); break;
        case dtMySQL:
        case dtPostgreSQL:
        case dtSQLite: text += " LIMIT " + l; break;
        default: throw ESQLPoolError("SQL: Limit not implemented yet");
    }
    return text;
}

}  // namespace kelvar
