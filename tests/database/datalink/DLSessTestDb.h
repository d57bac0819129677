#pragma once
// The temporary embedded database of the session and dataset tests, reached through the
// database component as the pool sets it up.
#include <atomic>
#include <string>

#include "common/FbTestDatabase.h"
#include "database/datalink/DLEngine.h"

namespace kelvar::dltest {

class TDLTempDatabase : public fbtest::TFbTestDatabase {
public:
    // A unique database name for a component of the default session.
    static std::string NewName() {
        static std::atomic<int> n{0};
        return "DLSESS" + std::to_string(++n);
    }

    // Firebird settings as the pool writes them.
    void Setup(TDLDatabase& db, bool autoCommit = true) const {
        db.SetDatabaseName(NewName());
        db.SetServerType(stFirebird);
        db.SetRemoteDatabase(Path);
        db.LoginPrompt = false;
        db.Params = PoolParams(autoCommit);
        db.SetTransIsolation(tiReadCommitted);
    }

    // Runs statements through the components, on a connection of their own.
    void Exec(std::initializer_list<std::string> statements) const {
        TDLDatabase db;
        Setup(db);
        db.Open();
        for (const std::string& sql : statements) {
            TDLQuery q;
            q.SetDatabaseName(db.GetDatabaseName());
            q.SetSQL(sql);
            q.ExecSQL();
        }
    }
};

}  // namespace kelvar::dltest
