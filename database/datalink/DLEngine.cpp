#include "database/datalink/DLEngine.h"

#include <algorithm>
#include <cstring>

#include "database/datalink/DLFib.h"
#include "database/datalink/DLInt.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar {

namespace {

std::string Fmt(const char* format, const std::string& a) {
    std::string s = format;
    size_t p = s.find("%s");
    if (p != std::string::npos) s.replace(p, 2, a);
    return s;
}

[[noreturn]] void DBError(const std::string& message) { throw EDatabaseError(message); }

const char* const SSessionActive = "Cannot perform this operation on an active session";
const char* const SDatabaseOpen = "Cannot perform this operation on an open database";
const char* const SDatabaseClosed = "Cannot perform this operation on a closed database";
const char* const SDataSetOpen = "Cannot perform this operation on an open dataset";
const char* const SDataSetClosed = "Cannot perform this operation on a closed dataset";
const char* const SDataSetEmpty = "Cannot perform this operation on an empty dataset";
const char* const SNotEditing = "Dataset not in edit or insert mode";
const char* const SDataSetReadOnly = "Cannot modify a read-only dataset";
const char* const SRecordChanged = "Record not found or changed by another user";
const char* const STableReadOnly = "Table is read only";
const char* const SNoSQLStatement = "No SQL statement available";

bool IsMemoType(TFieldType t) { return t == ftMemo || t == ftFmtMemo || t == ftOraClob; }
bool IsTextType(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString || t == ftGuid; }
bool IsIntegerType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}

// A value in the form a field of that type keeps in a record.
TDLVariant CoerceValue(TFieldType type, const TDLVariant& v) {
    if (v.IsNull()) return v;
    if (IsTextType(type)) return v.AsString();
    if (IsIntegerType(type)) return v.AsInteger();
    switch (type) {
        case ftBoolean: return v.AsBoolean();
        case ftFloat:
        case ftCurrency: return v.AsFloat();
        case ftBCD: return v.AsCurrency();
        case ftDate: {
            TDLTimeStamp ts = DateTimeToTimeStamp(v.AsDateTime());
            ts.Time = 0;
            return TDLVariant::FromDateTime(TimeStampToDateTime(ts));
        }
        case ftTime: {
            TDLTimeStamp ts = DateTimeToTimeStamp(v.AsDateTime());
            ts.Date = DateDelta;
            return TDLVariant::FromDateTime(TimeStampToDateTime(ts));
        }
        case ftDateTime: return TDLVariant::FromDateTime(v.AsDateTime());
        case ftBytes:
        case ftVarBytes: return v.AsBytes();
        default:
            if (IsBlobType(type)) {
                TBytes b = v.AsBytes();
                if (b.empty()) return TDLVariant();
                return b;
            }
            return v;
    }
}

// A record value as the field hands it out (text blobs as text).
TDLVariant OutsideValue(TFieldType type, const TDLVariant& v) {
    if (IsMemoType(type) && v.GetKind() == TDLVariant::vkBytes) return v.AsString();
    return v;
}

// The parameter type that writes a field's value back. A long text column goes as text:
// the server would read a blob parameter as bytes without character set.
TFieldType ParamTypeOf(const TDLField& field) {
    if (field.GetDataType() == ftAutoInc) return ftInteger;
    if (field.LongText) return ftString;
    return field.GetDataType();
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) s += "\n";
        s += lines[i];
    }
    return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty() || lines.empty()) lines.push_back(cur);
    return lines;
}

bool IsTrueText(const std::string& v) { return SameText(Trim(v), "TRUE"); }

// Holds the hour-glass for a scope.
struct THourGlass {
    THourGlass() { HourGlassOn(); }
    ~THourGlass() { HourGlassOff(); }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
};

// Sets a flag for a scope.
struct TFlagGuard {
    explicit TFlagGuard(bool& flag) : Flag(flag) { Flag = true; }
    ~TFlagGuard() { Flag = false; }
    bool& Flag;
};

}  // namespace

// --- Components ---------------------------------------------------------------------------

TDLComponent::TDLComponent(TDLComponent* owner) : FOwner(owner) {
    if (FOwner) FOwner->FComponents.push_back(this);
}

TDLComponent::~TDLComponent() {
    DestroyComponents();
    if (FOwner) {
        auto& list = FOwner->FComponents;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TDLComponent::DestroyComponents() {
    while (!FComponents.empty()) delete FComponents.back();  // removes itself from the list
}

// --- Hour-glass and login hooks -----------------------------------------------------------

namespace {
std::mutex GHookLock;
TDLScreenCursorHooks GCursorHooks;
TDLLoginDialog GLoginDialog;
int GHourGlassCount = 0;  // main thread only
int GSavedCursor = 0;

bool OnMainThread() {
    IMainThreadDispatcherPtr d = GetMainThreadDispatcher();
    return d && d->IsMainThread();
}
}  // namespace

void SetDLScreenCursorHooks(TDLScreenCursorHooks hooks) {
    std::lock_guard<std::mutex> lock(GHookLock);
    GCursorHooks = std::move(hooks);
}

void SetDLLoginDialog(TDLLoginDialog dialog) {
    std::lock_guard<std::mutex> lock(GHookLock);
    GLoginDialog = std::move(dialog);
}

void HourGlassOn() {
    if (!OnMainThread() || !DefaultSession().SQLHourGlass) return;
    if (GHourGlassCount == 0) {
        TDLScreenCursorHooks hooks;
        {
            std::lock_guard<std::mutex> lock(GHookLock);
            hooks = GCursorHooks;
        }
        if (hooks.GetCursor && hooks.SetCursor) {
            GSavedCursor = hooks.GetCursor();
            hooks.SetCursor(DefaultSession().WaitCursor);
        }
    }
    ++GHourGlassCount;
}

void HourGlassOff() {
    if (!OnMainThread() || !DefaultSession().SQLHourGlass || GHourGlassCount <= 0) return;
    if (--GHourGlassCount == 0) {
        TDLScreenCursorHooks hooks;
        {
            std::lock_guard<std::mutex> lock(GHookLock);
            hooks = GCursorHooks;
        }
        if (hooks.SetCursor) hooks.SetCursor(GSavedCursor);
    }
}

// --- Driver factories ---------------------------------------------------------------------

std::array<TDLServerFactory, 12>& ServerFactoryTable() {
    static std::array<TDLServerFactory, 12> table = [] {
        std::array<TDLServerFactory, 12> t{};
        t[stInterbase] = IntDatabaseFactory;
        t[stFirebird] = FibDatabaseFactory;
        return t;
    }();
    return table;
}

// --- Session list -------------------------------------------------------------------------

namespace {
TDLSessionList* GSessionList = nullptr;
TDLSessionList& List() { return GSessionList ? *GSessionList : Sessions(); }
}  // namespace

TDLSessionList& Sessions() {
    // Never freed: components held by other process-wide objects may outlive any exit order.
    static std::once_flag once;
    std::call_once(once, [] { new TDLSessionList(); });
    return *GSessionList;
}

TDLSession& DefaultSession() { return *Sessions().DefaultSession(); }

TDLSessionList::TDLSessionList() {
    GSessionList = this;
    auto* def = new TDLSession(nullptr);  // the first session added is the default one
    def->FSessionName = "Default";
}

void TDLSessionList::Add(TDLSession* session) {
    std::lock_guard<std::recursive_mutex> lock(FListLock);
    if (!FDefault) {
        FDefault = session;
        session->FIsDefault = true;
    }
    FSessions.push_back(session);
}

void TDLSessionList::Remove(TDLSession* session) {
    std::lock_guard<std::recursive_mutex> lock(FListLock);
    FSessions.erase(std::remove(FSessions.begin(), FSessions.end(), session), FSessions.end());
}

int TDLSessionList::Count() const {
    std::lock_guard<std::recursive_mutex> lock(FListLock);
    return static_cast<int>(FSessions.size());
}

TDLSession* TDLSessionList::SessionByName(const std::string& name) {
    if (name.empty()) return FDefault;
    std::lock_guard<std::recursive_mutex> lock(FListLock);
    for (TDLSession* s : FSessions)
        if (SameText(s->GetSessionName(), name)) return s;
    return nullptr;
}

TDLSession* TDLSessionList::SessionByName(const std::string& name, bool check) {
    TDLSession* s = SessionByName(name);
    if (!s && check) DBError(Fmt("Invalid session name %s", name));
    return s;
}

int TDLSessionList::TakeAutoNumber() {
    for (size_t i = 0; i < FAutoNumbers.size(); ++i)
        if (!FAutoNumbers[i]) {
            FAutoNumbers[i] = true;
            return static_cast<int>(i);
        }
    FAutoNumbers.push_back(true);
    return static_cast<int>(FAutoNumbers.size() - 1);
}

void TDLSessionList::FreeAutoNumber(int number) {
    if (number >= 0 && static_cast<size_t>(number) < FAutoNumbers.size())
        FAutoNumbers[static_cast<size_t>(number)] = false;
}

// --- Sessions -----------------------------------------------------------------------------

namespace {
TDLSession* OtherSessionOf(TDLComponent* owner, const TDLSession* self) {
    if (!owner) return nullptr;
    for (TDLComponent* c : owner->GetComponents()) {
        auto* s = dynamic_cast<TDLSession*>(c);
        if (s && s != self) return s;
    }
    return nullptr;
}
}  // namespace

TDLSession::TDLSession(TDLComponent* owner) : TDLComponent(owner) {
    if (owner)
        for (TDLComponent* c : owner->GetComponents()) {
            auto* s = dynamic_cast<TDLSession*>(c);
            if (s && s != this && s->GetAutoSessionName())
                DBError(Fmt("Cannot add a session to the form or data-module while session '%s' has AutoSessionName enabled",
                            s->GetSessionName()));
        }
    List().Add(this);
}

TDLSession::~TDLSession() {
    try {
        SetActive(false);
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    DestroyComponents();  // temporary databases
    if (!FIsDefault) {
        // The remaining databases close and move to the default session.
        LockSession();
        std::vector<TDLDatabase*> rest = FDatabaseList;
        UnlockSession();
        for (TDLDatabase* db : rest) {
            try {
                db->Close();
            } catch (const std::exception& e) {
                LogMessage(e.what(), "DataLink", LogKind::Error);
            }
            RemoveDatabase(db);
            db->FSession = &DefaultSession();
            DefaultSession().AddDatabase(db);
        }
    }
    if (FAutoSessionNumber >= 0) {
        LockSession();
        List().FreeAutoNumber(FAutoSessionNumber);
        UnlockSession();
    }
    List().Remove(this);
}

void TDLSession::LockSession() { List().SessionLock().lock(); }
void TDLSession::UnlockSession() { List().SessionLock().unlock(); }

bool TDLSession::GetActive() const {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    for (TDLDatabase* db : FDatabaseList)
        if (db->GetConnected()) return true;
    return FActive;
}

void TDLSession::SetActive(bool value) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    if (value) {
        if (FSessionName.empty()) DBError("Session name missing");
        if (!FIsDefault) DefaultSession().SetActive(true);
        FActive = true;
        return;
    }
    for (size_t i = FDatabaseList.size(); i-- > 0;) {
        if (i >= FDatabaseList.size()) continue;
        TDLDatabase* db = FDatabaseList[i];
        if (db->IsTemporary())
            delete db;
        else
            db->Close();
    }
    FActive = false;
}

void TDLSession::SetSessionName(const std::string& value) {
    if (FAutoSessionName) DBError("Cannot modify SessionName while AutoSessionName is enabled");
    if (FActive) DBError(SSessionActive);
    TDLSession* other = value.empty() ? nullptr : List().SessionByName(value);
    if (other && other != this) DBError(Fmt("Duplicate session name '%s'", value));
    FSessionName = value;
}

void TDLSession::SetAutoSessionName(bool value) {
    if (value == FAutoSessionName) return;
    if (value) {
        if (GetActive()) DBError(SSessionActive);
        if (OtherSessionOf(GetOwner(), this))
            DBError("Cannot enable AutoSessionName property with more than one session on a form or data-module");
        std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
        FAutoSessionNumber = List().TakeAutoNumber();
        FSessionName = Name + "_" + std::to_string(FAutoSessionNumber + 1);
        FAutoSessionName = true;
        if (GetOwner())
            for (TDLComponent* c : GetOwner()->GetComponents()) {
                if (auto* db = dynamic_cast<TDLDatabase*>(c)) db->SetSessionName(FSessionName);
                if (auto* ds = dynamic_cast<TDLDataSet*>(c)) ds->SetSessionName(FSessionName);
            }
    } else {
        std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
        List().FreeAutoNumber(FAutoSessionNumber);
        FAutoSessionNumber = -1;
        FAutoSessionName = false;
    }
}

void TDLSession::AddDatabase(TDLDatabase* database) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    FDatabaseList.push_back(database);
}

void TDLSession::RemoveDatabase(TDLDatabase* database) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    FDatabaseList.erase(std::remove(FDatabaseList.begin(), FDatabaseList.end(), database), FDatabaseList.end());
}

TDLDatabase* TDLSession::FindDatabaseLocked(const std::string& name, const TDLDatabase* except) const {
    for (TDLDatabase* db : FDatabaseList)
        if (db != except && SameText(db->GetDatabaseName(), name)) return db;
    return nullptr;
}

TDLDatabase* TDLSession::DatabaseByName(const std::string& name) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    return FindDatabaseLocked(name);
}

int TDLSession::DatabaseCount() const {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    return static_cast<int>(FDatabaseList.size());
}

TDLDatabase* TDLSession::Databases(int index) const {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    return FDatabaseList.at(static_cast<size_t>(index));
}

TDLDatabase* TDLSession::AcquireDatabase(const std::string& name, TDLComponent* owner) {
    TDLDatabase* db = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
        for (TDLDatabase* d : FDatabaseList)
            if (SameText(d->GetDatabaseName(), name) && d->GetOwner() == owner) {
                db = d;
                break;
            }
        if (!db) db = FindDatabaseLocked(name);
        if (!db) {
            db = new TDLDatabase(this);
            db->FTemporary = true;
            db->FRemoteDatabase = name;
            db->FDatabaseName = name;
            db->FKeepConnection = KeepConnections;
        }
        // Counted before connecting so that nobody frees it meanwhile.
        ++db->FRefCount;
    }
    // The attach itself runs outside the session lock: a slow server must not hold up
    // every other thread's datasets.
    try {
        db->Open();
    } catch (...) {
        std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
        if (db->FRefCount > 0) --db->FRefCount;
        if (db->IsTemporary() && db->FRefCount == 0) delete db;
        throw;
    }
    return db;
}

void TDLSession::ReleaseDatabase(TDLDatabase* database) {
    if (!database) return;
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    if (database->FRefCount > 0) --database->FRefCount;
    if (database->FRefCount == 0 && !database->GetKeepConnection()) {
        if (database->IsTemporary())
            delete database;
        else
            database->Close();
    }
}

void TDLSession::GetStoredParams(const std::string& remote, TDLServerType type, TDLStrings& lines) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    for (const TDLStoredParams& p : FStoredParams)
        if (SameText(p.RemoteDatabase, remote) && p.ServerType == type) {
            lines = p.Params;
            return;
        }
    lines.Clear();
}

void TDLSession::SetStoredParams(const std::string& remote, TDLServerType type, const TDLStrings& lines) {
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    for (TDLStoredParams& p : FStoredParams)
        if (SameText(p.RemoteDatabase, remote) && p.ServerType == type) {
            p.Params = lines;
            return;
        }
    FStoredParams.push_back({remote, type, lines});
}

// --- Database component -------------------------------------------------------------------

TDLDatabase::TDLDatabase(TDLComponent* owner) : TDLComponent(owner) {
    auto* session = dynamic_cast<TDLSession*>(owner);
    FSession = session ? session : &DefaultSession();
    FSession->AddDatabase(this);
}

TDLDatabase::~TDLDatabase() {
    DestroyComponents();  // schema queries
    try {
        Close();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    FSession->RemoveDatabase(this);
}

std::string TDLDatabase::GetSessionName() const { return FSession->GetSessionName(); }

void TDLDatabase::CheckInactive() const {
    if (GetConnected()) DBError(SDatabaseOpen);
}

void TDLDatabase::CheckActive() const {
    if (!GetConnected()) DBError(SDatabaseClosed);
}

void TDLDatabase::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    CheckInactive();
    if (!value.empty()) {
        std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
        TDLDatabase* other = FSession->FindDatabaseLocked(value, this);
        if (other) {
            if (other->IsTemporary() && other->FRefCount == 0)
                delete other;
            else
                DBError(Fmt("Duplicate database name '%s'", value));
        }
        FDatabaseName = value;
        return;
    }
    FDatabaseName = value;
}

void TDLDatabase::SetRemoteDatabase(const std::string& value) {
    CheckInactive();
    FRemoteDatabase = value;
}

void TDLDatabase::SetServerType(TDLServerType value) {
    CheckInactive();
    FServerType = value;
}

void TDLDatabase::SetSessionName(const std::string& value) {
    CheckInactive();
    TDLSession* target = List().SessionByName(value, true);
    if (target == FSession) return;
    std::lock_guard<std::recursive_mutex> lock(List().SessionLock());
    if (!FDatabaseName.empty() && target->FindDatabaseLocked(FDatabaseName, this))
        DBError(Fmt("Duplicate database name '%s'", FDatabaseName));
    FSession->RemoveDatabase(this);
    FSession = target;
    FSession->AddDatabase(this);
}

void TDLDatabase::SetKeepConnection(bool value) {
    FKeepConnection = value;
    if (!value && FRefCount == 0) Close();
}

void TDLDatabase::SetTransIsolation(TDLTransIsolation value) {
    if (FDriver) FDriver->SetTransIsolation(value);
    FTransIsolation = value;
}

void TDLDatabase::Open() {
    std::lock_guard<std::recursive_mutex> lock(FConnectLock);
    if (GetConnected()) return;
    if (BeforeConnect) BeforeConnect(*this);
    DoConnect();
    if (AfterConnect) AfterConnect(*this);
}

void TDLDatabase::DoConnect() {
    if (FDatabaseName.empty() && !FTemporary) DBError("Database name missing");
    if (FRemoteDatabase.empty()) DBError("Name of remote database missing");

    TDLStrings stored;
    FSession->GetStoredParams(FRemoteDatabase, FServerType, stored);
    TDLStrings used;
    std::string password;
    if (LoginPrompt) {
        TDLStrings login;
        std::string user = Params.Values("USER NAME");
        if (user.empty()) user = stored.Values("USER NAME");
        login.SetValues("USER NAME", user);
        if (OnLogin) {
            OnLogin(*this, login);
        } else {
            TDLLoginDialog dialog;
            {
                std::lock_guard<std::mutex> hookLock(GHookLock);
                dialog = GLoginDialog;
            }
            std::string pw;
            if (!dialog || !dialog(FDatabaseName, user, pw))
                DBError(Fmt("Cannot connect to database '%s'", FDatabaseName));
            login.SetValues("USER NAME", user);
            login.SetValues("PASSWORD", pw);
        }
        password = login.Values("PASSWORD");
        Params.SetValues("USER NAME", login.Values("USER NAME"));
        used = login;
    } else {
        if (Params.Count() == 0) Params = stored;
        password = Params.Values("PASSWORD");
        used = Params;
    }
    if (used.Count() > 0) FSession->SetStoredParams(FRemoteDatabase, FServerType, used);

    TDLServerType type = FServerType;
    if (type == stSQLServer && IsTrueText(Params.Values("USE OLEDB"))) type = stOLEDB;
    const TDLServerFactory& factory = ServerFactoryTable()[type];
    if (!factory) DBError("SQL-server not supported");
    std::unique_ptr<TISqlDatabase> driver = factory(Params);
    if (!driver) DBError("SQL-server not supported");

    driver->TransIsolation = FTransIsolation;
    driver->OnServerError = [](TISqlDatabase&) { HourGlassOff(); };
    driver->OnServerActivity = [this](TISqlDatabase&) { IdleMark = false; };
    try {
        driver->Connect(FRemoteDatabase, Params.Values("USER NAME"), password);
    } catch (...) {
        try {
            driver->Disconnect(true);
        } catch (...) {
        }
        throw;
    }
    FDriver = std::move(driver);
}

void TDLDatabase::Close() {
    std::lock_guard<std::recursive_mutex> lock(FConnectLock);
    if (!GetConnected()) return;
    if (BeforeDisconnect) BeforeDisconnect(*this);
    DoDisconnect();
    if (AfterDisconnect) AfterDisconnect(*this);
}

void TDLDatabase::DoDisconnect() {
    // Datasets close quietly, from the last; they let go of the database for good.
    std::vector<TDLDataSet*> sets = FDataSets;
    for (size_t i = sets.size(); i-- > 0;) {
        TDLDataSet* ds = sets[i];
        if (std::find(FDataSets.begin(), FDataSets.end(), ds) == FDataSets.end()) continue;
        ds->FClosingForDatabase = true;
        try {
            ds->Close();
            ds->ReleaseCommand();
        } catch (const EDatabaseError& e) {
            LogMessage(e.what(), "DataLink", LogKind::Warning);
        } catch (...) {
            ds->FClosingForDatabase = false;
            throw;
        }
        ds->FClosingForDatabase = false;
    }
    for (TDLDataSet* ds : FDataSets) {
        ds->ReleaseCommand();
        ds->FConnectReasons = 0;
        ds->FDatabase = nullptr;
    }
    FDataSets.clear();
    FRefCount = 0;
    std::unique_ptr<TISqlDatabase> driver = std::move(FDriver);
    driver->Disconnect(false);
}

void TDLDatabase::RegisterDataSet(TDLDataSet* dataSet) {
    if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) == FDataSets.end()) FDataSets.push_back(dataSet);
}

void TDLDatabase::UnregisterDataSet(TDLDataSet* dataSet) {
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}

bool TDLDatabase::InTransaction() const { return FDriver && FDriver->InTransaction; }

void TDLDatabase::StartTransaction() {
    CheckActive();
    if (InTransaction()) DBError("Transaction is active");
    // A driver that restarts its server transaction to begin an explicit one (to drop its
    // autocommit) ends it the way a rollback does, and with it every open cursor of the connection.
    if (!FDriver->CursorPreservedOnRollback) LetGoOfServerCursors();
    FDriver->StartTransaction();
}

void TDLDatabase::LetGoOfServerCursors() {
    std::vector<TDLDataSet*> sets = FDataSets;
    for (TDLDataSet* ds : sets) {
        if (!ds->GetActive() && !ds->FCommand) continue;
        if (ds->GetActive()) ds->FetchRemaining();
        ds->CloseResultSet();
        ds->ReleaseCommand();
    }
}

void TDLDatabase::Commit() {
    CheckActive();
    if (!InTransaction()) DBError("Transaction is not active");
    if (!FDriver->CursorPreservedOnCommit) {
        std::vector<TDLDataSet*> sets = FDataSets;
        for (TDLDataSet* ds : sets)
            if (ds->GetActive()) ds->FetchRemaining();
    }
    FDriver->Commit();
}

void TDLDatabase::Rollback() {
    CheckActive();
    if (!InTransaction()) DBError("Transaction is not active");
    if (!FDriver->CursorPreservedOnRollback) LetGoOfServerCursors();
    FDriver->Rollback();
}

TDLQuery* TDLDatabase::OpenSchemaInfo(int kind, const std::string& objectName) {
    Open();
    std::unique_ptr<TISqlCommand> command = FDriver->GetSchemaInfo(kind, objectName);
    if (!command) return nullptr;
    auto query = std::make_unique<TDLQuery>(this);
    query->SetSessionName(GetSessionName());
    query->SetDatabaseName(FDatabaseName);
    query->OpenOnCommand(std::move(command));
    return query.release();
}

// --- Fields -------------------------------------------------------------------------------

TDLField::TDLField(TDLDataSet* dataSet, const std::string& name, TFieldType dataType, int size, TFieldKind kind)
    : FDataSet(dataSet), FFieldName(name), FDataType(dataType), FSize(size), FFieldKind(kind) {}

bool TDLField::IsNull() const { return FDataSet->ReadField(*this).IsNull(); }

TDLVariant TDLField::GetValue() const { return OutsideValue(FDataType, FDataSet->ReadField(*this)); }

void TDLField::SetValue(const TDLVariant& value) { FDataSet->WriteField(*this, value); }

TDLVariant TDLField::OldValue() const {
    TDataSetState saved = FDataSet->FState;
    FDataSet->FState = dsOldValue;
    TDLVariant v;
    try {
        v = GetValue();
    } catch (...) {
        FDataSet->FState = saved;
        throw;
    }
    FDataSet->FState = saved;
    return v;
}

TDLVariant TDLField::NewValue() const {
    TDataSetState saved = FDataSet->FState;
    FDataSet->FState = dsNewValue;
    TDLVariant v;
    try {
        v = GetValue();
    } catch (...) {
        FDataSet->FState = saved;
        throw;
    }
    FDataSet->FState = saved;
    return v;
}

// --- Row cache ----------------------------------------------------------------------------

TDLResultSet::TEntry& TDLResultSet::Entry(int index) {
    if (index < 0 || index >= Count() || !Rows[static_cast<size_t>(index)].Buffer)
        DBError("Record is not available locally");
    return Rows[static_cast<size_t>(index)];
}

bool TDLResultSet::FetchRow() {
    TDLDataSet& ds = *DataSet;
    if (AllFetched || !ds.FCommand || !ds.FCommandOpen) return false;
    bool got;
    {
        THourGlass hg;
        got = ds.FCommand->FetchNextRow();
    }
    if (!got) {
        AllFetched = true;
        if (ds.FDetachOnFetchAll) ds.Detach();
        return false;
    }
    auto buffer = std::make_unique<TDLRecordBuffer>(ds.NewRecordBuffer());
    int index = Count();
    // Numbered after the last row that counts, so that rows posted or deleted locally
    // before this fetch leave no gaps or doubles.
    int recNo = 0;
    for (int i = index - 1; i >= 0; --i) {
        const TEntry& e = Rows[static_cast<size_t>(i)];
        if (!e.Buffer) {
            recNo = i + 1;
            break;
        }
        if (e.Buffer->Status != usDeleted) {
            recNo = e.Buffer->RecNo + 1;
            break;
        }
    }
    buffer->RecNo = recNo;
    buffer->Status = usUnmodified;
    buffer->BookmarkFlag = bfCurrent;
    buffer->Bookmark = index;
    for (int i = 0; i < ds.FDataFieldCount; ++i) {
        TDLField& f = *ds.FFields[static_cast<size_t>(i)];
        ds.ReadColumn(*ds.FCommand, ds.FCommand->FieldDescByNo(f.FieldNo), f, *buffer);
    }
    TEntry e;
    e.Applied = 1;
    e.Buffer = std::move(buffer);
    Rows.push_back(std::move(e));
    CurrentIndex = index;
    // Unidirectional: only the newest rows stay in memory.
    if (ds.UniDirectional && index >= 1) {
        TEntry& old = Rows[static_cast<size_t>(index - 1)];
        if (old.Buffer && old.Buffer->Status == usUnmodified) {
            old.Buffer.reset();
            old.OldBuffer.reset();
        }
    }
    return true;
}

void TDLResultSet::FetchAll() {
    if (AllFetched) return;
    THourGlass hg;
    while (FetchRow()) {
    }
}

void TDLResultSet::PostEdit(int index, const TDLRecordBuffer& values) {
    TEntry& e = Entry(index);
    TDLRecordBuffer& row = *e.Buffer;
    if (row.Status == usUnmodified || row.Status == usModified) {
        if (!e.OldBuffer) e.OldBuffer = std::make_unique<TDLRecordBuffer>(row);
        row.Status = usModified;
    }
    e.Applied = 0;
    row.Values = values.Values;
}

int TDLResultSet::PostInsert(TDLRecordBuffer& values) {
    int index = Count();
    int recNo = 0;
    for (int i = index - 1; i >= 0; --i) {
        const TEntry& e = Rows[static_cast<size_t>(i)];
        if (e.Buffer && e.Buffer->Status != usDeleted) {
            recNo = e.Buffer->RecNo + 1;
            break;
        }
    }
    auto buffer = std::make_unique<TDLRecordBuffer>(values);
    buffer->RecNo = recNo;
    buffer->Status = usInserted;
    buffer->BookmarkFlag = bfCurrent;
    buffer->Bookmark = index;
    TEntry e;
    e.Applied = 0;
    e.Buffer = std::move(buffer);
    Rows.push_back(std::move(e));
    values.RecNo = recNo;
    values.Bookmark = index;
    return index;
}

void TDLResultSet::RemoveRow(int index) {
    TEntry& e = Entry(index);
    bool counted = e.Buffer->Status != usDeleted;
    if (!counted) --DeletedCount;
    Rows.erase(Rows.begin() + index);
    for (int i = index; i < Count(); ++i) {
        TDLRecordBuffer* b = Rows[static_cast<size_t>(i)].Buffer.get();
        if (!b) continue;
        b->Bookmark = i;
        if (counted && b->RecNo >= 0) --b->RecNo;
    }
    if (CurrentIndex > index) --CurrentIndex;
}

void TDLResultSet::DeleteRow(int index) {
    TEntry& e = Entry(index);
    TDLRecordBuffer& row = *e.Buffer;
    if (row.Status == usInserted) {
        RemoveRow(index);
        return;
    }
    if (row.Status == usDeleted) return;
    row.Status = usDeleted;
    ++DeletedCount;
    e.Applied = 0;
    row.RecNo = -1;
    for (int i = index + 1; i < Count(); ++i) {
        TDLRecordBuffer* b = Rows[static_cast<size_t>(i)].Buffer.get();
        if (b && b->RecNo >= 0) --b->RecNo;
    }
}

void TDLResultSet::AcceptRow(int index) {
    TEntry& e = Entry(index);
    switch (e.Buffer->Status) {
        case usModified:
            e.OldBuffer.reset();
            e.Buffer->Status = usUnmodified;
            e.Applied = 1;
            break;
        case usInserted:
            e.Buffer->Status = usUnmodified;
            e.Applied = 1;
            break;
        case usDeleted: RemoveRow(index); break;
        default: e.Applied = 1; break;
    }
}

// --- Dataset: binding and life ------------------------------------------------------------

TDLDataSet::TDLDataSet(TDLComponent* owner) : TDLComponent(owner) {}

TDLDataSet::~TDLDataSet() {
    try {
        Close();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    if (FUpdateObject && FUpdateObject->FDataSet == this) FUpdateObject->FDataSet = nullptr;
    try {
        ReleaseCommand();
        if (FConnectReasons != 0) {
            FConnectReasons = 1;
            SetConnectReason(static_cast<TDLConnectReason>(0), false);
        }
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    if (FDatabase) FDatabase->UnregisterDataSet(this);
    for (TDLQuery* d : FDetails) d->FMaster = nullptr;
}

void TDLDataSet::DoAfterScroll() {
    if (AfterScroll) AfterScroll(*this);
    NotifyDetails();
}

void TDLDataSet::NotifyDetails() {
    std::vector<TDLQuery*> details = FDetails;
    for (TDLQuery* d : details) d->MasterChanged();
}

void TDLDataSet::CheckActive() const {
    if (!GetActive()) DBError(SDataSetClosed);
}

void TDLDataSet::CheckInactive() const {
    if (GetActive()) DBError(SDataSetOpen);
}

void TDLDataSet::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    CheckInactive();
    if (FDatabase) DBError(SDatabaseOpen);
    FDatabaseName = value;
    ClearFieldDefs();
}

void TDLDataSet::SetSessionName(const std::string& value) {
    if (value == FSessionName) return;
    CheckInactive();
    if (FDatabase) DBError(SDatabaseOpen);
    FSessionName = value;
    ClearFieldDefs();
}

void TDLDataSet::SetAutoRefresh(bool value) {
    CheckInactive();
    FAutoRefresh = value;
}

void TDLDataSet::SetDetachOnFetchAll(bool value) {
    FDetachOnFetchAll = value;
    if (value && GetActive() && FResultSet && FResultSet->AllFetched) Detach();
}

void TDLDataSet::SetUpdateObject(TDLUpdateSQL* value) {
    if (value == FUpdateObject) return;
    if (FUpdateObject && FUpdateObject->FDataSet == this) FUpdateObject->SetDataSet(nullptr);
    FUpdateObject = value;
    if (value) value->SetDataSet(this);
}

void TDLDataSet::SetConnectReason(TDLConnectReason reason, bool on) {
    uint32_t bit = 1u << reason;
    if (on) {
        if (FConnectReasons & bit) return;
        if (FConnectReasons == 0) {
            if (Trim(FDatabaseName).empty()) DBError("Database name missing");
            TDLSession* session = Sessions().SessionByName(FSessionName, true);
            TDLDatabase* db = session->AcquireDatabase(FDatabaseName, GetOwner());
            FDatabase = db;
            db->RegisterDataSet(this);
        }
        FConnectReasons |= bit;
        return;
    }
    if (!(FConnectReasons & bit)) return;
    FConnectReasons &= ~bit;
    if (FConnectReasons != 0 || !FDatabase) return;
    TDLDatabase* db = FDatabase;
    try {
        Close();
        ReleaseCommand();
    } catch (...) {
        db->UnregisterDataSet(this);
        FDatabase = nullptr;
        db->GetSession()->ReleaseDatabase(db);
        throw;
    }
    db->UnregisterDataSet(this);
    FDatabase = nullptr;
    db->GetSession()->ReleaseDatabase(db);
}

std::unique_ptr<TISqlCommand> TDLDataSet::CreateCommand() {
    DLAssert(FDatabase && FDatabase->GetDriver(), "CreateCommand");
    return FDatabase->GetDriver()->CreateSqlCommand();
}

void TDLDataSet::PrepareCursor() {
    if (!FCommand) DBError(SNoSQLStatement);
}

void TDLDataSet::ReleaseCommand() {
    if (!FCommand) return;
    std::unique_ptr<TISqlCommand> command = std::move(FCommand);
    FCommandOpen = false;
    command->Disconnect(true);
    command->Unprepare();
}

void TDLDataSet::CloseResultSet() {
    if (FCommand && FCommandOpen) {
        FCommandOpen = false;
        FCommand->CloseResultSet();
    }
    FCommandOpen = false;
}

void TDLDataSet::ExecuteCommand() {
    TDLDatabase* db = FDatabase;
    if (db) db->Busy = true;
    try {
        FCommand->Execute();
    } catch (...) {
        if (db) db->Busy = false;
        throw;
    }
    if (db) db->Busy = false;
}

void TDLDataSet::ClearFieldDefs() {
    if (!GetActive()) FFieldDefs.clear();
}

void TDLDataSet::InitFieldDefs() {
    if (FCommand->FieldDescs.empty()) FCommand->InitFieldDescs();
    FFieldDefs.clear();
    std::string fieldRequired = FDatabase ? FDatabase->Params.Values("FIELD REQUIRED") : std::string();
    for (const TDLFieldDesc& d : FCommand->FieldDescs) {
        TDLFieldDef def;
        def.Name = d.FieldName;
        def.DataType = d.FieldType;
        def.FieldNo = d.FieldNo;
        def.Required = d.Required;
        if (IsSizedType(d.FieldType) || d.FieldType == ftOraBlob || d.FieldType == ftOraClob)
            def.Size = d.DataSize - (d.FieldType == ftString ? 1 : 0);
        else if (d.FieldType == ftBCD)
            def.Size = d.Scale;
        else if (d.FieldType == ftGuid)
            def.Size = 38;
        if (d.FieldType == ftFloat || d.FieldType == ftBCD) def.Precision = d.Precision;
        def.LongText = IsMemoType(d.FieldType) && d.NativeType != FCommand->NativeDataType(d.FieldType);
        if (FAutoRefresh && d.FieldType == ftAutoInc) def.Required = false;
        if (!Trim(fieldRequired).empty()) def.Required = IsTrueText(fieldRequired);
        FFieldDefs.push_back(def);
    }
}

void TDLDataSet::CreateFields() {
    FFields.clear();
    for (const TDLFieldDef& def : FFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkData);
        f->FieldNo = def.FieldNo;
        f->Required = def.Required;
        f->Precision = def.Precision;
        f->LongText = def.LongText;
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FDataFieldCount = static_cast<int>(FFields.size());
    for (const TDLFieldDef& def : FCalcFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkCalculated);
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FCopyBlobs = false;
    for (auto& f : FFields)
        if (f->IsBlob()) FCopyBlobs = true;
    if (FFilterParser) FFilterParser->ClearFieldCache();
}

void TDLDataSet::DestroyFields() {
    FFields.clear();
    FDataFieldCount = 0;
    if (FFilterParser) FFilterParser->ClearFieldCache();
}

TDLField& TDLDataSet::AddCalcField(const std::string& name, TFieldType dataType, int size) {
    CheckInactive();
    FCalcFieldDefs.push_back({name, dataType, size, 0, false, 0});
    auto f = std::make_unique<TDLField>(this, name, dataType, size, fkCalculated);
    f->FIndex = static_cast<int>(FFields.size());
    FFields.push_back(std::move(f));
    return *FFields.back();
}

TDLField* TDLDataSet::FindField(const std::string& name) const {
    for (auto& f : FFields)
        if (SameText(f->GetFieldName(), name)) return f.get();
    return nullptr;
}

TDLField& TDLDataSet::FieldByName(const std::string& name) const {
    TDLField* f = FindField(name);
    if (!f) DBError(Fmt("Field '%s' not found", name));
    return *f;
}

std::vector<TDLField*> TDLDataSet::GetFieldList(const std::string& fieldNames) const {
    std::vector<TDLField*> list;
    size_t start = 0;
    while (start <= fieldNames.size()) {
        size_t end = fieldNames.find(';', start);
        if (end == std::string::npos) end = fieldNames.size();
        std::string name = Trim(fieldNames.substr(start, end - start));
        if (!name.empty()) list.push_back(&FieldByName(name));
        start = end + 1;
    }
    return list;
}

TDLVariant TDLDataSet::GetFieldValues(const std::string& fieldNames) const {
    std::vector<TDLField*> list = GetFieldList(fieldNames);
    if (list.size() == 1) return list[0]->GetValue();
    TDLVariant::TArray values;
    for (TDLField* f : list) values.push_back(f->GetValue());
    return values;
}

TDLRecordBuffer TDLDataSet::NewRecordBuffer() const {
    TDLRecordBuffer b;
    b.Values.resize(FFields.size());
    return b;
}

void TDLDataSet::Open() {
    if (GetActive()) return;
    BeforeOpenCursor();
    {
        THourGlass hg;
        SetConnectReason(crOpenCursor, true);
        try {
            PrepareCursor();
            if (!FCommand->ResultSetExists()) {
                Close();
                ReleaseCommand();
                throw EDLNoResultSet("Error creating cursor handle");
            }
            if (FFieldDefs.empty() || FCommand->FieldDescs.empty()) InitFieldDefs();
            CreateFields();
            FResultSet = std::make_unique<TDLResultSet>(this, FCopyBlobs);
            ExecuteCommand();
            FCommandOpen = true;
            FVisibleKinds = rtUnmodified | rtModified | rtInserted;
            FState = dsBrowse;
            ParseFilter();
            FActive.reset();
            FBof = true;
            FEof = GetRecord(gmNext) != grOK;
        } catch (...) {
            FState = dsInactive;
            FResultSet.reset();
            FActive.reset();
            DestroyFields();
            try {
                CloseResultSet();
                if (!KeepCommandOnClose()) ReleaseCommand();
                SetConnectReason(crOpenCursor, false);
            } catch (...) {
            }
            throw;
        }
    }
    if (AfterOpen) AfterOpen(*this);
    NotifyDetails();
}

void TDLDataSet::Close() {
    if (!GetActive()) return;
    if (BeforeClose) BeforeClose(*this);
    THourGlass hg;
    try {
        if (FClosingForDatabase && FCommand) {
            FCommandOpen = false;
            FCommand->Disconnect(true);
        } else {
            CloseResultSet();
        }
        if (!KeepCommandOnClose()) ReleaseCommand();
    } catch (...) {
        FState = dsInactive;
        FResultSet.reset();
        FActive.reset();
        DestroyFields();
        FVisibleKinds = 0;
        throw;
    }
    FState = dsInactive;
    FResultSet.reset();
    FActive.reset();
    FFilterBuffer = nullptr;
    DestroyFields();
    // Calculated fields declared by the user stay with the dataset.
    for (const TDLFieldDef& def : FCalcFieldDefs) {
        auto f = std::make_unique<TDLField>(this, def.Name, def.DataType, def.Size, fkCalculated);
        f->FIndex = static_cast<int>(FFields.size());
        FFields.push_back(std::move(f));
    }
    FVisibleKinds = 0;
    FBof = FEof = true;
    SetConnectReason(crOpenCursor, false);
}

void TDLDataSet::Detach() {
    CloseResultSet();
    if (FCommand) {
        std::unique_ptr<TISqlCommand> command = std::move(FCommand);
        command->Disconnect(false);
        command->Unprepare();
    }
}

// --- Dataset: field data ------------------------------------------------------------------

TDLRecordBuffer* TDLDataSet::GetStateBuffer() const {
    switch (FState) {
        case dsBrowse:
        case dsEdit:
        case dsInsert:
        case dsNewValue:
        case dsBlockRead:
        case dsInternalCalc: return FActive.get();
        case dsCalcFields: return FCalcBuffer;
        case dsFilter: return FFilterBuffer;
        case dsOldValue: {
            if (!FActive) return nullptr;
            switch (FActive->Status) {
                case usInserted: return nullptr;
                case usUnmodified:
                case usModified:
                case usDeleted: {
                    // The row as the cache holds it: its former copy once changed.
                    int index = FActive->Bookmark;
                    if (!FResultSet || index < 0 || index >= FResultSet->Count()) return FActive.get();
                    TDLResultSet::TEntry& e = FResultSet->Rows[static_cast<size_t>(index)];
                    if (e.OldBuffer) return e.OldBuffer.get();
                    return e.Buffer ? e.Buffer.get() : FActive.get();
                }
            }
            return nullptr;
        }
        default: return nullptr;
    }
}

TDLVariant TDLDataSet::ReadField(const TDLField& field) const {
    TDLRecordBuffer* b = GetStateBuffer();
    if (!b || field.FIndex < 0 || static_cast<size_t>(field.FIndex) >= b->Values.size()) return TDLVariant();
    return b->Values[static_cast<size_t>(field.FIndex)];
}

void TDLDataSet::WriteField(TDLField& field, const TDLVariant& value) {
    bool calc = field.GetFieldKind() != fkData;
    bool allowed = FState == dsEdit || FState == dsInsert || FState == dsFilter || FState == dsNewValue ||
                   FState == dsInternalCalc || (calc && FState == dsCalcFields);
    if (!allowed) DBError(SNotEditing);
    if (field.ReadOnly && !calc && FState != dsFilter) DBError(Fmt("Field '%s' cannot be modified", field.GetFieldName()));
    TDLRecordBuffer* b = (FState == dsCalcFields) ? FCalcBuffer : (FState == dsFilter ? FFilterBuffer : FActive.get());
    if (!b) DBError(SNotEditing);
    if (b->Values.size() < FFields.size()) b->Values.resize(FFields.size());
    b->Values[static_cast<size_t>(field.FIndex)] = CoerceValue(field.GetDataType(), value);
    if (!calc && b->Status == usUnmodified && FState != dsFilter) b->Status = usModified;
    if (!calc && OnFieldChange && (FState == dsEdit || FState == dsInsert)) OnFieldChange(*this, field);
}

void TDLDataSet::ReadColumn(TISqlCommand& command, const TDLFieldDesc& desc, TDLField& field, TDLRecordBuffer& buffer) {
    TDLVariant value;
    if (IsBlobType(desc.FieldType)) {
        const TBytes& bytes = command.GetBlobData(desc);
        if (!bytes.empty()) value = bytes;
    } else {
        // Field form of the column, then the variant of its type.
        int size = std::max(desc.DataSize, 8) + static_cast<int>(sizeof(TDLBcd)) + 8;
        std::vector<uint8_t>& data = FColumnScratch;
        data.assign(static_cast<size_t>(size), 0);
        int bufferSize = IsSizedType(desc.FieldType) ? desc.DataSize : size;
        if (command.GetCnvtFieldData(desc, data.data(), bufferSize)) {
            TParam conv;
            conv.DataType = desc.FieldType;
            conv.SetData(data.data(), bufferSize);
            value = conv.Value;
        }
    }
    TFieldType ft = field.GetDataType();
    TFieldType ct = desc.FieldType;
    if (ft != ct && !value.IsNull()) {
        bool ok = (IsIntegerType(ft) && (IsIntegerType(ct) || ct == ftFloat)) ||
                  ((ft == ftDate || ft == ftTime || ft == ftDateTime) && IsDateTimeType(ct)) ||
                  (IsBlobType(ft) && IsBlobType(ct)) || (IsTextType(ft) && IsTextType(ct)) ||
                  (ft == ftFloat && (IsIntegerType(ct) || ct == ftBCD || ct == ftCurrency));
        if (!ok)
            DBError("Data conversion is not implemented for datatype " + FieldTypeName(ct) + " to " +
                    FieldTypeName(ft) + " (TDLDataSet.ISqlCnvtFieldData)");
    }
    if (buffer.Values.size() < FFields.size()) buffer.Values.resize(FFields.size());
    buffer.Values[static_cast<size_t>(field.FIndex)] = CoerceValue(ft, value);
}

void TDLDataSet::CalculateFields(TDLRecordBuffer& buffer) {
    if (!OnCalcFields || FDataFieldCount == FieldCount()) return;
    TDataSetState saved = FState;
    TDLRecordBuffer* savedCalc = FCalcBuffer;
    FState = dsCalcFields;
    FCalcBuffer = &buffer;
    try {
        for (int i = FDataFieldCount; i < FieldCount(); ++i) buffer.Values[static_cast<size_t>(i)] = TDLVariant();
        OnCalcFields(*this);
    } catch (...) {
        FState = saved;
        FCalcBuffer = savedCalc;
        throw;
    }
    FState = saved;
    FCalcBuffer = savedCalc;
}

void TDLDataSet::ResetBlobModified() {
    for (auto& f : FFields) f->Modified = false;
}

// --- Dataset: cursor ----------------------------------------------------------------------

bool TDLDataSet::IsVisible(int index) {
    TDLRecordBuffer& row = FResultSet->Row(index);
    static const uint8_t kinds[4] = {rtUnmodified, rtModified, rtInserted, rtDeleted};
    if (!(FVisibleKinds & kinds[row.Status & 3])) return false;
    if (FFiltered) return FilterRecord(row);
    return true;
}

void TDLDataSet::CopyToActive(int index) {
    TDLRecordBuffer& row = FResultSet->Row(index);
    FActive = std::make_unique<TDLRecordBuffer>(row);
    FActive->BookmarkFlag = bfCurrent;
    if (FActive->Values.size() < FFields.size()) FActive->Values.resize(FFields.size());
    CalculateFields(*FActive);
}

TDLDataSet::TGetResult TDLDataSet::GetRecord(TGetMode mode) {
    TDLResultSet& rs = *FResultSet;
    int i = 0;
    switch (mode) {
        case gmCurrent:
            i = std::max(rs.CurrentIndex, 0);
            if (rs.Count() > 0 && i >= rs.Count() && rs.AllFetched) i = rs.Count() - 1;
            break;
        case gmNext: i = std::max(rs.CurrentIndex + 1, 0); break;
        case gmPrior: {
            i = std::min(rs.CurrentIndex, rs.Count()) - 1;
            for (; i >= 0; --i)
                if (IsVisible(i)) {
                    rs.CurrentIndex = i;
                    CopyToActive(i);
                    return grOK;
                }
            return grBOF;
        }
    }
    for (;;) {
        if (i >= rs.Count()) {
            if (!rs.FetchRow()) return grEOF;
            i = rs.Count() - 1;
        }
        if (IsVisible(i)) {
            rs.CurrentIndex = i;
            CopyToActive(i);
            return grOK;
        }
        ++i;
    }
}

void TDLDataSet::Resync() {
    if (!FResultSet) return;
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    int mark = FResultSet->CurrentIndex;
    if (GetRecord(gmCurrent) == grOK) return;
    FResultSet->CurrentIndex = std::min(mark, FResultSet->Count());
    if (GetRecord(gmPrior) == grOK) {
        FEof = true;
        return;
    }
    FActive.reset();
    FBof = FEof = true;
}

void TDLDataSet::CheckBrowseMode() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert) Post();
}

void TDLDataSet::First() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->CurrentIndex = -1;
    bool ok = GetRecord(gmNext) == grOK;
    if (!ok) FActive.reset();
    FBof = true;
    FEof = !ok;
    DoAfterScroll();
}

void TDLDataSet::Last() {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->FetchAll();
    FResultSet->CurrentIndex = FResultSet->Count();
    bool ok = GetRecord(gmPrior) == grOK;
    if (!ok) FActive.reset();
    FEof = true;
    FBof = !ok;
    DoAfterScroll();
}

void TDLDataSet::Next() {
    CheckBrowseMode();
    if (FEof) return;
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    if (GetRecord(gmNext) == grOK)
        FBof = false;
    else
        FEof = true;
    DoAfterScroll();
}

void TDLDataSet::Prior() {
    CheckBrowseMode();
    if (FBof) return;
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive && FActive->Bookmark >= 0) FResultSet->CurrentIndex = FActive->Bookmark;
    if (GetRecord(gmPrior) == grOK)
        FEof = false;
    else
        FBof = true;
    DoAfterScroll();
}

int TDLDataSet::MoveBy(int distance) {
    int moved = 0;
    while (distance > 0 && !FEof) {
        Next();
        if (!FEof) {
            ++moved;
            --distance;
        }
    }
    while (distance < 0 && !FBof) {
        Prior();
        if (!FBof) {
            --moved;
            ++distance;
        }
    }
    return moved;
}

int TDLDataSet::GetRecNo() const {
    if (!GetActive() || !FActive) return 0;
    return FActive->RecNo + 1;
}

void TDLDataSet::SetRecNo(int value) {
    CheckBrowseMode();
    TDLResultSet& rs = *FResultSet;
    if (value > rs.Count() && !rs.AllFetched) rs.FetchAll();
    int index = -1;
    if (FLocalEdits) {
        for (int i = 0; i < rs.Count(); ++i) {
            TDLRecordBuffer* b = rs.Rows[static_cast<size_t>(i)].Buffer.get();
            if (b && b->Status != usDeleted && b->RecNo == value - 1) {
                index = i;
                break;
            }
        }
    } else if (value >= 1 && value <= rs.Count()) {
        index = value - 1;
    }
    if (index < 0) return;
    if (BeforeScroll) BeforeScroll(*this);
    rs.CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
}

int TDLDataSet::RecordCount() {
    if (UniDirectional || !FResultSet) return -1;
    FResultSet->FetchAll();
    if (!FFiltered) return FResultSet->Count() - FResultSet->DeletedCount;
    int n = 0;
    for (int i = 0; i < FResultSet->Count(); ++i)
        if (IsVisible(i)) ++n;
    return n;
}

bool TDLDataSet::IsSequenced() const {
    if (!GetActive()) return false;
    if (!FCommand) return true;
    return FResultSet && FResultSet->AllFetched;
}

void TDLDataSet::FetchRemaining() {
    if (!GetActive() || !FResultSet || FResultSet->AllFetched) return;
    int keep = FResultSet->CurrentIndex;
    FResultSet->FetchAll();
    FResultSet->CurrentIndex = keep;
}

TDLUpdateStatus TDLDataSet::UpdateStatus() const {
    if (!FLocalEdits) DBError("Not in cached update mode");
    if (!FActive) return usUnmodified;
    return FActive->Status;
}

// --- Dataset: bookmarks -------------------------------------------------------------------

TDLDataSet::TBookmark TDLDataSet::GetBookmark() const {
    if (!FActive) return -1;
    return FActive->Bookmark;
}

bool TDLDataSet::BookmarkValid(TBookmark bookmark) {
    if (!FResultSet || bookmark < 0 || bookmark >= FResultSet->Count()) return false;
    TDLRecordBuffer* b = FResultSet->Rows[static_cast<size_t>(bookmark)].Buffer.get();
    return b && b->Status != usDeleted;
}

void TDLDataSet::GotoBookmark(TBookmark bookmark) {
    CheckBrowseMode();
    if (bookmark >= FResultSet->Count() && !FResultSet->AllFetched) FResultSet->FetchAll();
    if (!BookmarkValid(bookmark)) DBError("Record not found");
    if (BeforeScroll) BeforeScroll(*this);
    FResultSet->CurrentIndex = bookmark;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
}

int TDLDataSet::CompareBookmarks(const TBookmark* a, const TBookmark* b) const {
    if (!a && !b) return 0;
    if (!a) return 1;
    if (!b) return -1;
    if (!GetActive()) return 0;
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

// --- Dataset: editing ---------------------------------------------------------------------

bool TDLDataSet::CanModify() const { return static_cast<bool>(OnUpdateRecord) || FUpdateObject != nullptr; }

void TDLDataSet::CheckEditState() const {
    if (FState != dsEdit && FState != dsInsert) DBError(SNotEditing);
}

void TDLDataSet::Edit() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert) return;
    if (!FActive) {
        Insert();
        return;
    }
    if (!CanModify()) DBError(SDataSetReadOnly);
    CheckBrowseMode();
    FEditSave = *FActive;
    FState = dsEdit;
}

void TDLDataSet::BeginInsertAppend(bool append) {
    CheckBrowseMode();
    if (!CanModify()) DBError(SDataSetReadOnly);
    if (BeforeScroll) BeforeScroll(*this);
    if (FActive) FEditSave = *FActive;
    else
        FEditSave = TDLRecordBuffer();
    auto b = std::make_unique<TDLRecordBuffer>(NewRecordBuffer());
    b->RecNo = -1;
    b->Status = usInserted;
    b->BookmarkFlag = append ? bfEOF : bfInserted;
    b->Bookmark = -1;
    FActive = std::move(b);
    FState = dsInsert;
    ResetBlobModified();
    FBof = false;
    FEof = append;
    try {
        if (OnNewRecord) OnNewRecord(*this);
    } catch (...) {
        Cancel();
        throw;
    }
    DoAfterScroll();
}

void TDLDataSet::Insert() { BeginInsertAppend(false); }
void TDLDataSet::Append() { BeginInsertAppend(true); }

void TDLDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert) return;
    bool wasInsert = FState == dsInsert;
    FState = dsBrowse;
    ResetBlobModified();
    if (!wasInsert) {
        *FActive = FEditSave;
        return;
    }
    if (FEditSave.Bookmark >= 0 || !FEditSave.Values.empty()) {
        FActive = std::make_unique<TDLRecordBuffer>(FEditSave);
        Resync();
    } else {
        FActive.reset();
        FBof = FEof = true;
    }
}

void TDLDataSet::Post() {
    CheckActive();
    if (FState != dsEdit && FState != dsInsert) return;
    if (BeforePost) BeforePost(*this);
    CheckEditState();
    // Required columns are left to the server: a column with a default may stay NULL here.
    TDLResultSet& rs = *FResultSet;
    if (FState == dsEdit) {
        int index = FActive->Bookmark;
        TDLResultSet::TEntry& e = rs.Entry(index);
        // The cached row before the post, given back when the write-back fails.
        TDLRecordBuffer savedRow = *e.Buffer;
        std::unique_ptr<TDLRecordBuffer> savedOld = e.OldBuffer ? std::make_unique<TDLRecordBuffer>(*e.OldBuffer) : nullptr;
        uint8_t savedApplied = e.Applied;
        rs.PostEdit(index, *FActive);
        try {
            WriteBackPost(index, false);
        } catch (...) {
            TDLResultSet::TEntry& r = rs.Entry(index);
            *r.Buffer = savedRow;
            r.OldBuffer = std::move(savedOld);
            r.Applied = savedApplied;
            throw;
        }
    } else {
        // A live result takes the rest of its rows first: the open server cursor would
        // otherwise hand out the new row a second time.
        if (!FLocalEdits) rs.FetchAll();
        int index = rs.PostInsert(*FActive);
        try {
            WriteBackPost(index, true);
        } catch (...) {
            rs.RemoveRow(index);
            FActive->RecNo = -1;
            FActive->Bookmark = -1;
            throw;
        }
    }
    FState = dsBrowse;
    ResetBlobModified();
    int bookmark = FActive->Bookmark;
    if (bookmark >= 0 && bookmark < rs.Count()) {
        rs.CurrentIndex = bookmark;
        if (GetRecord(gmCurrent) != grOK) Resync();
    } else {
        Resync();
    }
    FBof = FEof = false;
    if (AfterPost) AfterPost(*this);
}

void TDLDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert) {
        Cancel();
        return;
    }
    if (!FActive) DBError(SDataSetEmpty);
    CheckBrowseMode();
    if (!CanModify()) DBError(SDataSetReadOnly);
    if (BeforeDelete) BeforeDelete(*this);
    if (BeforeScroll) BeforeScroll(*this);
    int index = FActive->Bookmark;
    WriteBackDelete(index);
    FState = dsBrowse;
    if (index > FResultSet->Count()) index = FResultSet->Count();
    // The cursor goes to the row that followed, else to the one before.
    FResultSet->CurrentIndex = index - 1;
    FActive.reset();
    if (GetRecord(gmNext) == grOK) {
        FBof = FEof = false;
    } else {
        FResultSet->CurrentIndex = std::min(index, FResultSet->Count());
        if (GetRecord(gmPrior) == grOK) {
            FEof = true;
            FBof = false;
        } else {
            FActive.reset();
            FBof = FEof = true;
        }
    }
    if (AfterDelete) AfterDelete(*this);
    DoAfterScroll();
}

void TDLDataSet::WriteBackPost(int, bool) {}

void TDLDataSet::WriteBackDelete(int index) { FResultSet->DeleteRow(index); }

std::vector<TDLUpdateField> TDLDataSet::GetUpdateFields(int index) {
    TDLResultSet::TEntry& e = FResultSet->Entry(index);
    std::vector<TDLUpdateField> list;
    for (auto& f : FFields) {
        TDLUpdateField u;
        u.FieldName = f->GetFieldName();
        u.IsDataField = f->GetFieldKind() == fkData;
        u.IsBlob = f->IsBlob();
        u.BlobModified = f->Modified;
        u.InKey = IsIndexField(*f);
        size_t i = static_cast<size_t>(f->GetIndex());
        if (i < e.Buffer->Values.size()) u.NewValue = OutsideValue(f->GetDataType(), e.Buffer->Values[i]);
        if (e.OldBuffer) {
            if (i < e.OldBuffer->Values.size()) u.OldValue = OutsideValue(f->GetDataType(), e.OldBuffer->Values[i]);
        } else if (e.Buffer->Status != usInserted) {
            u.OldValue = u.NewValue;
        }
        list.push_back(std::move(u));
    }
    return list;
}

void TDLDataSet::Refresh() {
    CheckBrowseMode();
    int remembered = FActive && FActive->Bookmark >= 0 ? FActive->Bookmark : FResultSet->CurrentIndex;
    {
        THourGlass hg;
        CloseResultSet();
        FResultSet = std::make_unique<TDLResultSet>(this, FCopyBlobs);
        FActive.reset();
        if (FCommand && FCommand->IsPrepared()) {
            ClearOutputParams();
        } else {
            if (FCommand) ReleaseCommand();
            PrepareCursor();
        }
        ExecuteCommand();
        FCommandOpen = true;
        while (FResultSet->Count() <= remembered && FResultSet->FetchRow()) {
        }
    }
    int count = FResultSet->Count();
    FResultSet->CurrentIndex = std::min(remembered, count - 1);
    if (count > 0 && GetRecord(gmCurrent) == grOK) {
        FBof = FEof = false;
    } else {
        FResultSet->CurrentIndex = count;
        if (GetRecord(gmPrior) == grOK) {
            FBof = FEof = false;
        } else {
            FActive.reset();
            FBof = FEof = true;
        }
    }
}

// --- Dataset: search, filters and sorting --------------------------------------------------

int TDLDataSet::FindFieldIndex(const std::string& name) {
    TDLField* f = FindField(name);
    return f ? f->GetIndex() : -1;
}

TDLVariant TDLDataSet::GetFieldValue(int fieldIndex) {
    return Fields(fieldIndex)->GetValue();
}

void TDLDataSet::ParseFilter() {
    FFilterParser.reset();
    std::string text = Trim(FFilterText);
    if (!text.empty()) FFilterParser = std::make_unique<TDLExprParser>(*this, text, FFilterOptions);
}

bool TDLDataSet::FilterRecord(TDLRecordBuffer& row) {
    TDataSetState saved = FState;
    TDLRecordBuffer* savedBuffer = FFilterBuffer;
    FState = dsFilter;
    FFilterBuffer = &row;
    bool accept = true;
    try {
        if (FFilterParser) accept = FFilterParser->EvaluateBoolean();
        if (accept && FOnFilterRecord) FOnFilterRecord(*this, accept);
    } catch (const std::exception& e) {
        // A failing filter test is reported; the row keeps the answer it had so far.
        LogMessage(std::string("Filter: ") + e.what(), "DataLink", LogKind::Exception);
    }
    FState = saved;
    FFilterBuffer = savedBuffer;
    return accept;
}

void TDLDataSet::SetFilter(const std::string& text) {
    FFilterText = text;
    FFilterParser.reset();
    if (GetActive()) {
        ParseFilter();
        if (FFiltered) First();
    }
}

void TDLDataSet::SetFilterOptions(TDLFilterOptions options) {
    FFilterOptions = options;
    FFilterParser.reset();
    if (GetActive()) {
        ParseFilter();
        if (FFiltered) First();
    }
}

void TDLDataSet::SetFiltered(bool value) {
    if (!GetActive()) {
        FFiltered = value;
        return;
    }
    CheckBrowseMode();
    if (value != FFiltered) {
        FResultSet->CurrentIndex = -1;
        FFiltered = value;
    }
    First();
}

void TDLDataSet::SetOnFilterRecord(std::function<void(TDLDataSet&, bool&)> handler) {
    FOnFilterRecord = std::move(handler);
    if (GetActive()) {
        CheckBrowseMode();
        if (FFiltered) First();
    }
}

int TDLDataSet::SearchRecord(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) {
    CheckBrowseMode();
    std::vector<TDLField*> fields = GetFieldList(keyFields);
    bool caseInsensitive = options & loCaseInsensitive;
    bool partial = options & loPartialKey;
    TDLResultSet& rs = *FResultSet;
    THourGlass hg;
    int found = -1;
    for (int i = 0; i <= rs.Count(); ++i) {
        if (i == rs.Count()) {
            if (rs.AllFetched) break;
            int keep = rs.CurrentIndex;
            bool got = rs.FetchRow();
            rs.CurrentIndex = keep;
            if (!got) break;
        }
        if (!IsVisible(i)) continue;
        TDLRecordBuffer& row = rs.Row(i);
        TDLVariant values;
        if (fields.size() == 1) {
            values = OutsideValue(fields[0]->GetDataType(), row.Values[static_cast<size_t>(fields[0]->GetIndex())]);
        } else {
            TDLVariant::TArray a;
            for (TDLField* f : fields) a.push_back(OutsideValue(f->GetDataType(), row.Values[static_cast<size_t>(f->GetIndex())]));
            values = a;
        }
        if (VarEqualValues(values, keyValues, caseInsensitive, true, partial)) {
            found = i;
            break;
        }
    }
    return found;
}

bool TDLDataSet::Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    int index = SearchRecord(keyFields, keyValues, options);
    if (index < 0) return false;
    FResultSet->CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
    DoAfterScroll();
    return true;
}

TDLVariant TDLDataSet::Lookup(const std::string& keyFields, const TDLVariant& keyValues, const std::string& resultFields) {
    int index = SearchRecord(keyFields, keyValues, 0);
    if (index < 0) return TDLVariant();
    TDLRecordBuffer row = FResultSet->Row(index);
    if (row.Values.size() < FFields.size()) row.Values.resize(FFields.size());
    CalculateFields(row);
    std::vector<TDLField*> fields = GetFieldList(resultFields);
    if (fields.size() == 1)
        return OutsideValue(fields[0]->GetDataType(), row.Values[static_cast<size_t>(fields[0]->GetIndex())]);
    TDLVariant::TArray a;
    for (TDLField* f : fields) a.push_back(OutsideValue(f->GetDataType(), row.Values[static_cast<size_t>(f->GetIndex())]));
    return a;
}

bool TDLDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);
    FFound = false;
    TDLResultSet& rs = *FResultSet;
    int start = FActive && FActive->Bookmark >= 0 ? FActive->Bookmark : rs.CurrentIndex;
    if (goForward) {
        rs.CurrentIndex = restart ? -1 : start;
        FFound = GetRecord(gmNext) == grOK;
    } else {
        if (restart) {
            rs.FetchAll();
            rs.CurrentIndex = rs.Count();
        } else {
            rs.CurrentIndex = start;
        }
        FFound = GetRecord(gmPrior) == grOK;
    }
    if (FFound) {
        FBof = FEof = false;
        DoAfterScroll();
    } else if (FActive && FActive->Bookmark >= 0) {
        rs.CurrentIndex = FActive->Bookmark;
    }
    return FFound;
}

void TDLDataSet::SortCachedRows(const std::vector<int>& fieldIndices, const std::vector<bool>& caseInsensitive,
                                const std::vector<bool>& ascending) {
    CheckBrowseMode();
    TDLResultSet& rs = *FResultSet;
    if (rs.AllFetched && rs.Count() < 2) return;
    if (fieldIndices.empty()) DBError("Invalid array in GetRecordFieldsValue");
    for (int fi : fieldIndices)
        if (fi < 0 || fi >= FieldCount()) DBError("Invalid array in GetRecordFieldsValue");
    int keep = rs.CurrentIndex;
    {
        THourGlass hg;
        rs.FetchAll();
    }
    if (rs.Count() >= 2) {
        auto flag = [](const std::vector<bool>& v, size_t i, bool def) {
            if (v.empty()) return def;
            return i < v.size() ? static_cast<bool>(v[i]) : static_cast<bool>(v[0]);
        };
        auto value = [&](const TDLResultSet::TEntry& e, int fi) {
            const TDLRecordBuffer* b = e.Buffer.get();
            if (!b || static_cast<size_t>(fi) >= b->Values.size()) return TDLVariant();
            return OutsideValue(Fields(fi)->GetDataType(), b->Values[static_cast<size_t>(fi)]);
        };
        std::stable_sort(rs.Rows.begin(), rs.Rows.end(), [&](const TDLResultSet::TEntry& a, const TDLResultSet::TEntry& b) {
            for (size_t k = 0; k < fieldIndices.size(); ++k) {
                int c = VarCompareValues(value(a, fieldIndices[k]), value(b, fieldIndices[k]), flag(caseInsensitive, k, false));
                if (c != 0) return flag(ascending, k, true) ? c < 0 : c > 0;
            }
            return false;
        });
        // Record numbers and bookmarks stay in positional order.
        int recNo = 0;
        for (int i = 0; i < rs.Count(); ++i) {
            TDLResultSet::TEntry& e = rs.Rows[static_cast<size_t>(i)];
            if (!e.Buffer) continue;
            e.Buffer->Bookmark = i;
            if (e.OldBuffer) e.OldBuffer->Bookmark = i;
            e.Buffer->RecNo = e.Buffer->Status == usDeleted ? -1 : recNo++;
        }
    }
    rs.CurrentIndex = std::min(std::max(keep, 0), rs.Count() - 1);
    if (GetRecord(gmCurrent) == grOK) {
        FBof = FEof = false;
    } else {
        FActive.reset();
        FBof = FEof = true;
    }
}

// --- Queries ------------------------------------------------------------------------------

TDLQuery::TDLQuery(TDLComponent* owner) : TDLDataSet(owner) {}

TDLQuery::~TDLQuery() {
    try {
        Close();
        if (FPreparedFlag) InternalUnprepare();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
    SetDataSource(nullptr);
}

void TDLQuery::SetSQL(const std::string& text) {
    Close();
    if (FPreparedFlag || FCommand) UnPrepare();
    FSQLLines = SplitLines(text);
    FSQLText = JoinLines(FSQLLines);
    FKeyFields.clear();
    FCatalogQuery = false;
    ClearFieldDefs();
    if (ParamCheck) {
        TParams list;
        DLCreateParams(&list, FSQLText, ':');
        list.AssignValues(FParams);
        FParams = std::move(list);
    }
}

void TDLQuery::AssignSQL(const std::vector<std::string>& lines) {
    if (JoinLines(lines) == FSQLText) return;
    SetSQL(JoinLines(lines));
}

void TDLQuery::SetRequestLive(bool value) {
    CheckInactive();
    FRequestLive = value;
    FLocalEdits = !value;
}

void TDLQuery::SetUpdateMode(TDLUpdateMode value) {
    CheckInactive();
    FUpdateMode = value;
}

void TDLQuery::SetDataSource(TDLDataSet* master) {
    if (master == FMaster) return;
    for (TDLDataSet* m = master; m; m = dynamic_cast<TDLQuery*>(m) ? static_cast<TDLQuery*>(m)->FMaster : nullptr)
        if (m == this) DBError("Circular datalinks are not allowed");
    if (FMaster) {
        auto& list = FMaster->FDetails;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FMaster = master;
    // The master tells its details when it opens or moves.
    if (FMaster) FMaster->FDetails.push_back(this);
}

void TDLQuery::BindMasterParams() {
    if (!FMaster || !FMaster->GetActive()) return;
    for (int i = 0; i < FParams.Count(); ++i) {
        TParam& p = FParams[i];
        if (p.Bound) continue;
        TDLField* f = FMaster->FindField(p.Name);
        if (!f) continue;
        p.DataType = f->GetDataType();
        p.Value = f->GetValue();  // stays marked as not given explicitly
    }
}

void TDLQuery::MasterChanged() {
    if (!FMaster || FMaster->GetState() == dsInsert || !GetActive()) return;
    bool same = true;
    for (int i = 0; i < FParams.Count() && same; ++i) {
        TParam& p = FParams[i];
        if (p.Bound) continue;
        TDLField* f = FMaster->FindField(p.Name);
        if (!f) continue;
        TDLVariant v = f->GetValue();
        same = p.DataType == f->GetDataType() && p.Value.IsNull() == v.IsNull() && p.Value == v;
    }
    if (same) return;
    Close();
    Open();
}

void TDLQuery::BeforeOpenCursor() {
    FRowsAffected = -1;
    BindMasterParams();
    for (int i = 0; i < FParams.Count(); ++i)
        if (FParams[i].ParamType == ptUnknown) FParams[i].ParamType = ptInput;
}

bool TDLQuery::CanModify() const { return FRequestLive || TDLDataSet::CanModify(); }

bool TDLQuery::IsIndexField(const TDLField& field) const {
    if (!FRequestLive) return false;
    for (const std::string& k : FKeyFields)
        if (SameText(k, field.GetFieldName())) return true;
    return false;
}

std::unique_ptr<TISqlCommand> TDLQuery::CreateCommand() {
    std::unique_ptr<TISqlCommand> command = TDLDataSet::CreateCommand();
    command->CommandType = ctQuery;
    command->Params = &FParams;
    command->OnOwnerNotify = [this](bool flag, int) {
        if (flag && GetActive()) FetchRemaining();
    };
    return command;
}

void TDLQuery::OpenOnCommand(std::unique_ptr<TISqlCommand> command) {
    Close();
    FCommand = std::move(command);
    FCommand->Params = &FParams;
    FCatalogQuery = true;
    FPreparedFlag = true;
    FFieldDefs.clear();
    Open();
}

void TDLQuery::ReadKeyFields() {
    SetConnectReason(crReadKeyFields, true);
    try {
        FKeyFields.clear();
        std::unique_ptr<TDLQuery> schema(FDatabase->OpenSchemaInfo(5, FLiveTableName));
        if (schema) {
            std::string index;
            while (!schema->Eof()) {
                std::string name = TrimRight(schema->FieldByName("INDEX_NAME").AsString());
                int64_t type = schema->FieldByName("INDEX_TYPE").AsInteger();
                if (type & 2) {
                    if (index.empty()) index = name;
                    if (name == index) FKeyFields.push_back(TrimRight(schema->FieldByName("COLUMN_NAME").AsString()));
                }
                schema->Next();
            }
        }
    } catch (...) {
        SetConnectReason(crReadKeyFields, false);
        throw;
    }
    SetConnectReason(crReadKeyFields, false);
}

void TDLQuery::PrepareCursor() {
    if (FCatalogQuery && FCommand) return;
    if (FPreparedFlag && FCommand && FCommand->IsPrepared()) return;
    FRowsAffected = -1;
    bool live = FRequestLive && IsSelectStatement(FSQLText);
    if (live && !FUpdateObject) {
        FLiveTableName = GetTableNameFromSQL(FSQLText);
        if (Trim(FLiveTableName).empty()) DBError(STableReadOnly);
        if (FUpdateMode != upWhereAll) {
            if (FKeyFields.empty()) ReadKeyFields();
            if (FKeyFields.empty()) DBError(STableReadOnly);
        }
    }
    if (!FCommand) {
        if (FSQLText.size() < 2) DBError(SNoSQLStatement);
        FCommand = CreateCommand();
    }
    if (!FCommand->IsPrepared()) {
        try {
            FCommand->Prepare(FSQLText);
        } catch (...) {
            ReleaseCommand();
            throw;
        }
    }
    if (live) {
        FCommand->InitFieldDescs();
        bool writable;
        if (FUpdateMode == upWhereAll || FUpdateObject) {
            writable = std::any_of(FCommand->FieldDescs.begin(), FCommand->FieldDescs.end(),
                                   [](const TDLFieldDesc& d) { return !IsBlobType(d.FieldType); });
        } else {
            writable = !FKeyFields.empty();
            for (const std::string& k : FKeyFields) {
                bool present = std::any_of(FCommand->FieldDescs.begin(), FCommand->FieldDescs.end(), [&](const TDLFieldDesc& d) {
                    return UpperCase(StripQualifier(d.FieldName)) == UpperCase(k);
                });
                if (!present) writable = false;
            }
        }
        if (!writable) {
            ReleaseCommand();
            DBError(STableReadOnly);
        }
    }
    FPreparedFlag = true;
}

void TDLQuery::Prepare() {
    SetConnectReason(crPrepared, true);
    try {
        PrepareCursor();
    } catch (...) {
        SetConnectReason(crPrepared, false);
        throw;
    }
}

void TDLQuery::InternalUnprepare() {
    if (!GetActive()) DestroyFields();
    if (FCommand) FCommand->Unprepare();
    ReleaseCommand();
    FPreparedFlag = false;
}

void TDLQuery::UnPrepare() {
    if (GetActive()) DBError(SDataSetOpen);
    InternalUnprepare();
    SetConnectReason(crPrepared, false);
}

void TDLQuery::ExecSQL() {
    FRowsAffected = -1;
    CheckInactive();
    THourGlass hg;
    SetConnectReason(crExecuting, true);
    try {
        BindMasterParams();
        PrepareCursor();
        for (int i = 0; i < FParams.Count(); ++i)
            if (FParams[i].ParamType == ptUnknown) FParams[i].ParamType = ptInput;
        ExecuteCommand();
        FRowsAffected = FCommand->GetRowsAffected();
    } catch (...) {
        try {
            SetConnectReason(crExecuting, false);
        } catch (...) {
        }
        throw;
    }
    SetConnectReason(crExecuting, false);
}

void TDLQuery::RefreshRecord() {
    CheckBrowseMode();
    if (!FActive) DBError(SDataSetEmpty);
    int index = FActive->Bookmark;
    ApplyRowStatement(index, ukRefresh);
    FResultSet->CurrentIndex = index;
    if (GetRecord(gmCurrent) == grOK) FBof = FEof = false;
}

bool TDLQuery::NeedOwnTransaction() const {
    return FDatabase && !FDatabase->InTransaction() && !IsTrueText(FDatabase->Params.Values("AUTOCOMMIT"));
}

void TDLQuery::ApplyRowStatement(int index, TDLUpdateKind kind) {
    std::string sql;
    if (FUpdateObject) {
        sql = FUpdateObject->GetSQL(kind);
    } else {
        std::vector<std::string> names;
        for (auto& f : FFields) names.push_back(f->GetFieldName());
        TDLStrings origins, tables;
        if (!names.empty()) GetFieldOrigins(FSQLText, names, origins, tables);
        std::string table = FLiveTableName;
        if (table.empty() && tables.Count() > 0) table = tables.ValueFromIndex(0);
        bool quote = IsTrueText(FDatabase->Params.Values("QUOTE IDENTIFIER"));
        sql = GenerateUpdateSQL(kind, FUpdateMode, table, quote, GetUpdateFields(index), origins);
    }
    if (Trim(sql).empty()) {
        if (kind == ukRefresh) DBError(SNoSQLStatement);
        return;
    }
    TParams params;
    DLCreateParams(&params, sql, ':');
    TDLResultSet::TEntry& e = FResultSet->Entry(index);
    for (int i = 0; i < params.Count(); ++i) {
        TParam& p = params[i];
        bool old = StartsWithText(p.Name, "OLD_");
        TDLField* f = FindField(old ? p.Name.substr(4) : p.Name);
        if (!f) continue;
        size_t fi = static_cast<size_t>(f->GetIndex());
        const TDLRecordBuffer* source = e.Buffer.get();
        if (old) {
            if (e.OldBuffer)
                source = e.OldBuffer.get();
            else if (e.Buffer->Status == usInserted)
                source = nullptr;
        }
        TDLVariant v = source && fi < source->Values.size() ? source->Values[fi] : TDLVariant();
        p.DataType = ParamTypeOf(*f);
        if ((IsMemoType(f->GetDataType()) || f->LongText) && !v.IsNull()) v = v.AsString();
        p.Value = v;
        p.ParamType = ptInput;
        p.Bound = true;
    }
    std::unique_ptr<TISqlCommand> command = FDatabase->GetDriver()->CreateSqlCommand();
    command->CommandType = ctQuery;
    command->Params = &params;
    command->Prepare(sql);
    {
        TFlagGuard busy(FDatabase->Busy);
        command->Execute();
    }
    if (kind != ukRefresh) {
        if (command->GetRowsAffected() == 0) DBError(SRecordChanged);
        if (FAutoRefresh && kind == ukInsert) {
            std::string autoInc = FDatabase->GetDriver()->GetAutoIncSQL();
            if (!autoInc.empty()) {
                std::unique_ptr<TISqlCommand> ai = FDatabase->GetDriver()->CreateSqlCommand();
                ai->Prepare(autoInc);
                ai->Execute();
                if (ai->FetchNextRow()) {
                    if (ai->FieldDescs.empty()) ai->InitFieldDescs();
                    for (auto& f : FFields)
                        if (f->GetDataType() == ftAutoInc && e.Buffer->Values[static_cast<size_t>(f->GetIndex())].IsNull()) {
                            ReadColumn(*ai, ai->FieldDescs.at(0), *f, *e.Buffer);
                            break;
                        }
                }
                ai->CloseResultSet();
            }
        }
        return;
    }
    if (!command->FetchNextRow()) DBError(SRecordChanged);
    if (command->FieldDescs.empty()) command->InitFieldDescs();
    for (const TDLFieldDesc& d : command->FieldDescs) {
        TDLField* f = FindField(d.FieldName);
        if (f) ReadColumn(*command, d, *f, *e.Buffer);
    }
    command->CloseResultSet();
}

void TDLQuery::WriteBackPost(int index, bool inserted) {
    if (!FRequestLive) return;
    bool own = NeedOwnTransaction();
    if (own) FDatabase->StartTransaction();
    try {
        ApplyRowStatement(index, inserted ? ukInsert : ukModify);
        if (own) FDatabase->Commit();
    } catch (...) {
        if (own) {
            try {
                FDatabase->Rollback();
            } catch (const std::exception& e) {
                LogMessage(e.what(), "DataLink", LogKind::Error);
            }
        }
        throw;
    }
    FResultSet->AcceptRow(index);
    // The display takes over what the write-back set (refreshed identifiers).
    if (FActive) FActive->Values = FResultSet->Row(index).Values;
}

void TDLQuery::WriteBackDelete(int index) {
    if (!FRequestLive) {
        TDLDataSet::WriteBackDelete(index);
        return;
    }
    bool own = NeedOwnTransaction();
    if (own) FDatabase->StartTransaction();
    try {
        ApplyRowStatement(index, ukDelete);
        if (own) FDatabase->Commit();
    } catch (...) {
        if (own) {
            try {
                FDatabase->Rollback();
            } catch (const std::exception& e) {
                LogMessage(e.what(), "DataLink", LogKind::Error);
            }
        }
        throw;
    }
    FResultSet->DeleteRow(index);
    if (index < FResultSet->Count() && FResultSet->Row(index).Status == usDeleted) FResultSet->AcceptRow(index);
}

// --- Update object ------------------------------------------------------------------------

TDLUpdateSQL::TDLUpdateSQL(TDLComponent* owner) : TDLComponent(owner) {}

TDLUpdateSQL::~TDLUpdateSQL() {
    FreeQueries();
    if (FDataSet && FDataSet->FUpdateObject == this) FDataSet->FUpdateObject = nullptr;
}

void TDLUpdateSQL::FreeQueries() {
    for (auto& q : FQueries) q.reset();
}

void TDLUpdateSQL::SetSQL(TDLUpdateKind kind, const std::string& text) {
    FSQLText[kind] = text;
    if (FQueries[kind]) {
        FQueries[kind]->SetSQL(text);
        FQueries[kind]->GetParams().Clear();
        DLCreateParams(&FQueries[kind]->GetParams(), text, ':');
    }
}

void TDLUpdateSQL::SetDataSet(TDLDataSet* dataSet) {
    if (dataSet == FDataSet) return;
    FreeQueries();
    TDLDataSet* old = FDataSet;
    FDataSet = nullptr;
    if (old && old->FUpdateObject == this) old->FUpdateObject = nullptr;
    FDataSet = dataSet;
    if (dataSet && dataSet->FUpdateObject != this) {
        if (dataSet->FUpdateObject) dataSet->FUpdateObject->FDataSet = nullptr;
        dataSet->FUpdateObject = this;
    }
}

TDLQuery& TDLUpdateSQL::GetQuery(TDLUpdateKind kind) {
    if (!FDataSet) DBError("Dataset missing for the update object");
    if (!FQueries[kind]) {
        auto q = std::make_unique<TDLQuery>(nullptr);
        q->SetSessionName(FDataSet->GetSessionName());
        q->SetDatabaseName(FDataSet->GetDatabaseName());
        q->SetSQL(FSQLText[kind]);
        FQueries[kind] = std::move(q);
    }
    return *FQueries[kind];
}

void TDLUpdateSQL::Apply(TDLUpdateKind kind) {
    TDLQuery& q = GetQuery(kind);
    TParams& params = q.GetParams();
    for (int i = 0; i < params.Count(); ++i) {
        TParam& p = params[i];
        bool old = StartsWithText(p.Name, "OLD_");
        TDLField* f = FDataSet->FindField(old ? p.Name.substr(4) : p.Name);
        if (!f) continue;
        TDLVariant v = old ? f->OldValue() : f->GetValue();
        p.DataType = ParamTypeOf(*f);
        p.Value = v;
        p.ParamType = ptInput;
        p.Bound = true;
    }
    q.ExecSQL();
    if (q.RowsAffected() != 1) DBError("Update failed");
}

// --- Stored procedures --------------------------------------------------------------------

TDLStoredProc::TDLStoredProc(TDLComponent* owner) : TDLDataSet(owner) {}

TDLStoredProc::~TDLStoredProc() {
    try {
        Close();
        if (FPrepared) UnPrepare();
    } catch (const std::exception& e) {
        LogMessage(e.what(), "DataLink", LogKind::Error);
    }
}

void TDLStoredProc::SetStoredProcName(const std::string& value) {
    CheckInactive();
    if (value == FStoredProcName) return;
    if (FPrepared || FCommand) UnPrepare();
    FStoredProcName = value;
    FParams.Clear();
    ClearFieldDefs();
}

void TDLStoredProc::SetOverload(uint16_t value) {
    CheckInactive();
    if (value == FOverload) return;
    if (FPrepared || FCommand) UnPrepare();
    FOverload = value;
    FParams.Clear();
}

void TDLStoredProc::SetParams(const TParams& params) {
    CheckInactive();
    bool was = FPrepared;
    if (was) UnPrepare();
    FParams.AssignValues(params);
    if (FParams.Count() == 0) FParams = params;
    if (was) Prepare();
}

std::unique_ptr<TISqlCommand> TDLStoredProc::CreateCommand() {
    std::unique_ptr<TISqlCommand> command = TDLDataSet::CreateCommand();
    command->CommandType = ctStoredProc;
    command->Params = &FParams;
    command->OnOwnerNotify = [this](bool flag, int) {
        if (flag && GetActive()) FetchRemaining();
    };
    return command;
}

void TDLStoredProc::InternalPrepare() {
    if (!FCommand) FCommand = CreateCommand();
    if (!FCommand->IsPrepared()) {
        try {
            FCommand->Prepare(FStoredProcName);
        } catch (...) {
            ReleaseCommand();
            throw;
        }
    }
    FPrepared = true;
}

void TDLStoredProc::PrepareCursor() { InternalPrepare(); }

void TDLStoredProc::Prepare() {
    SetConnectReason(crSPPrepared, true);
    try {
        InternalPrepare();
    } catch (...) {
        SetConnectReason(crSPPrepared, false);
        throw;
    }
}

void TDLStoredProc::UnPrepare() {
    if (!GetActive()) DestroyFields();
    FPrepared = false;
    ReleaseCommand();
    SetConnectReason(crSPPrepared, false);
}

void TDLStoredProc::ClearOutputParams() {
    for (int i = 0; i < FParams.Count(); ++i)
        if (FParams[i].ParamType == ptOutput) FParams[i].Clear();
}

void TDLStoredProc::RunProcedure() {
    CheckInactive();
    THourGlass hg;
    SetConnectReason(crSPExecuting, true);
    TDLDatabase* db = FDatabase;
    try {
        db->Busy = true;
        InternalPrepare();
        ClearOutputParams();
        FCommand->Execute();
        if (!db->GetDriver()->SPOutputInResultSet) FCommand->GetOutputParams();
        FCommand->CloseResultSet();
    } catch (...) {
        db->Busy = false;
        try {
            SetConnectReason(crSPExecuting, false);
        } catch (...) {
        }
        throw;
    }
    db->Busy = false;
    SetConnectReason(crSPExecuting, false);
}

// --- Blob streams -------------------------------------------------------------------------

TDLBlobStream::TDLBlobStream(TDLField& field, TDLBlobStreamMode mode)
    : FField(field), FDataSet(*field.GetDataSet()), FOpenMode(mode) {
    FBuffer = FDataSet.GetStateBuffer();
    if (!FBuffer) return;
    if (FDataSet.FState == dsFilter) DBError(Fmt("Cannot access field '%s' in a filter", field.GetFieldName()));
    if (mode == bmWrite && !field.Modified) {
        if (field.ReadOnly) DBError(Fmt("Field '%s' cannot be modified", field.GetFieldName()));
        if (FDataSet.FState != dsEdit && FDataSet.FState != dsInsert) DBError(SNotEditing);
    }
    FOpened = true;
    if (mode == bmWrite) {
        StoreBlob(TBytes());
        FCurrentPos = 0;
        FWritten = true;
    }
}

TDLBlobStream::~TDLBlobStream() {
    if (FOpened && FWritten) FField.Modified = true;
    if (FWritten && FDataSet.OnFieldChange) {
        try {
            FDataSet.OnFieldChange(FDataSet, FField);
        } catch (const std::exception& e) {
            LogMessage(e.what(), "DataLink", LogKind::Exception);
        }
    }
}

TBytes TDLBlobStream::GetBlob() const {
    size_t i = static_cast<size_t>(FField.GetIndex());
    if (!FBuffer || i >= FBuffer->Values.size()) return {};
    return FBuffer->Values[i].AsBytes();
}

void TDLBlobStream::StoreBlob(TBytes data) {
    if (FBuffer != FDataSet.FActive.get()) DBError(SNotEditing);
    size_t i = static_cast<size_t>(FField.GetIndex());
    if (FBuffer->Values.size() <= i) FBuffer->Values.resize(FDataSet.FFields.size());
    if (data.empty())
        FBuffer->Values[i] = TDLVariant();
    else
        FBuffer->Values[i] = std::move(data);
    if (FBuffer->Status == usUnmodified) FBuffer->Status = usModified;
}

int64_t TDLBlobStream::Size() {
    if (!FOpened) return 0;
    return static_cast<int64_t>(GetBlob().size());
}

int64_t TDLBlobStream::Read(void* buffer, int64_t count) {
    if (!FOpened || count <= 0) return 0;
    TBytes data = GetBlob();
    int64_t size = static_cast<int64_t>(data.size());
    // Outside the blob there is nothing to read.
    if (FCurrentPos < 0 || FCurrentPos >= size) return 0;
    int64_t n = std::min(count, size - FCurrentPos);
    std::memcpy(buffer, data.data() + FCurrentPos, static_cast<size_t>(n));
    FCurrentPos += n;
    return n;
}

int64_t TDLBlobStream::Write(const void* buffer, int64_t count) {
    if (!FOpened) DBError(SNotEditing);
    if (count <= 0) return 0;
    if (FCurrentPos < 0) FCurrentPos = 0;
    TBytes data = GetBlob();
    if (static_cast<int64_t>(data.size()) < FCurrentPos + count) data.resize(static_cast<size_t>(FCurrentPos + count), 0);
    std::memcpy(data.data() + FCurrentPos, buffer, static_cast<size_t>(count));
    StoreBlob(std::move(data));
    FCurrentPos += count;
    FWritten = true;
    return count;
}

int64_t TDLBlobStream::Seek(int64_t offset, int origin) {
    int64_t pos;
    switch (origin) {
        case 0: pos = offset; break;
        case 1: pos = FCurrentPos + offset; break;
        case 2: pos = Size() + offset; break;
        default: DBError("Invalid stream origin");
    }
    if (pos < 0) DBError("Stream position before the beginning of the blob");
    FCurrentPos = pos;
    return pos;
}

void TDLBlobStream::SetSize(int64_t newSize) {
    if (!FOpened) DBError(SNotEditing);
    if (newSize < 0) newSize = 0;
    TBytes data = GetBlob();
    data.resize(static_cast<size_t>(newSize), 0);
    StoreBlob(std::move(data));
    FWritten = true;
    if (FCurrentPos > newSize) FCurrentPos = newSize;
}

}  // namespace kelvar
