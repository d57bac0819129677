// Sessions, the session list, the database component and the engine's hooks.
#include "database/datalink/DLEngine.h"

#include <algorithm>
#include <cstring>

#include "database/datalink/DLEngine_Shared.h"
#include "database/datalink/DLFib.h"
#include "database/datalink/DLInt.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar {

using namespace dlengine;

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
                DBError(Fmt(
                    "Cannot add a session to the form or data-module while session '%s' has AutoSessionName enabled",
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
        } catch (...) {}
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

}  // namespace kelvar
