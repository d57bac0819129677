#include "setup/unDBF_DataLink.h"

#include "foundation/MiscFunc.h"

namespace kelvar {

TfoDBF_DataLink::TfoDBF_DataLink() : TDLComponent(nullptr) {
    dbConnection = new TDLDatabase(this);
    dbConnection->LoginPrompt = false;
    dbConnection->SetDatabaseName("KelvarInstall");
    dbConnection->SetIdleTimeOut(0);
    dbConnection->SetSessionName("Default");
    tbQuery = new TDLQuery(this);
    tbQuery->SetDatabaseName("kelvarinstall");
    dbBatch = new TDLScript(this);
    dbBatch->SetDatabaseName("kelvarinstall");
    // A script runs whole or not at all (Firebird takes DDL inside a transaction): a failed
    // upgrade leaves the database as it was, and the next run starts that script again.
    dbBatch->Transaction = true;
}

TfoDBF_DataLink::~TfoDBF_DataLink() {
    try {
        Disconnect();
    } catch (const std::exception&) {}
    DestroyComponents();
}

bool TfoDBF_DataLink::Connect() {
    try {
        dbConnection->SetConnected(true);
        return dbConnection->GetConnected();
    } catch (const std::exception& e) {
        LastError = TrimText(e.what());
        return false;
    }
}

void TfoDBF_DataLink::Disconnect() { dbConnection->SetConnected(false); }

bool TfoDBF_DataLink::ExecuteScript(const std::string& text) {
    if (TrimText(text).empty()) {
        // Without this the log would show whatever failed before.
        LastError = "The script is empty";
        return false;
    }
    try {
        Connect();
        dbBatch->SetSQLText(text);
        dbBatch->ExecSQL();
        return true;
    } catch (const std::exception& e) {
        LastError = TrimText(e.what());
        return false;
    }
}

}  // namespace kelvar
