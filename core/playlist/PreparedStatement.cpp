#include "core/playlist/PreparedStatement.h"

#include "database/SQLPool_DataLink.h"
#include "database/SQLPool_imp.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

TPreparedStatement::TPreparedStatement(ISQLConnection& connection, std::string sql)
    : FConnection(connection), FSQL(std::move(sql)) {
    auto* dataLink = dynamic_cast<TDataLinkConnection*>(&connection);
    if (!dataLink) return;
    FQuery = std::make_unique<TDLQuery>(nullptr);
    FQuery->SetDatabaseName(dataLink->GetDatabase().GetDatabaseName());
    FQuery->SetRequestLive(false);
    FQuery->SetSQL(FSQL);
    FQuery->Prepare();
}

TPreparedStatement::~TPreparedStatement() {
    if (!FQuery) return;
    try {
        FQuery->Close();
        FQuery->UnPrepare();
    } catch (...) {
        // A lost connection: the statement goes with it.
    }
}

int TPreparedStatement::Exec(const TVariantArray& params) {
    if (!FQuery) return FConnection.ExecSQL(FSQL, params);
    SetParams(params, FQuery->GetParams());
    FQuery->ExecSQL();
    return FQuery->RowsAffected();
}

void TPreparedStatement::Open(const TVariantArray& params) {
    FStarted = false;
    if (!FQuery) {
        FRows = FConnection.Query(FSQL, params, true);
        return;
    }
    FQuery->Close();
    SetParams(params, FQuery->GetParams());
    FQuery->Open();
}

bool TPreparedStatement::Next() {
    if (!FQuery) {
        if (!FStarted) {
            FStarted = true;
            FRows->First();
        } else {
            FRows->Next();
        }
        return !FRows->Eof();
    }
    if (!FStarted) {
        FStarted = true;
        FQuery->First();
    } else {
        FQuery->Next();
    }
    return !FQuery->Eof();
}

TDLVariant TPreparedStatement::Value(const std::string& column) {
    if (!FQuery) return FRows->GetFieldValue(column);
    return FQuery->FieldByName(column).GetValue();
}

}  // namespace kelvar
