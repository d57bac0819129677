#pragma once
// The pool layer over the DataLink components: the pool manager that owns the "Database"
// section and the life of the pool, the pool that turns those settings into a database
// component's parameters, the connection that runs statements through queries, and the result
// wrapper that prepares editable results with the new-row identifier of their table.
#include <exception>
#include <memory>
#include <string>

#include "database/SQLPool_imp.h"

namespace kelvar {

class TDLDatabase;

// The server's default port: a Firebird name carries a port only when it differs.
constexpr int FirebirdDefaultPort = 3050;

// A failure that means the server connection is gone (the server stopped, the network broke,
// the database was shut down): the connection reconnects on its next use.
bool IsLostConnectionError(const std::exception& error);

// The name of the database as the client library opens it: the file alone for the embedded
// engine (Host or ServerMode "EMBEDDED"), else host:file, or host/port:file for Firebird on a
// port other than the default.
std::string RemoteDatabaseName(TSQLDriverType driverType, const std::string& host, const std::string& serverMode,
                               const std::string& database, const std::string& port);

// The table a statement selects from: the word after its first "FROM ".
std::string TableNameOfSQL(const std::string& sql);

class TDataLinkPoolManager : public ISQLPoolManager {
public:
    TDataLinkPoolManager() = default;
    ~TDataLinkPoolManager() override;

    void SaveConfig(IConfigDoc& section) override;
    void LoadConfig(IConfigDoc& section) override;
    // A new pool becomes the current one; "Unknown driver type: " for a driver outside the list.
    void Open() override;
    void Close() override;

    std::string Driver = "MySQL";
    std::string Host = "localhost";
    std::string Port;
    std::string Database = "KelvarDB";
    std::string Username = "root";
    std::string Password;
    std::string ServerMode = "EMBEDDED";
};

class TDataLinkPool : public TCustomSQLPool {
public:
    TDataLinkPool();

protected:
    // "Pool type not supported" for a dialect without a server type.
    ISQLConnectionPtr CreateConnection() override;
};

class TDataLinkConnection : public TCustomSQLConnection {
public:
    void StartTransaction() override;
    void Commit() override;
    void Rollback() override;
    // Rows affected; -1 when a lost connection of a dialect that swallows it.
    int ExecSQL(const std::string& sql, const TVariantArray& params) override;
    IDatasetPtr Query(const std::string& sql, const TVariantArray& params, bool readOnly) override;

    TDLDatabase& GetDatabase() { return *FDatabase; }

    // A failure of this connection: true when it is swallowed (MySQL and PostgreSQL lost
    // connections); a lost Firebird connection is closed so that the next use reconnects.
    bool HandleError(const std::exception& error);

protected:
    friend class TCustomSQLConnection;
    TDataLinkConnection() = default;
    ~TDataLinkConnection() override;
    void Init() override;
    void Done() override;

private:
    void Connect();
    std::unique_ptr<TDLDatabase> FDatabase;
};

class TDataLinkDataSetWrapper : public TDataSetWrapper {
public:
    using TDataSetWrapper::TDataSetWrapper;
    // "DataSet does not support SQL queries" over a dataset that is not a query.
    IDatasetPtr OpenSQL(const std::string& sql, const TVariantArray& params, bool readOnly) override;

    const std::string& GetIDQuerySQL() const { return FIDQuerySQL; }

private:
    void NewRecord(TDLDataSet& dataSet);
    std::string FIDQuerySQL;
    IDatasetPtr FIDQuery;
};

}  // namespace kelvar
