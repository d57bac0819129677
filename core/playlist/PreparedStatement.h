#pragma once
// One statement prepared once on a connection and run many times with new values: the
// library's bulk writes and look-ups (imports, deletions) would otherwise have the server parse
// and plan the same text for every row. Over a connection of another kind each run prepares
// anew through the connection.
#include <memory>
#include <string>

#include "database/SQLPool.h"

namespace kelvar {

class TDLQuery;

class TPreparedStatement {
public:
    // The connection must outlive the statement.
    TPreparedStatement(ISQLConnection& connection, std::string sql);
    ~TPreparedStatement();
    TPreparedStatement(const TPreparedStatement&) = delete;
    TPreparedStatement& operator=(const TPreparedStatement&) = delete;

    // Rows affected.
    int Exec(const TVariantArray& params);
    // Runs a query; the rows are read through Next and Value until the next Open.
    void Open(const TVariantArray& params);
    bool Next();
    TDLVariant Value(const std::string& column);

private:
    ISQLConnection& FConnection;
    std::string FSQL;
    std::unique_ptr<TDLQuery> FQuery;  // empty over a connection of another kind
    IDatasetPtr FRows;                 // the fall-back's result
    bool FStarted = false;
};

}  // namespace kelvar
