#include "database/SQLPool_DataLink.h"

#include <atomic>
#include <charconv>

#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {
const char* const LogSource = "DATABASE";

// Connection names: datasets find their database by it, so a name is never used twice.
std::atomic<int> GConnectionCounter{0};

// Firebird's SQL code of network, attachment and shutdown failures.
constexpr int FirebirdLostConnectionCode = -902;

// The lost-connection marker of a dialect; none for the others.
std::string LostConnectionMarker(TSQLDriverType type) {
    switch (type) {
        case dtMySQL: return "lost connection";
        case dtPostgreSQL: return "no connection";
        default: return {};
    }
}

bool UsesTransactions(TSQLDriverType type) { return type == dtFirebird || type == dtPostgreSQL; }

// A port value that is a whole decimal number.
bool ParsePort(const std::string& text, int& port) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), port);
    return ec == std::errc() && end == t.data() + t.size();
}
}  // namespace

bool IsLostConnectionError(const std::exception& error) {
    if (SQLDriverType.load() != dtFirebird) return false;
    auto* engine = dynamic_cast<const EDLEngineError*>(&error);
    return engine && engine->ErrorCode == FirebirdLostConnectionCode;
}

std::string RemoteDatabaseName(TSQLDriverType driverType, const std::string& host, const std::string& serverMode,
                               const std::string& database, const std::string& port) {
    if (driverType == dtFirebird && (SameText(host, "EMBEDDED") || SameText(serverMode, "EMBEDDED"))) return database;
    int number = 0;
    // A port the server doesn't listen on by default must be part of the name, or it is ignored.
    if (driverType == dtFirebird && ParsePort(port, number) && number != FirebirdDefaultPort)
        return host + "/" + std::to_string(number) + ":" + database;
    return host + ":" + database;
}

std::string TableNameOfSQL(const std::string& sql) {
    std::string text = Trim(sql);
    // Line breaks and tabs count as blanks, so that a statement written on several lines works.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    text += ' ';
    int pos = PosText("FROM ", text);
    if (pos == 0) return {};
    text.erase(0, static_cast<size_t>(pos - 1) + 5);
    text = TrimLeft(text);
    return text.substr(0, text.find(' '));
}

// --- Pool manager -------------------------------------------------------------------------

TDataLinkPoolManager::~TDataLinkPoolManager() {
    try {
        Close();
    } catch (const std::exception& e) {
        LogMessage(std::string("Closing the database pool failed (") + Trim(e.what()) + ")", LogSource,
                   LogKind::Warning);
    }
}

void TDataLinkPoolManager::LoadConfig(IConfigDoc& section) {
    Driver = section.ReadString("Driver", Driver);
    Host = section.ReadString("Host", Host);
    Port = section.ReadString("Port", Port);
    Database = section.ReadString("Database", Database);
    Username = section.ReadString("Username", Username);
    Password = section.ReadString("Password", Password);
    ServerMode = section.ReadString("ServerMode", ServerMode);
}

void TDataLinkPoolManager::SaveConfig(IConfigDoc& section) {
    section.WriteString("Driver", Driver);
    section.WriteString("Host", Host);
    section.WriteString("Port", Port);
    section.WriteString("Database", Database);
    section.WriteString("Username", Username);
    section.WriteString("Password", Password);
    section.WriteString("ServerMode", ServerMode);
}

void TDataLinkPoolManager::Open() {
    Close();
    auto pool = std::make_shared<TDataLinkPool>();
    SetCurrentSQLPool(pool);
    Driver = UpperCase(Driver);
    TSQLDriverType type;
    if (Driver == "MYSQL")
        type = dtMySQL;
    else if (Driver == "SQLITE")
        type = dtSQLite;
    else if (Driver == "POSTGRESQL")
        type = dtPostgreSQL;
    else if (Driver == "MSSQL")
        type = dtMSSQL;
    else if (Driver == "ADO")
        type = dtADO;
    else if (Driver == "FIREBIRD" || Driver == "INTERBASE")
        type = dtFirebird;
    else
        throw ESQLPoolError("Unknown driver type: " + Driver);
    SQLDriverType = type;
    pool->SetParam("Driver", Driver);
    pool->SetParam("Host", Host);
    pool->SetParam("Port", Port);
    pool->SetParam("Database", Database);
    pool->SetParam("Username", Username);
    pool->SetParam("Password", Password);
    pool->SetParam("ServerMode", ServerMode);
}

void TDataLinkPoolManager::Close() {
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (!pool) return;
    pool->Close();
    SetCurrentSQLPool(nullptr);
    SQLDriverType = dtNone;
}

// --- Pool ---------------------------------------------------------------------------------

TDataLinkPool::TDataLinkPool() { Params.SetValues("HostName", "localhost"); }

ISQLConnectionPtr TDataLinkPool::CreateConnection() {
    auto connection = TCustomSQLConnection::Create<TDataLinkConnection>();
    TDLDatabase& db = connection->GetDatabase();
    TSQLDriverType type = SQLDriverType.load();
    switch (type) {
        case dtMySQL: db.SetServerType(stMySQL); break;
        case dtFirebird: db.SetServerType(stFirebird); break;
        case dtPostgreSQL: db.SetServerType(stPostgreSQL); break;
        case dtMSSQL:
        case dtADO: db.SetServerType(stSQLServer); break;
        default: throw ESQLPoolError("Pool type not supported");
    }
    db.SetRemoteDatabase(
        RemoteDatabaseName(type, GetParam("Host"), GetParam("ServerMode"), GetParam("Database"), GetParam("Port")));
    db.Params.Clear();
    db.Params.SetValues("USER NAME", GetParam("Username"));
    db.Params.SetValues("PASSWORD", GetParam("Password"));
    db.Params.SetValues("SERVER PORT", std::to_string(StrToIntDef(GetParam("Port"), 3306)));
    db.Params.SetValues("SQL Dialect", "3");
    db.Params.SetValues("ROLE NAME", "PUBLIC");
    if (UsesTransactions(type)) db.Params.SetValues("AUTOCOMMIT", "true");
    // The song database is UTF8; text travels as UTF-8 both ways.
    if (type == dtFirebird) db.Params.SetValues("LOCAL CHARSET", "UTF8");
    if (UsesTransactions(type)) db.SetTransIsolation(tiReadCommitted);
    return connection;
}

// --- Connection ---------------------------------------------------------------------------

TDataLinkConnection::~TDataLinkConnection() = default;

void TDataLinkConnection::Init() {
    FDatabase = std::make_unique<TDLDatabase>(nullptr);
    FDatabase->SetDatabaseName("DB" + std::to_string(++GConnectionCounter));
    FDatabase->Params.Clear();
    FDatabase->SetServerType(stMySQL);
    FDatabase->LoginPrompt = false;
    TDLSession* session = FDatabase->GetSession();
    if (session && session->SQLHourGlass) session->SQLHourGlass = false;
}

void TDataLinkConnection::Done() {
    if (!FDatabase) return;
    std::unique_ptr<TDLDatabase> db = std::move(FDatabase);
    db->Close();
}

void TDataLinkConnection::Connect() {
    if (!FDatabase->GetConnected()) FDatabase->Open();
}

bool TDataLinkConnection::HandleError(const std::exception& error) {
    std::string marker = LostConnectionMarker(SQLDriverType.load());
    if (!marker.empty() && UpperCase(error.what()).find(UpperCase(marker)) != std::string::npos) return true;
    if (IsLostConnectionError(error) && FDatabase && FDatabase->GetConnected()) {
        // The attachment is dead: let go of it, the next statement connects anew.
        try {
            FDatabase->Close();
        } catch (const std::exception& e) {
            LogMessage(std::string("Closing a lost database connection (") + Trim(e.what()) + ")", LogSource,
                       LogKind::Debug);
        }
    }
    return false;
}

void TDataLinkConnection::StartTransaction() {
    if (!UsesTransactions(SQLDriverType.load())) return;
    try {
        Connect();
        FDatabase->StartTransaction();
    } catch (const std::exception& e) {
        HandleError(e);
        throw;
    }
}

void TDataLinkConnection::Commit() {
    if (!UsesTransactions(SQLDriverType.load())) return;
    try {
        FDatabase->Commit();
    } catch (const std::exception& e) {
        HandleError(e);
        throw;
    }
}

void TDataLinkConnection::Rollback() {
    if (!UsesTransactions(SQLDriverType.load())) return;
    try {
        FDatabase->Rollback();
    } catch (const std::exception& e) {
        HandleError(e);
        throw;
    }
}

int TDataLinkConnection::ExecSQL(const std::string& sql, const TVariantArray& params) {
    int result = -1;
    try {
        Connect();
        TDLQuery query(nullptr);
        query.SetDatabaseName(FDatabase->GetDatabaseName());
        query.SetRequestLive(false);
        query.SetSQL(sql);
        SetParams(params, query.GetParams());
        query.ExecSQL();
        result = query.RowsAffected();
    } catch (const std::exception& e) {
        // Swallowed lost connections answer -1; the query went with its scope.
        if (!HandleError(e)) throw;
    }
    return result;
}

IDatasetPtr TDataLinkConnection::Query(const std::string& sql, const TVariantArray& params, bool readOnly) {
    try {
        Connect();
    } catch (const std::exception& e) {
        HandleError(e);
        throw;
    }
    auto query = std::make_unique<TDLQuery>(nullptr);
    query->SetDatabaseName(FDatabase->GetDatabaseName());
    auto wrapper = std::make_shared<TDataLinkDataSetWrapper>(shared_from_this(), std::move(query));
    return wrapper->OpenSQL(sql, params, readOnly);
}

// --- Result wrapper -----------------------------------------------------------------------

IDatasetPtr TDataLinkDataSetWrapper::OpenSQL(const std::string& sql, const TVariantArray& params, bool readOnly) {
    auto* query = dynamic_cast<TDLQuery*>(FDataSet.get());
    if (!query) throw ESQLPoolError("DataSet does not support SQL queries");
    try {
        query->Close();
        if (!readOnly) {
            query->SetUpdateMode(upWhereKeyOnly);
            query->SetAutoRefresh(false);
            switch (SQLDriverType.load()) {
                case dtMySQL: query->SetAutoRefresh(true); break;
                case dtFirebird:
                    FIDQuerySQL = "SELECT GEN_ID(GEN_" + TableNameOfSQL(sql) + "_ID,1) AS ID FROM RDB$DATABASE";
                    query->OnNewRecord = [this](TDLDataSet& ds) { NewRecord(ds); };
                    break;
                case dtPostgreSQL:
                    FIDQuerySQL = "SELECT nextval('" + TableNameOfSQL(sql) + "_ID_seq') AS ID";
                    query->OnNewRecord = [this](TDLDataSet& ds) { NewRecord(ds); };
                    break;
                default: break;
            }
        }
        query->SetSQL(sql);
        query->SetRequestLive(!readOnly);
        query->Close();
        SetParams(params, query->GetParams());
        query->Open();
    } catch (const std::exception& e) {
        auto* connection = dynamic_cast<TDataLinkConnection*>(FConnection.get());
        bool swallowed = connection ? connection->HandleError(e) : false;
        if (!swallowed) throw;
        try {
            query->Close();
        } catch (...) {}
    }
    return shared_from_this();
}

void TDataLinkDataSetWrapper::NewRecord(TDLDataSet& dataSet) {
    if (!FIDQuery)
        FIDQuery = FConnection->Query(FIDQuerySQL, {}, true);
    else
        FIDQuery->OpenSQL(FIDQuerySQL, {}, true);
    dataSet.FieldByName("ID").SetValue(FIDQuery->GetFieldValue("ID"));
}

}  // namespace kelvar
