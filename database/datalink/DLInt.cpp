#include "database/datalink/DLInt.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kelvar {

static_assert(sizeof(isc_db_handle) == 4, "handle cells are 4 bytes with this client");
static_assert(sizeof(ISC_STATUS_ARRAY) == 20 * sizeof(ISC_STATUS), "status vectors have 20 entries");

namespace {

constexpr ISC_STATUS SegmentStatus = 335544366;    // isc_segment: buffer smaller than the segment
constexpr ISC_STATUS SegStrEofStatus = 335544367;  // isc_segstr_eof: end of blob
constexpr int BlobSegmentSize = 16384;
constexpr size_t MaxVariableLength = 32765;  // the longest text the server takes in one variable

// Blob identifier and other server values sit at any offset of our buffers.
template <class T>
T Load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void Store(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// Little-endian integer of 1 to 4 (or 8) bytes, as the server's info replies hold them.
int64_t VaxInteger(const uint8_t* p, int length) {
    int64_t v = 0;
    int shift = 0;
    for (int i = 0; i < length && i < 8; ++i, shift += 8) v += static_cast<int64_t>(p[i]) << shift;
    if (length > 0 && length < 8 && (p[length - 1] & 0x80)) v -= int64_t{1} << (8 * length);
    return v;
}

// The server's transaction block: one TEB per database.
struct TIntTEB {
    isc_db_handle* Database;
    long TPBLength;
    const uint8_t* TPB;
};

std::string DoubleQuotes(const std::string& s, char quote) {
    std::string r;
    for (char c : s) {
        r += c;
        if (c == quote) r += c;
    }
    return r;
}

}  // namespace

// --- entry points ------------------------------------------------------------------------

void TIntFunctions::Load(void* module) {
    Module = module;
#define KELVAR_REQUIRED(name)                                      \
    name = reinterpret_cast<decltype(name)>(dlsym(module, #name)); \
    if (!name) throw EDLSqlLibError("Function '" #name "' not found in Interbase Client library");
#define KELVAR_OPTIONAL(name) name = reinterpret_cast<decltype(name)>(dlsym(module, #name));
    KELVAR_REQUIRED(isc_create_database)
    KELVAR_REQUIRED(isc_attach_database)
    KELVAR_REQUIRED(isc_blob_info)
    KELVAR_REQUIRED(isc_close_blob)
    KELVAR_REQUIRED(isc_commit_transaction)
    KELVAR_REQUIRED(isc_commit_retaining)
    KELVAR_REQUIRED(isc_create_blob)
    KELVAR_REQUIRED(isc_create_blob2)
    KELVAR_REQUIRED(isc_detach_database)
    KELVAR_REQUIRED(isc_dsql_allocate_statement)
    KELVAR_REQUIRED(isc_dsql_describe)
    KELVAR_REQUIRED(isc_dsql_describe_bind)
    KELVAR_REQUIRED(isc_dsql_execute)
    KELVAR_REQUIRED(isc_dsql_execute2)
    KELVAR_REQUIRED(isc_dsql_fetch)
    KELVAR_REQUIRED(isc_dsql_free_statement)
    KELVAR_REQUIRED(isc_dsql_prepare)
    KELVAR_REQUIRED(isc_dsql_sql_info)
    KELVAR_REQUIRED(isc_get_segment)
    KELVAR_REQUIRED(isc_interprete)
    KELVAR_REQUIRED(isc_open_blob)
    KELVAR_REQUIRED(isc_open_blob2)
    KELVAR_REQUIRED(isc_put_segment)
    KELVAR_REQUIRED(isc_rollback_transaction)
    KELVAR_REQUIRED(isc_start_multiple)
    KELVAR_REQUIRED(isc_start_transaction)
    KELVAR_REQUIRED(isc_sqlcode)
    KELVAR_REQUIRED(isc_sql_interprete)
    KELVAR_REQUIRED(isc_vax_integer)
    KELVAR_REQUIRED(isc_version)
    KELVAR_REQUIRED(isc_decode_date)
    KELVAR_REQUIRED(isc_encode_date)
    KELVAR_OPTIONAL(isc_blob_default_desc)
    KELVAR_OPTIONAL(isc_blob_gen_bpb)
    KELVAR_OPTIONAL(isc_blob_lookup_desc)
    KELVAR_OPTIONAL(isc_blob_set_desc)
    KELVAR_OPTIONAL(isc_cancel_blob)
    KELVAR_OPTIONAL(isc_cancel_events)
    KELVAR_OPTIONAL(isc_database_info)
    KELVAR_OPTIONAL(isc_drop_database)
    KELVAR_OPTIONAL(isc_dsql_alloc_statement2)
    KELVAR_OPTIONAL(isc_dsql_execute_immediate)
    KELVAR_OPTIONAL(isc_dsql_exec_immed2)
    KELVAR_OPTIONAL(isc_dsql_finish)
    KELVAR_OPTIONAL(isc_dsql_set_cursor_name)
    KELVAR_OPTIONAL(isc_event_counts)
    KELVAR_OPTIONAL(isc_prepare_transaction)
    KELVAR_OPTIONAL(isc_prepare_transaction2)
    KELVAR_OPTIONAL(isc_print_sqlerror)
    KELVAR_OPTIONAL(isc_print_status)
    KELVAR_OPTIONAL(isc_rollback_retaining)
    KELVAR_OPTIONAL(isc_transaction_info)
    KELVAR_OPTIONAL(isc_decode_sql_date)
    KELVAR_OPTIONAL(isc_decode_sql_time)
    KELVAR_OPTIONAL(isc_decode_timestamp)
    KELVAR_OPTIONAL(isc_encode_sql_date)
    KELVAR_OPTIONAL(isc_encode_sql_time)
    KELVAR_OPTIONAL(isc_encode_timestamp)
    KELVAR_OPTIONAL(isc_add_user)
    KELVAR_OPTIONAL(isc_delete_user)
    KELVAR_OPTIONAL(isc_modify_user)
    KELVAR_OPTIONAL(fb_interpret)
    KELVAR_OPTIONAL(isc_get_client_version)
    KELVAR_OPTIONAL(isc_get_client_major_version)
    KELVAR_OPTIONAL(isc_get_client_minor_version)
#undef KELVAR_REQUIRED
#undef KELVAR_OPTIONAL
}

void TIntFunctions::Clear() {
    // Every member is a module handle or an entry point: a fresh table empties them all.
    static_cast<TIntFunctions&>(*this) = TIntFunctions();
}

bool TIntFunctions::HasEntryPoint(const char* name) const {
    return Module != nullptr && dlsym(Module, name) != nullptr;
}

// --- the binding -------------------------------------------------------------------------

TIntClientLibrary::TIntClientLibrary(std::string defaultLibraryName, TDLServerType serverType,
                                     std::unique_ptr<TIntFunctions> functions)
    : LibraryName(std::move(defaultLibraryName)), ServerType(serverType), Functions(std::move(functions)) {}

TIntClientLibrary::~TIntClientLibrary() {
    // Program end: let go of whatever is still held.
    std::lock_guard<std::mutex> guard(Lock);
    if (LibraryModule) dlclose(LibraryModule);
    LibraryModule = nullptr;
    LibraryRefCount = 0;
}

TIntFunctions& TIntClientLibrary::Acquire() {
    std::lock_guard<std::mutex> guard(Lock);
    if (LibraryRefCount > 0) {
        ++LibraryRefCount;
        return *Functions;
    }
    // The engine keeps threads and exit handlers inside the library: never unmap it.
    void* module = dlopen(LibraryName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) throw EDLSqlLibError("Error loading library '" + LibraryName + "'");
    try {
        Functions->Load(module);
    } catch (...) {
        // An incomplete table is never kept: every later attempt fails the same clean way.
        Functions->Clear();
        dlclose(module);
        throw;
    }
    LibraryModule = module;
    LibraryRefCount = 1;
    ReadClientVersion();
    return *Functions;
}

void TIntClientLibrary::Release() {
    std::lock_guard<std::mutex> guard(Lock);
    if (LibraryRefCount == 0) return;
    if (LibraryRefCount == 1) {
        if (dlclose(LibraryModule) != 0) throw EDLSqlLibError("Error unloading library '" + LibraryName + "'");
        LibraryModule = nullptr;
        LibraryRefCount = 0;
        Functions->Clear();
        ClientVersion = 0;
    } else {
        --LibraryRefCount;
    }
}

void TIntClientLibrary::ApplyLibraryParam(const TDLStrings& params) {
    std::lock_guard<std::mutex> guard(Lock);
    if (LibraryRefCount > 0) return;
    std::string name = Trim(params.Values(ApiLibraryParamName(ServerType)));
    if (!name.empty()) LibraryName = name;
}

std::string TIntClientLibrary::GetLibraryName() const {
    std::lock_guard<std::mutex> guard(Lock);
    return LibraryName;
}

void TIntClientLibrary::SetLibraryName(const std::string& name) {
    std::lock_guard<std::mutex> guard(Lock);
    LibraryName = name;
}

int TIntClientLibrary::GetRefCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return LibraryRefCount;
}

int TIntClientLibrary::GetClientVersion() const {
    std::lock_guard<std::mutex> guard(Lock);
    return ClientVersion;
}

bool TIntClientLibrary::IsLoaded() const {
    std::lock_guard<std::mutex> guard(Lock);
    return LibraryModule != nullptr;
}

void TIntClientLibrary::ReadClientVersion() {
    // The client's own version text, e.g. "LI-V6.3.11.33703 Firebird 3.0": the product
    // version follows the product name (the leading number is the compatibility level).
    ClientVersion = 0;
    if (!Functions->isc_get_client_version) return;
    char text[256] = {};
    Functions->isc_get_client_version(text);
    text[sizeof text - 1] = 0;
    std::string version = text;
    size_t product = version.find("Firebird ");
    ClientVersion = ParseVersionText(product == std::string::npos ? version : version.substr(product));
}

TIntClientLibrary& IntClientLibrary() {
    static TIntClientLibrary library("libfbclient.so.2", stInterbase, std::make_unique<TIntFunctions>());
    return library;
}

int ParseVersionText(const std::string& text) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string s = text;
    size_t i = 0;
    while (i < s.size() && !isDigit(s[i])) ++i;
    s = s.substr(i);
    size_t j = 0;
    while (j < s.size() && isDigit(s[j])) ++j;
    int major = 0;
    if (j < s.size()) {
        major = j > 0 ? std::atoi(s.substr(0, j).c_str()) : 0;
        s = s.substr(j + 1);
    }
    i = 0;
    while (i < s.size() && !isDigit(s[i])) ++i;
    s = s.substr(i);
    j = 0;
    while (j < s.size() && isDigit(s[j])) ++j;
    int minor = j > 0 ? std::atoi(s.substr(0, j).c_str()) : 0;
    return major * 65536 + minor;
}

void RaiseServerError(ISC_STATUS result, const ISC_STATUS* statusVector, TDLErrorClass errorClass,
                      const TIntFunctions& functions) {
    std::string message;
    char buffer[512];
    const ISC_STATUS* p = statusVector;
    if (functions.fb_interpret) {
        while (functions.fb_interpret(buffer, sizeof buffer, &p)) {
            buffer[sizeof buffer - 1] = 0;
            message += "\r\n";
            message += buffer;
        }
    } else {
        message = "\r\nClient error " + std::to_string(static_cast<long long>(result));
    }
    int code = -999;
    if (functions.isc_sqlcode) code = static_cast<int>(functions.isc_sqlcode(statusVector));
    if (code == -999) code = static_cast<int>(result);
    if (code == -501) return;  // a cursor that is already closed
    errorClass(code, message, code);
}

// --- driver database ---------------------------------------------------------------------

TICustomIntDatabase::TICustomIntDatabase(const TDLStrings& params) : TISqlDatabase(params) {
    SQLDialect = StrToIntDef(Trim(Params.Values("SQL Dialect")), 1);
    DPB.assign(1, static_cast<char>(isc_dpb_version1));
    TPB[0] = isc_tpb_version3;
    TPB[1] = isc_tpb_write;
    TPB[2] = isc_tpb_wait;
    TPB[3] = isc_tpb_concurrency;
}

TICustomIntDatabase::~TICustomIntDatabase() {
    // Subclasses disconnect in their own destructor; this is the last safety net for the handles.
    HandleRecord.reset();
}

void* TICustomIntDatabase::GetHandle() { return HandleRecord.get(); }

void TICustomIntDatabase::SetAutoCommitOption(bool) {}

void TICustomIntDatabase::SetHandle(void* handle) {
    DLAssert(handle != nullptr, "TICustomIntDatabase.SetHandle");
    AcquireClientLibrary();
    AllocHandle();
    const TIntHandleRecord* other = static_cast<const TIntHandleRecord*>(handle);
    HandleRecord->DBHandle = other->DBHandle;
    HandleRecord->TRHandle = other->TRHandle;
}

int TICustomIntDatabase::GetClientVersion() { return IntClientLibrary().GetClientVersion(); }

int TICustomIntDatabase::GetServerVersion() {
    DLAssert(Fn != nullptr, "TICustomIntDatabase.GetServerVersion");
    char items[] = {isc_info_version};
    char reply[1000] = {};
    CheckStatus(Fn->isc_database_info(StatusVector, GetDBHandle(), 1, items, sizeof reply, reply));
    size_t length = static_cast<uint8_t>(reply[4]);
    length = std::min(length, sizeof reply - 5);
    return ParseVersionText(std::string(reply + 5, length));
}

namespace {
void VersionLine(void* arg, const char* line) {
    std::string text = line ? line : "";
    if (text.find("(access method)") != std::string::npos || text.find("(remote server)") != std::string::npos)
        *static_cast<std::string*>(arg) = text;
}
}  // namespace

std::string TICustomIntDatabase::GetServerVersionString() {
    DLAssert(Fn != nullptr, "TICustomIntDatabase.GetServerVersionString");
    std::string result;
    Fn->isc_version(GetDBHandle(), VersionLine, &result);
    DoServerActivity();
    return result;
}

std::string TICustomIntDatabase::SchemaInfoSQL(int kind, const std::string& objectName) {
    // Names go in as quoted literals with their quotes doubled.
    auto match = [](const std::string& x) -> std::string {
        std::string lit = DoubleQuotes(x, '\'');
        return x.find('%') != std::string::npos ? "like UPPER('" + lit + "')" : "= UPPER('" + lit + "')";
    };
    auto joiner = [](const std::string& cond) -> std::string { return Trim(cond).empty() ? " where " : " and "; };
    std::string owner, name;
    SplitObjectName(objectName, owner, name);
    switch (kind) {
        case 0:
        case 1: {
            std::string cond;
            if (!name.empty() && name != "*") cond += joiner(cond) + "RDB$RELATION_NAME " + match(name);
            if (!owner.empty() && owner != "*") cond += joiner(cond) + "RDB$OWNER_NAME " + match(owner);
            cond += joiner(cond) + (kind == 1 ? "RDB$SYSTEM_FLAG <> 0 " : "RDB$SYSTEM_FLAG = 0 ");
            return "select '' as CATALOG_NAME, RDB$OWNER_NAME as SCHEMA_NAME, RDB$RELATION_NAME as TABLE_NAME, "
                   "RDB$VIEW_SOURCE as TABLE_TYPE from RDB$RELATIONS " +
                   cond + " order by RDB$OWNER_NAME, RDB$RELATION_NAME";
        }
        case 2: {
            std::string cond = objectName.empty() ? "" : "and RDB$PROCEDURE_NAME " + match(objectName);
            return "select '' as CATALOG_NAME, RDB$OWNER_NAME as SCHEMA_NAME, RDB$PROCEDURE_NAME as PROC_NAME, "
                   "0 as PROC_TYPE, RDB$PROCEDURE_INPUTS as IN_PARAMS, RDB$PROCEDURE_OUTPUTS as OUT_PARAMS, "
                   "RDB$SYSTEM_FLAG from RDB$PROCEDURES where RDB$SYSTEM_FLAG = 0 " +
                   cond + " order by RDB$OWNER_NAME, RDB$PROCEDURE_NAME";
        }
        case 3:
            return "select '' as CATALOG_NAME, R.RDB$OWNER_NAME as SCHEMA_NAME, R.RDB$RELATION_NAME as TABLE_NAME, "
                   "RF.RDB$FIELD_NAME as COLUMN_NAME, RF.RDB$FIELD_POSITION as COLUMN_POSITION, 0 as COLUMN_TYPE, "
                   "F.RDB$FIELD_TYPE as COLUMN_TYPENAME, F.RDB$FIELD_LENGTH as COLUMN_LENGTH, F.RDB$FIELD_PRECISION "
                   "as COLUMN_PRECISION, F.RDB$FIELD_SCALE as COLUMN_SCALE, RF.RDB$NULL_FLAG as COLUMN_NULLABLE, "
                   "F.RDB$DEFAULT_VALUE from RDB$RELATIONS R, RDB$RELATION_FIELDS RF, RDB$FIELDS F where "
                   "(R.RDB$RELATION_NAME = RF.RDB$RELATION_NAME) and (RF.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME) and "
                   "(R.RDB$OWNER_NAME " +
                   match(owner) + ") and (R.RDB$RELATION_NAME " + match(name) +
                   ") order by R.RDB$OWNER_NAME, R.RDB$RELATION_NAME, RF.RDB$FIELD_POSITION";
        case 4: {
            std::string cond = objectName.empty() ? "" : "and PP.RDB$PROCEDURE_NAME " + match(objectName);
            return "select '' as CATALOG_NAME, RDB$OWNER_NAME as SCHEMA_NAME, PP.RDB$PROCEDURE_NAME as PROC_NAME, "
                   "0 as PROC_TYPE, RDB$PARAMETER_NAME as PARAM_NAME, RDB$PARAMETER_NUMBER as PARAM_POSITION, "
                   "RDB$PARAMETER_TYPE as PARAM_TYPE, RDB$PROCEDURE_SOURCE, RDB$FIELD_SOURCE from RDB$PROCEDURES PR, "
                   "RDB$PROCEDURE_PARAMETERS PP where PR.RDB$PROCEDURE_NAME = PP.RDB$PROCEDURE_NAME  " +
                   cond + " order by RDB$OWNER_NAME, PP.RDB$PROCEDURE_NAME, RDB$PARAMETER_NUMBER";
        }
        case 5:
            return "select '' as CATALOG_NAME, R.RDB$OWNER_NAME as SCHEMA_NAME, R.RDB$RELATION_NAME as TABLE_NAME, "
                   "I.RDB$INDEX_NAME as INDEX_NAME, S.RDB$FIELD_NAME as COLUMN_NAME, S.RDB$FIELD_POSITION as "
                   "COLUMN_POSITION, (I.RDB$UNIQUE_FLAG + 1) as INDEX_TYPE, '' as SORT_ORDER, "
                   "I.RDB$EXPRESSION_SOURCE as INDEX_FILTER from RDB$RELATIONS R, RDB$INDICES I, RDB$INDEX_SEGMENTS S "
                   "where (R.RDB$RELATION_NAME = I.RDB$RELATION_NAME) and I.RDB$INDEX_NAME = S.RDB$INDEX_NAME and "
                   "(R.RDB$OWNER_NAME " +
                   match(owner) + ") and (R.RDB$RELATION_NAME " + match(name) +
                   ") order by R.RDB$OWNER_NAME, R.RDB$RELATION_NAME, I.RDB$INDEX_NAME, S.RDB$FIELD_POSITION";
        default: return {};
    }
}

std::unique_ptr<TISqlCommand> TICustomIntDatabase::GetSchemaInfo(int kind, const std::string& objectName) {
    std::unique_ptr<TISqlCommand> cmd = CreateSqlCommand();
    cmd->Prepare(SchemaInfoSQL(kind, objectName));
    return cmd;
}

void TICustomIntDatabase::SetTransIsolation(TDLTransIsolation) {}

bool TICustomIntDatabase::SPDescriptionsAvailable() { return true; }

void TICustomIntDatabase::AllocHandle() {
    if (HandleRecord) DLAssertionFailure("TICustomIntDatabase.AllocHandle");
    OwnDBCell = std::make_unique<isc_db_handle>(0);
    OwnTRCell = std::make_unique<isc_tr_handle>(0);
    HandleRecord = std::make_unique<TIntHandleRecord>();
    HandleRecord->Kind = stInterbase;
    HandleRecord->DBHandle = OwnDBCell.get();
    HandleRecord->TRHandle = OwnTRCell.get();
}

void TICustomIntDatabase::FreeHandle() {
    HandleRecord.reset();
    OwnDBCell.reset();
    OwnTRCell.reset();
}

void TICustomIntDatabase::CheckStatus(ISC_STATUS result) {
    DoServerActivity();
    if (result != 0) {
        DoServerError();
        RaiseServerError(result, StatusVector, GetErrorClass(), *Fn);
    }
}

void TICustomIntDatabase::BuildDPB(const std::string& userName, const std::string& password) {
    // A length byte can't say more than 255: longer values would corrupt the block.
    auto add = [this](uint8_t tag, const std::string& value, const char* what) {
        if (value.size() > 255)
            throw EDatabaseError(std::string("Connection parameter '") + what + "' is longer than 255 bytes");
        DPB += static_cast<char>(tag);
        DPB += static_cast<char>(value.size());
        DPB += value;
    };
    add(isc_dpb_user_name, userName, "USER NAME");
    add(isc_dpb_password, password, "PASSWORD");
    std::string charset = Trim(Params.Values("LOCAL CHARSET"));
    if (!charset.empty()) add(isc_dpb_lc_ctype, charset, "LOCAL CHARSET");
    std::string role = Trim(Params.Values("ROLE NAME"));
    if (!role.empty()) add(isc_dpb_sql_role_name, role, "ROLE NAME");
}

bool TICustomIntDatabase::BuildTPB() {
    uint8_t cur1 = TPB[TPBIsolationPos];
    uint8_t cur2 = TPBLength > TPBIsolationPos + 1 ? TPB[TPBIsolationPos + 1] : 0;
    uint8_t want1 = 0, want2 = 0;
    switch (TransIsolation) {
        case tiDirtyRead:
            want1 = isc_tpb_read_committed;
            want2 = isc_tpb_rec_version;
            break;
        case tiReadCommitted:
            want1 = isc_tpb_read_committed;
            want2 = isc_tpb_no_rec_version;
            break;
        case tiRepeatableRead:
            want1 = isc_tpb_concurrency;
            want2 = 0;
            break;
        default: DLAssertionFailure("BuildTPB");
    }
    if (cur1 == want1 && cur2 == want2) {
        bool marker = std::find(TPB, TPB + TPBLength, static_cast<uint8_t>(isc_tpb_autocommit)) != TPB + TPBLength;
        bool rebuild = marker ? ExplicitTransaction : (AutoCommit && !ExplicitTransaction);
        if (!rebuild) return false;
    }
    std::fill(TPB + TPBIsolationPos, TPB + sizeof TPB, 0);
    uint16_t pos = TPBIsolationPos;
    TPB[pos++] = want1;
    if (want2) TPB[pos++] = want2;
    if (AutoCommit && !ExplicitTransaction) TPB[pos++] = isc_tpb_autocommit;
    TPBLength = pos;
    return true;
}

bool TICustomIntDatabase::CanRollbackRetaining() const {
    return Fn != nullptr && Fn->isc_rollback_retaining != nullptr && !AutoCommit;
}

isc_db_handle* TICustomIntDatabase::GetDBHandle() const {
    if (!HandleRecord) DLAssertionFailure("TICustomIntDatabase.GetDBHandle");
    return HandleRecord->DBHandle;
}

isc_tr_handle* TICustomIntDatabase::GetTRHandle() const {
    if (!HandleRecord) DLAssertionFailure("TICustomIntDatabase.GetTRHandle");
    return HandleRecord->TRHandle;
}

TIntFunctions& TICustomIntDatabase::Functions() const {
    DLAssert(Fn != nullptr, "not connected");
    return *Fn;
}

void TICustomIntDatabase::StartServerTransaction() {
    TIntTEB teb{GetDBHandle(), static_cast<long>(TPBLength), TPB};
    CheckStatus(Fn->isc_start_multiple(StatusVector, GetTRHandle(), 1, &teb));
}

void TICustomIntDatabase::DoConnect(const std::string& remoteDatabase, const std::string& userName,
                                    const std::string& password) {
    AcquireClientLibrary();
    AllocHandle();
    BuildDPB(userName, password);
    CheckStatus(Fn->isc_attach_database(StatusVector, 0, remoteDatabase.c_str(), GetDBHandle(),
                                        static_cast<short>(DPB.size()), DPB.data()));
    BuildTPB();
    StartServerTransaction();
    CursorPreservedOnRollback = CanRollbackRetaining();
}

void TICustomIntDatabase::DoDisconnect(bool force) {
    if (!HandleRecord) return;
    if (Fn) {
        if (*GetTRHandle()) {
            ISC_STATUS r = InTransaction ? Fn->isc_rollback_transaction(StatusVector, GetTRHandle())
                                         : Fn->isc_commit_transaction(StatusVector, GetTRHandle());
            if (!force) CheckStatus(r);
            *GetTRHandle() = 0;
        }
        if (*GetDBHandle()) {
            ISC_STATUS r = Fn->isc_detach_database(StatusVector, GetDBHandle());
            if (!force) CheckStatus(r);
            *GetDBHandle() = 0;
        }
    }
    DPB.assign(1, static_cast<char>(isc_dpb_version1));
    FreeHandle();
    if (Fn) ReleaseClientLibrary();
}

void TICustomIntDatabase::DoCommit() {
    DLAssert(Fn != nullptr && *GetTRHandle() != 0, "DoCommit");
    CheckStatus(Fn->isc_commit_retaining(StatusVector, GetTRHandle()));
    ExplicitTransaction = false;
}

void TICustomIntDatabase::DoRollback() {
    DLAssert(Fn != nullptr && *GetTRHandle() != 0, "DoRollback");
    if (CanRollbackRetaining()) {
        CheckStatus(Fn->isc_rollback_retaining(StatusVector, GetTRHandle()));
    } else {
        CheckStatus(Fn->isc_rollback_transaction(StatusVector, GetTRHandle()));
        BuildTPB();
        StartServerTransaction();
    }
    ExplicitTransaction = false;
    DLAssert(*GetTRHandle() != 0, "DoRollback");
}

void TICustomIntDatabase::DoStartTransaction() {
    DLAssert(HandleRecord && *GetTRHandle() != 0, "DoStartTransaction");
    ExplicitTransaction = true;
    if (BuildTPB()) Rollback();
    DLAssert(*GetTRHandle() != 0, "DoStartTransaction");
}

TIIntDatabase::~TIIntDatabase() {
    try {
        DoDisconnect(true);
    } catch (...) {}
}

std::unique_ptr<TISqlCommand> TIIntDatabase::CreateSqlCommand() { return std::make_unique<TIIntCommand>(this); }

void TIIntDatabase::AcquireClientLibrary() {
    if (Fn) return;
    Fn = &IntClientLibrary().Acquire();
}

void TIIntDatabase::ReleaseClientLibrary() {
    if (!Fn) return;
    Fn = nullptr;
    IntClientLibrary().Release();
}

TDLErrorClass TIIntDatabase::GetErrorClass() { return &RaiseDLError<EDLIntError>; }

std::unique_ptr<TISqlDatabase> IntDatabaseFactory(const TDLStrings& params) {
    IntClientLibrary().ApplyLibraryParam(params);
    return std::make_unique<TIIntDatabase>(params);
}

// --- descriptor areas --------------------------------------------------------------------

void TSqldaDeleter::operator()(XSQLDA* p) const { std::free(p); }

TSqldaPtr AllocSqlda(int n) {
    size_t size = XSQLDA_LENGTH(static_cast<size_t>(std::max(n, 1)));
    XSQLDA* p = static_cast<XSQLDA*>(std::calloc(1, size));
    if (!p) throw std::bad_alloc();
    p->version = SQLDA_VERSION1;
    p->sqln = static_cast<ISC_SHORT>(n);
    p->sqld = static_cast<ISC_SHORT>(n);
    return TSqldaPtr(p);
}

// --- command -----------------------------------------------------------------------------

TICustomIntCommand::TICustomIntCommand(TISqlDatabase* sqlDatabase) : TISqlCommand(sqlDatabase) {}

TICustomIntCommand::~TICustomIntCommand() {
    try {
        Disconnect(true);
    } catch (...) {}
}

void TICustomIntCommand::CheckCommandStatus(ISC_STATUS result) {
    Db().DoServerActivity();
    if (result != 0) RaiseServerError(result, StatusVector, Db().GetErrorClass(), Fn());
}

void TICustomIntCommand::AllocStatement() {
    auto cell = std::make_unique<isc_stmt_handle>(0);
    CheckCommandStatus(Fn().isc_dsql_allocate_statement(StatusVector, Db().GetDBHandle(), cell.get()));
    StatementHandle = std::move(cell);
}

int TICustomIntCommand::GetStatementType() {
    if (StatementType == 0) {
        DLAssert(StatementHandle != nullptr, "GetStatementType");
        char items[] = {isc_info_sql_stmt_type};
        char reply[8] = {};
        CheckCommandStatus(Fn().isc_dsql_sql_info(StatusVector, StatementHandle.get(), 1, items, sizeof reply, reply));
        DLAssert(reply[0] == isc_info_sql_stmt_type, "GetStatementType");
        const uint8_t* r = reinterpret_cast<const uint8_t*>(reply);
        int length = static_cast<int>(VaxInteger(r + 1, 2));
        DLAssert(length > 0 && length <= 4, "GetStatementType");
        StatementType = static_cast<int>(VaxInteger(r + 3, length));
    }
    return StatementType;
}

std::string TICustomIntCommand::ReplaceParamMarkers(const std::string& sql, const TParams* params) {
    if (!params || params->Count() == 0) return sql;
    // How many markers of each name produced parameters: that many are replaced, in order.
    std::map<std::string, int> pending;
    for (int i = 0; i < params->Count(); ++i) ++pending[UpperCase((*params)[i].Name)];
    auto isNameEnd = [](char c) {
        return c == '\n' || c == '\r' || c == ' ' || c == '(' || c == ')' || c == ',' || c == ';';
    };
    std::string out;
    char quote = 0;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            out += c;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            ++i;
            continue;
        }
        if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            out += "::";
            i += 2;
            continue;
        }
        if (c == ':') {
            size_t start = i + 1;
            size_t j = start;
            char q = 0;
            while (j < n) {
                char d = sql[j];
                if (q) {
                    if (d == q) q = 0;
                } else if (d == '\'' || d == '"') {
                    q = d;
                } else if (isNameEnd(d)) {
                    break;
                }
                ++j;
            }
            std::string name = sql.substr(start, j - start);
            if (!name.empty() && (name[0] == '\'' || name[0] == '"')) {
                char qc = name[0];
                name = name.substr(1);
                if (!name.empty() && name.back() == qc) name.pop_back();
            }
            auto it = name.empty() ? pending.end() : pending.find(UpperCase(name));
            if (it != pending.end() && it->second > 0) {
                --it->second;
                out += '?';
            } else {
                out.append(sql, i, j - i);
            }
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

void TICustomIntCommand::DoPrepare(const std::string& sql) {
    Executed = false;
    if (!StatementHandle) AllocStatement();
    InputSqlda.reset();
    OutputSqlda.reset();
    StatementType = 0;
    // A new statement has columns of its own.
    FieldDescs.clear();
    BlobFieldCount = 0;
    std::string text;
    try {
        if (CommandType == ctQuery) {
            text = ReplaceParamMarkers(sql, Params);
            CheckCommandStatus(Fn().isc_dsql_prepare(StatusVector, Db().GetTRHandle(), StatementHandle.get(), 0,
                                                     text.c_str(), static_cast<unsigned short>(Db().SQLDialect),
                                                     nullptr));
        } else if (CommandType == ctStoredProc) {
            if (Params && Params->Count() == 0) InitParamList();
            std::string args;
            int outputs = 0;
            if (Params) {
                for (int i = 0; i < Params->Count(); ++i) {
                    const TParam& p = (*Params)[i];
                    if (p.ParamType == ptInput)
                        args += args.empty() ? " ?" : ", ?";
                    else if (p.ParamType == ptOutput)
                        ++outputs;
                    else
                        DLAssertionFailure("procedure parameter type");
                }
            }
            text = "Execute Procedure " + UpperCase(Trim(GetCommandText())) + args;
            OutputSqlda = AllocSqlda(outputs);
            CheckCommandStatus(Fn().isc_dsql_prepare(StatusVector, Db().GetTRHandle(), StatementHandle.get(), 0,
                                                     text.c_str(), static_cast<unsigned short>(Db().SQLDialect),
                                                     OutputSqlda.get()));
            DLAssert(OutputSqlda->sqld == outputs, "procedure outputs");
        } else {
            throw EDatabaseError("Capability not supported");
        }
    } catch (...) {
        Disconnect(true);
        throw;
    }
    NativeCommandText = text;
}

void TICustomIntCommand::DescribeOutput() {
    if (OutputSqlda) return;
    TSqldaPtr area = AllocSqlda(0);
    unsigned short dialect = static_cast<unsigned short>(Db().SQLDialect);
    CheckCommandStatus(Fn().isc_dsql_describe(StatusVector, StatementHandle.get(), dialect, area.get()));
    if (area->sqld > area->sqln) {
        int n = area->sqld;
        area = AllocSqlda(n);
        CheckCommandStatus(Fn().isc_dsql_describe(StatusVector, StatementHandle.get(), dialect, area.get()));
        DLAssert(area->sqld == n, "DescribeOutput");
    }
    OutputSqlda = std::move(area);
}

void TICustomIntCommand::MakeInputSqlda() {
    if (InputSqlda || !Params) return;
    int n = 0;
    if (IsExecProcedure()) {
        while (n < Params->Count() && (*Params)[n].ParamType == ptInput) ++n;
    } else {
        n = Params->Count();
    }
    InputSqlda = AllocSqlda(n);
}

TFieldType TICustomIntCommand::FieldDataType(int nativeType) {
    DLAssert((nativeType & 1) == 0, "FieldDataType");
    switch (nativeType) {
        case SQL_VARYING:
        case SQL_TEXT: return ftString;
        case SQL_DOUBLE:
        case SQL_FLOAT: return ftFloat;
        case SQL_LONG: return ftInteger;
        case SQL_SHORT: return ftSmallint;
        case SQL_TIMESTAMP: return ftDateTime;
        case SQL_TYPE_TIME: return ftTime;
        case SQL_TYPE_DATE: return ftDate;
        case SQL_INT64: return ftLargeint;
        case SQL_BLOB: DLAssertionFailure("FieldDataType");
        default: return ftUnknown;
    }
}

TFieldType TICustomIntCommand::ColumnFieldType(const XSQLVAR& var) {
    int type = var.sqltype & ~1;
    TFieldType ft;
    if (type == SQL_BLOB) {
        switch (var.sqlsubtype) {
            case 0: ft = ftBlob; break;
            case 1: ft = ftMemo; break;
            case 20: ft = ftFmtMemo; break;
            case 21: ft = ftParadoxOle; break;
            case 22: ft = ftGraphic; break;
            case 23: ft = ftDBaseOle; break;
            case 24: ft = ftTypedBinary; break;
            default: ft = ftBlob; break;
        }
    } else if (type == SQL_VARYING && var.sqllen > Db().MaxStringSize) {
        ft = ftMemo;
    } else {
        ft = FieldDataType(type);
    }
    if ((ft == ftSmallint || ft == ftInteger || ft == ftBCD || ft == ftLargeint) && var.sqlscale != 0)
        ft = (Db().EnableBCD && -var.sqlscale <= 4) ? ftBCD : ftFloat;
    return ft;
}

int TICustomIntCommand::NativeDataType(TFieldType fieldType) {
    switch (fieldType) {
        case ftString: return SQL_TEXT;
        case ftSmallint:
        case ftWord: return SQL_SHORT;
        case ftInteger: return SQL_LONG;
        case ftFloat:
        case ftCurrency: return SQL_DOUBLE;
        case ftBCD:
        case ftLargeint: return SQL_INT64;
        case ftDate: return SQL_TYPE_DATE;
        case ftTime: return SQL_TYPE_TIME;
        case ftDateTime: return SQL_TIMESTAMP;
        default: return (fieldType >= ftBlob && fieldType <= ftTypedBinary) ? SQL_BLOB : 0;
    }
}

int TICustomIntCommand::NativeDataSize(TFieldType fieldType) {
    switch (fieldType) {
        case ftSmallint:
        case ftWord: return 2;
        case ftInteger: return 4;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftLargeint: return 8;
        case ftDate:
        case ftTime: return 4;
        case ftDateTime: return 8;
        default: return 0;
    }
}

bool TICustomIntCommand::RequiredCnvtFieldType(TFieldType fieldType) {
    return fieldType == ftDate || fieldType == ftTime || fieldType == ftDateTime || fieldType == ftBCD;
}

void TICustomIntCommand::GetFieldDescs(TDLFieldDescList& list) {
    DescribeOutput();
    for (int i = 0; i < OutputSqlda->sqld; ++i) {
        const XSQLVAR& var = OutputSqlda->sqlvar[i];
        std::string alias(var.aliasname, static_cast<size_t>(std::clamp<int>(var.aliasname_length, 0, 32)));
        TFieldType ft = ColumnFieldType(var);
        if (ft == ftUnknown) throw EDatabaseError("Field '" + alias + "' is of an unsupported type");
        TDLFieldDesc d;
        d.FieldName = alias.substr(0, MaxFieldNameLength);
        d.FieldNo = i + 1;
        d.FieldType = ft;
        d.NativeType = var.sqltype & ~1;
        d.Required = (var.sqltype & 1) == 0;
        if (IsBlobType(ft)) {
            // Blob values live in the blob slots, whatever their sub-type.
            d.DataSize = 0;
        } else if (ft == ftBCD) {
            d.DataSize = var.sqllen;
            d.Precision = 20;
            d.Scale = static_cast<int16_t>(-var.sqlscale);
        } else if (IsSizedType(ft)) {
            d.DataSize = var.sqllen + (ft == ftString ? 1 : 0);
        } else {
            d.DataSize = NativeDataSize(ft);
        }
        list.push_back(std::move(d));
    }
}

int TICustomIntCommand::InitFieldsBuffer() {
    int base = TISqlCommand::InitFieldsBuffer();
    BlobIdArea = base;
    BlobIdEnd = BlobIdArea + 8 * BlobFieldCount;
    // Long-text buffers are owned by LongTextBuffers rather than addressed from the buffer.
    return BlobIdEnd;
}

void TICustomIntCommand::AllocFieldsBuffer() {
    FieldsBound = false;
    TISqlCommand::AllocFieldsBuffer();
}

void TICustomIntCommand::FreeFieldsBuffer() {
    FieldsBound = false;
    OutputSqlda.reset();
    LongTextBuffers.clear();
    TISqlCommand::FreeFieldsBuffer();
}

void TICustomIntCommand::SetFieldsBuffer() {
    if (!ResultSetExists()) return;
    if (FieldDescs.empty()) {
        InitFieldDescs();
        AllocFieldsBuffer();
    }
    DescribeOutput();
    if (FieldsBuffer.empty()) AllocFieldsBuffer();
    DLAssert(!FieldsBuffer.empty(), "SetFieldsBuffer");
    LongTextBuffers.assign(static_cast<size_t>(BlobFieldCount), {});
    int slotOffset = 0;
    int blobOffset = BlobIdArea;
    for (const TDLFieldDesc& d : FieldDescs) {
        DLAssert(d.FieldNo >= 1 && d.FieldNo - 1 < OutputSqlda->sqld, "SetFieldsBuffer");
        XSQLVAR& var = OutputSqlda->sqlvar[d.FieldNo - 1];
        if (NativeDataType(d.FieldType) == 0) throw EDatabaseError("Field '" + d.FieldName + "' is of an unknown type");
        uint8_t* header = FieldsBuffer.data() + slotOffset;
        int type = var.sqltype & ~1;
        if (type == SQL_BLOB) {
            DLAssert(var.sqllen == 8 && d.DataSize == 0, "blob column");
            DLAssert(static_cast<size_t>(blobOffset) + 8 <= FieldsBuffer.size(), "blob column");
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(FieldsBuffer.data() + blobOffset);
            blobOffset += 8;
        } else if (IsBlobType(d.FieldType)) {
            // Long text carried like a blob: a buffer of its own laid out as a slot.
            std::vector<uint8_t>& own = LongTextBuffers.at(static_cast<size_t>(d.BlobIndex));
            own.assign(static_cast<size_t>(var.sqllen) + 8, 0);
            header = own.data();
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(header + 8);
            blobOffset += 8;
        } else {
            DLAssert(d.DataSize >= var.sqllen, "field slot smaller than the column");
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(header + 8);
        }
        if (type == SQL_VARYING)
            var.sqldata -= 2;
        else if (type == SQL_TEXT)
            Store<uint32_t>(header + 4, static_cast<uint32_t>(var.sqllen) << 16);
        else
            Store<int32_t>(header + 4, type == SQL_BLOB ? 0 : var.sqllen);
        var.sqlind = reinterpret_cast<ISC_SHORT*>(header);
        slotOffset += d.DataSize + 8;
    }
    FieldsBound = true;
}

int TICustomIntCommand::GetParamsBufferSize() {
    int size = TISqlCommand::GetParamsBufferSize();
    if (!Params) return size;
    ParamsDataSize = size;
    for (int i = 0; i < Params->Count(); ++i)
        if (IsBlobType((*Params)[i].DataType)) size += 8;
    return size;
}

void TICustomIntCommand::BindParamsBuffer() {
    if (ParamsBuffer.empty() || !Params) return;
    MakeInputSqlda();
    DescribeOutput();
    uint8_t* slot = ParamsBuffer.data();
    int blobOffset = ParamsDataSize;
    int in = 0, out = 0;
    for (int i = 0; i < Params->Count(); ++i) {
        TParam& p = (*Params)[i];
        XSQLVAR* var;
        bool input = p.ParamType == ptInput;
        if (input) {
            DLAssert(in < InputSqlda->sqln, "input parameters");
            var = &InputSqlda->sqlvar[in++];
        } else if (p.ParamType == ptOutput) {
            DLAssert(out < OutputSqlda->sqln, "output parameters");
            var = &OutputSqlda->sqlvar[out++];
        } else {
            DLAssertionFailure("parameter type");
        }
        TFieldType dataType = ParamBindType(p);
        int nativeType = NativeDataType(dataType);
        if (nativeType == 0) throw EDatabaseError("Unknown data type for parameter '" + p.Name + "'");
        int size = GetParamSize(p);
        // A variable's length is a 16-bit number.
        if (size > static_cast<int>(MaxVariableLength) + 1)
            throw EDatabaseError("Value of parameter '" + p.Name + "' is longer than " +
                                 std::to_string(MaxVariableLength) + " bytes");
        var->sqltype = static_cast<ISC_SHORT>(nativeType);
        var->sqllen = static_cast<ISC_SHORT>(size);
        var->sqldata = reinterpret_cast<ISC_SCHAR*>(slot + 8);
        // We choose the value's form, so the scale is ours too (a described output keeps none).
        var->sqlscale = static_cast<ISC_SHORT>(dataType == ftBCD ? -4 : 0);
        if (input) {
            var->sqltype |= 1;
            std::memset(slot, 0, 8);
            bool isNull = p.IsNull();
            if (isNull) Store<int16_t>(slot, -1);
            uint8_t* data = slot + 8;
            switch (dataType) {
                case ftString: {
                    if (isNull) break;
                    std::string s = p.Value.AsString();
                    DLAssert(static_cast<size_t>(size) > s.size(), "string parameter size");
                    if (s.size() > MaxVariableLength)
                        throw EDatabaseError("Value of parameter '" + p.Name + "' is longer than " +
                                             std::to_string(MaxVariableLength) + " bytes");
                    std::memcpy(data, s.data(), s.size());
                    var->sqllen = static_cast<ISC_SHORT>(s.size());
                    break;
                }
                case ftSmallint:
                case ftWord: Store<int16_t>(data, static_cast<int16_t>(p.Value.AsInteger())); break;
                case ftInteger: Store<int32_t>(data, static_cast<int32_t>(p.Value.AsInteger())); break;
                case ftLargeint: Store<int64_t>(data, p.Value.AsInteger()); break;
                case ftFloat:
                case ftCurrency: Store<double>(data, p.Value.AsFloat()); break;
                case ftBCD: Store<int64_t>(data, p.Value.AsCurrency().Scaled); break;
                case ftDate:
                case ftTime:
                case ftDateTime:
                    if (!isNull) CnvtDateTime2DBDateTime(dataType, data, size, p.Value.AsDateTime());
                    break;
                default:
                    if (nativeType != SQL_BLOB)
                        throw EDatabaseError("Unknown data type for parameter '" + p.Name + "'");
                    {
                        DLAssert(size == 0, "blob parameter size");
                        DLAssert(static_cast<size_t>(blobOffset) + 8 <= ParamsBuffer.size(), "blob parameter");
                        uint8_t* idPlace = ParamsBuffer.data() + blobOffset;
                        blobOffset += 8;
                        if (!isNull) {
                            ISC_QUAD id{};
                            TBytes bytes = p.Value.AsBytes();
                            WriteBlobData(id, bytes.data(), bytes.size());
                            Store<ISC_QUAD>(idPlace, id);
                        }
                        var->sqldata = reinterpret_cast<ISC_SCHAR*>(idPlace);
                        var->sqllen = 8;
                    }
                    break;
            }
        } else {
            // Without the nullable bit the server could not report a NULL output.
            var->sqltype |= 1;
            if (nativeType == SQL_BLOB) {
                DLAssert(static_cast<size_t>(blobOffset) + 8 <= ParamsBuffer.size(), "blob output");
                var->sqldata = reinterpret_cast<ISC_SCHAR*>(ParamsBuffer.data() + blobOffset);
                var->sqllen = 8;
                blobOffset += 8;
                Store<int32_t>(slot + 4, 0);
            } else if (nativeType == SQL_VARYING) {
                var->sqldata -= 2;
            } else if (nativeType == SQL_TEXT) {
                Store<uint32_t>(slot + 4, static_cast<uint32_t>(size) << 16);
            } else {
                Store<int32_t>(slot + 4, size);
            }
        }
        var->sqlind = reinterpret_cast<ISC_SHORT*>(slot);
        slot += size + 8;
    }
}

void TICustomIntCommand::DoExecute() {
    DLAssert(StatementHandle != nullptr, "DoExecute");
    unsigned short dialect = static_cast<unsigned short>(Db().SQLDialect);
    if (IsExecProcedure()) {
        DescribeOutput();
        // Outputs no parameter takes still need somewhere to land.
        std::vector<std::vector<uint8_t>> scratch(static_cast<size_t>(OutputSqlda->sqld));
        for (int i = 0; i < OutputSqlda->sqld; ++i) {
            XSQLVAR& var = OutputSqlda->sqlvar[i];
            if (var.sqldata) continue;
            std::vector<uint8_t>& s = scratch[static_cast<size_t>(i)];
            s.assign(static_cast<size_t>(var.sqllen) + 16, 0);
            var.sqlind = reinterpret_cast<ISC_SHORT*>(s.data());
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(s.data() + 8);
        }
        ISC_STATUS r = Fn().isc_dsql_execute2(StatusVector, Db().GetTRHandle(), StatementHandle.get(), dialect,
                                              InputSqlda.get(), OutputSqlda.get());
        for (int i = 0; i < OutputSqlda->sqld; ++i) {
            if (scratch[static_cast<size_t>(i)].empty()) continue;
            OutputSqlda->sqlvar[i].sqldata = nullptr;
            OutputSqlda->sqlvar[i].sqlind = nullptr;
        }
        CheckCommandStatus(r);
        CopyOutputParams();
    } else {
        // A cursor needs its rows' landing place before it opens.
        if (ResultSetExists() && !FieldsBound) SetFieldsBuffer();
        CheckCommandStatus(
            Fn().isc_dsql_execute(StatusVector, Db().GetTRHandle(), StatementHandle.get(), dialect, InputSqlda.get()));
    }
    Executed = true;
    EndOfRows = false;
}

bool TICustomIntCommand::ResultSetExists() {
    int t = GetStatementType();
    return t == isc_info_sql_stmt_select || t == isc_info_sql_stmt_select_for_upd;
}

bool TICustomIntCommand::FetchNextRow() {
    DLAssert(StatementHandle != nullptr && OutputSqlda != nullptr, "FetchNextRow");
    if (EndOfRows) return false;
    // Rows land in the fields buffer; without it the server would write through unbound areas.
    DLAssert(OutputSqlda->sqld == 0 || FieldsBound, "FetchNextRow");
    ISC_STATUS r = Fn().isc_dsql_fetch(StatusVector, StatementHandle.get(),
                                       static_cast<unsigned short>(Db().SQLDialect), OutputSqlda.get());
    Db().DoServerActivity();
    if (r == 100) {
        EndOfRows = true;
        return false;
    }
    if (r != 0) {
        RaiseServerError(r, StatusVector, Db().GetErrorClass(), Fn());
        return false;
    }
    if (BlobFieldCount > 0) ReadBlobFields();
    return true;
}

int TICustomIntCommand::ParseRecordCounts(const char* reply, size_t length, int statementType) {
    if (length < 3 || static_cast<uint8_t>(reply[0]) != isc_info_sql_records) return -1;
    int wanted;
    switch (statementType) {
        case isc_info_sql_stmt_insert: wanted = isc_info_req_insert_count; break;
        case isc_info_sql_stmt_update: wanted = isc_info_req_update_count; break;
        case isc_info_sql_stmt_delete: wanted = isc_info_req_delete_count; break;
        default: return -1;
    }
    const uint8_t* r = reinterpret_cast<const uint8_t*>(reply);
    size_t end = std::min(length, static_cast<size_t>(3 + VaxInteger(r + 1, 2)));
    // Walk the clusters (item, 2-byte length, value); the server's order is not fixed.
    size_t pos = 3;
    while (pos + 3 <= end && r[pos] != isc_info_end) {
        int tag = r[pos];
        size_t len = static_cast<size_t>(VaxInteger(r + pos + 1, 2));
        if (pos + 3 + len > end) break;
        if (tag == wanted) return static_cast<int>(VaxInteger(r + pos + 3, static_cast<int>(len)));
        pos += 3 + len;
    }
    return 0;
}

int TICustomIntCommand::GetRowsAffected() {
    DLAssert(StatementHandle != nullptr, "GetRowsAffected");
    char items[] = {isc_info_sql_records};
    char reply[1049] = {};
    CheckCommandStatus(Fn().isc_dsql_sql_info(StatusVector, StatementHandle.get(), 1, items, sizeof reply, reply));
    return ParseRecordCounts(reply, sizeof reply, GetStatementType());
}

void TICustomIntCommand::CloseResultSet() {
    if (StatementHandle && Executed) {
        CheckCommandStatus(Fn().isc_dsql_free_statement(StatusVector, StatementHandle.get(), DSQL_close));
        Executed = false;
    }
    InputSqlda.reset();
}

void TICustomIntCommand::Disconnect(bool force) {
    if (StatementHandle) {
        TICustomIntDatabase& db = Db();
        // A connection already gone took its statements with it.
        if (db.GetHandle() && db.Functions().isc_dsql_free_statement && *StatementHandle) {
            ISC_STATUS r = db.Functions().isc_dsql_free_statement(StatusVector, StatementHandle.get(), DSQL_drop);
            if (!force) CheckCommandStatus(r);
        }
        StatementHandle.reset();
        Executed = false;
        StatementType = 0;
    }
    if (!FieldsBuffer.empty()) FreeFieldsBuffer();
    InputSqlda.reset();
}

void TICustomIntCommand::Unprepare() {
    TISqlCommand::Unprepare();
    InputSqlda.reset();
    // The output area points into the fields buffer: they go together.
    FreeFieldsBuffer();
}

void* TICustomIntCommand::GetHandle() {
    return StatementHandle ? reinterpret_cast<void*>(StatementHandle.get()) : nullptr;
}

// --- values ------------------------------------------------------------------------------

TDLCurrency TICustomIntCommand::ScaledToCurrency(const XSQLVAR& var, const void* data) {
    int type = var.sqltype & ~1;
    __int128 v;
    if (type == SQL_SHORT)
        v = Load<int16_t>(data);
    else if (type == SQL_LONG)
        v = Load<int32_t>(data);
    else
        v = Load<int64_t>(data);
    v *= 10000;
    for (int i = 0; i < -var.sqlscale; ++i) {
        __int128 q = v / 10, r = v % 10;
        __int128 ar = r < 0 ? -r : r;
        if (ar > 5 || (ar == 5 && (q % 2 != 0))) q += (v < 0 ? -1 : 1);
        v = q;
    }
    if (v > INT64_MAX) v = INT64_MAX;
    if (v < INT64_MIN) v = INT64_MIN;
    return TDLCurrency{static_cast<int64_t>(v)};
}

double TICustomIntCommand::ScaledToFloat(const XSQLVAR& var, const void* data) {
    int type = var.sqltype & ~1;
    double v;
    if (type == SQL_LONG)
        v = Load<int32_t>(data);
    else if (type == SQL_SHORT)
        v = Load<int16_t>(data);
    else if (type == SQL_INT64)
        v = static_cast<double>(Load<int64_t>(data));
    else if (var.sqllen == 4)
        v = Load<float>(data);
    else if (var.sqllen == 8)
        v = Load<double>(data);
    else
        DLAssertionFailure("ScaledToFloat");
    for (int i = 0; i < -var.sqlscale; ++i) v /= 10;
    return v;
}

void TICustomIntCommand::DecodeDateTime(TFieldType fieldType, const void* serverData, void* out8, int serverLength) {
    DLAssert(serverLength <= 8, "DecodeDateTime");
    TIntFunctions& fn = Fn();
    struct tm t {};
    uint8_t raw[8] = {};
    std::memcpy(raw, serverData, static_cast<size_t>(std::max(serverLength, 0)));
    if (fieldType == ftDateTime && fn.isc_decode_timestamp) {
        ISC_TIMESTAMP ts = Load<ISC_TIMESTAMP>(raw);
        fn.isc_decode_timestamp(&ts, &t);
    } else if (fieldType == ftTime && fn.isc_decode_sql_time) {
        ISC_TIME tm = Load<ISC_TIME>(raw);
        fn.isc_decode_sql_time(&tm, &t);
    } else if (fn.isc_decode_sql_date) {
        ISC_DATE d = Load<ISC_DATE>(raw);
        fn.isc_decode_sql_date(&d, &t);
    } else {
        ISC_QUAD q = Load<ISC_QUAD>(raw);
        fn.isc_decode_date(&q, &t);
    }
    TDateTime date = 0, time = 0;
    if (fieldType == ftDate || fieldType == ftDateTime) date = EncodeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    if (fieldType == ftTime || fieldType == ftDateTime) time = EncodeTime(t.tm_hour, t.tm_min, t.tm_sec, 0);
    uint8_t* out = static_cast<uint8_t*>(out8);
    std::memset(out, 0, 8);
    switch (fieldType) {
        case ftDate: Store<int32_t>(out, DateTimeToTimeStamp(date).Date); break;
        case ftTime: Store<int32_t>(out, DateTimeToTimeStamp(time).Time); break;
        default: {
            TDateTime dt = date < 0 ? date - time : date + time;
            Store<double>(out, TimeStampToMSecs(DateTimeToTimeStamp(dt)));
            break;
        }
    }
}

int TICustomIntCommand::CnvtDateTime2DBDateTime(TFieldType fieldType, void* buffer, int bufferSize, TDateTime value) {
    if (bufferSize < NativeDataSize(fieldType))
        throw EDatabaseError("Insufficient buffer size for internal datetime type");
    TIntFunctions& fn = Fn();
    struct tm t {};
    t.tm_mday = 0;
    t.tm_mon = -1;
    t.tm_year = -1900;
    if (fieldType == ftTime || fieldType == ftDateTime) {
        int h, m, s, ms;
        DecodeTime(value, h, m, s, ms);
        t.tm_hour = h;
        t.tm_min = m;
        t.tm_sec = s;
    }
    if (fieldType == ftDate || fieldType == ftDateTime) {
        int y, m, d;
        DecodeDate(value, y, m, d);
        t.tm_mday = d;
        t.tm_mon = m - 1;
        t.tm_year = y - 1900;
    }
    if (fieldType == ftDateTime && fn.isc_encode_timestamp) {
        ISC_TIMESTAMP ts{};
        fn.isc_encode_timestamp(&t, &ts);
        Store(buffer, ts);
        return 8;
    }
    if (fieldType == ftTime && fn.isc_encode_sql_time) {
        ISC_TIME tm{};
        fn.isc_encode_sql_time(&t, &tm);
        Store(buffer, tm);
        return 4;
    }
    if (fn.isc_encode_sql_date) {
        ISC_DATE d{};
        fn.isc_encode_sql_date(&t, &d);
        Store(buffer, d);
        return 4;
    }
    // The older 8-byte form must not overrun a 4-byte slot.
    if (bufferSize < 8) throw EDatabaseError("Insufficient buffer size for internal datetime type");
    ISC_QUAD q{};
    fn.isc_encode_date(&t, &q);
    Store(buffer, q);
    return 8;
}

bool TICustomIntCommand::GetCnvtFieldData(const TDLFieldDesc& fieldDesc, void* buffer, int bufferSize) {
    uint8_t* header = FieldOffset(fieldDesc.FieldNo);
    if (Load<int16_t>(header) == -1) return false;
    DLAssert(OutputSqlda && fieldDesc.FieldNo - 1 < OutputSqlda->sqld, "GetCnvtFieldData");
    const XSQLVAR& var = OutputSqlda->sqlvar[fieldDesc.FieldNo - 1];
    const uint8_t* value = header + 8;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    switch (fieldDesc.FieldType) {
        case ftDate:
        case ftTime:
        case ftDateTime: {
            if (bufferSize < 8) throw EDatabaseError("Insufficient buffer size for internal datetime type");
            DecodeDateTime(fieldDesc.FieldType, value, out, Load<int32_t>(header + 4));
            break;
        }
        case ftString: {
            if (bufferSize <= 0) return true;
            int length = Load<uint16_t>(header + 6);
            length = std::min(length, bufferSize - 1);
            length = std::min(length, std::max(fieldDesc.DataSize - 1, 0));
            std::memcpy(out, value, static_cast<size_t>(length));
            out[length] = 0;
            if (length > 0 && Db().RTrimCharOutput) RTrimText(reinterpret_cast<char*>(out));
            break;
        }
        case ftFloat: {
            if (bufferSize < 8) throw EDatabaseError("Insufficient buffer size for a float value");
            Store<double>(out, ScaledToFloat(var, value));
            break;
        }
        case ftBCD: {
            if (bufferSize < static_cast<int>(sizeof(TDLBcd)))
                throw EDatabaseError("Insufficient buffer size for a BCD value");
            Store<TDLBcd>(out, CurrToBcd(ScaledToCurrency(var, value), 32, fieldDesc.Scale));
            break;
        }
        default: {
            int length = Load<int32_t>(header + 4);
            length = std::clamp(length, 0, std::min(bufferSize, fieldDesc.DataSize));
            std::memcpy(out, value, static_cast<size_t>(length));
            break;
        }
    }
    return true;
}

int TICustomIntCommand::ReadBlobData(const ISC_QUAD& blobId, TBytes& data) {
    TIntFunctions& fn = Fn();
    data.clear();
    isc_blob_handle blob = 0;
    ISC_QUAD id = blobId;
    CheckCommandStatus(fn.isc_open_blob(StatusVector, Db().GetDBHandle(), Db().GetTRHandle(), &blob, &id));
    // A failure half way must not leave the blob open.
    struct Closer {
        TIntFunctions& fn;
        isc_blob_handle& blob;
        ~Closer() {
            if (blob) {
                ISC_STATUS_ARRAY sv{};
                fn.isc_close_blob(sv, &blob);
            }
        }
    } closer{fn, blob};
    char items[] = {isc_info_blob_total_length};
    char reply[100] = {};
    CheckCommandStatus(fn.isc_blob_info(StatusVector, &blob, 1, items, sizeof reply, reply));
    const uint8_t* r = reinterpret_cast<const uint8_t*>(reply);
    int64_t total = 0;
    size_t pos = 0;
    while (pos + 3 <= sizeof reply && r[pos] != isc_info_end) {
        int tag = r[pos];
        size_t len = static_cast<size_t>(VaxInteger(r + pos + 1, 2));
        if (pos + 3 + len > sizeof reply) break;
        if (tag == isc_info_blob_total_length) total = VaxInteger(r + pos + 3, static_cast<int>(len));
        pos += 3 + len;
    }
    if (total > 0) {
        std::vector<char> segment(BlobSegmentSize);
        data.reserve(static_cast<size_t>(total));
        for (;;) {
            unsigned short actual = 0;
            ISC_STATUS res = fn.isc_get_segment(StatusVector, &blob, &actual, BlobSegmentSize, segment.data());
            if (StatusVector[1] == SegStrEofStatus) break;
            if (res != 0 && StatusVector[1] != SegmentStatus) CheckCommandStatus(res);
            data.insert(data.end(), segment.begin(), segment.begin() + actual);
        }
    }
    ISC_STATUS res = fn.isc_close_blob(StatusVector, &blob);
    CheckCommandStatus(res);
    return static_cast<int>(data.size());
}

void TICustomIntCommand::WriteBlobData(ISC_QUAD& blobId, const void* data, size_t length) {
    TIntFunctions& fn = Fn();
    blobId = ISC_QUAD{};
    isc_blob_handle blob = 0;
    CheckCommandStatus(fn.isc_create_blob(StatusVector, Db().GetDBHandle(), Db().GetTRHandle(), &blob, &blobId));
    struct Canceller {
        TIntFunctions& fn;
        isc_blob_handle& blob;
        ~Canceller() {
            if (blob) {
                ISC_STATUS_ARRAY sv{};
                if (fn.isc_cancel_blob)
                    fn.isc_cancel_blob(sv, &blob);
                else
                    fn.isc_close_blob(sv, &blob);
            }
        }
    } canceller{fn, blob};
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        size_t piece = std::min(length - done, static_cast<size_t>(BlobSegmentSize));
        CheckCommandStatus(fn.isc_put_segment(StatusVector, &blob, static_cast<unsigned short>(piece), p + done));
        done += piece;
    }
    CheckCommandStatus(fn.isc_close_blob(StatusVector, &blob));
    DLAssert(blob == 0, "WriteBlobData");
}

int TICustomIntCommand::ReadBlob(const TDLFieldDesc& fieldDesc, TBytes& data) {
    data.clear();
    DLAssert(fieldDesc.BlobIndex >= 0, "ReadBlob");
    if (fieldDesc.NativeType == SQL_BLOB) {
        uint8_t* header = FieldOffset(fieldDesc.FieldNo);
        if (Load<int16_t>(header) == -1) return 0;
        size_t at = static_cast<size_t>(BlobIdArea) + 8 * static_cast<size_t>(fieldDesc.BlobIndex);
        DLAssert(at + 8 <= FieldsBuffer.size(), "ReadBlob");
        return ReadBlobData(Load<ISC_QUAD>(FieldsBuffer.data() + at), data);
    }
    const std::vector<uint8_t>& own = LongTextBuffers.at(static_cast<size_t>(fieldDesc.BlobIndex));
    if (own.size() < 8 || Load<int16_t>(own.data()) == -1) return 0;
    size_t length = std::min<size_t>(Load<uint16_t>(own.data() + 6), own.size() - 8);
    data.assign(own.begin() + 8, own.begin() + 8 + static_cast<std::ptrdiff_t>(length));
    return static_cast<int>(length);
}

void TICustomIntCommand::GetOutputParams() {}

void TICustomIntCommand::CopyOutputParams() {
    if (!Params || !OutputSqlda) return;
    int inputs = 0, out = 0;
    for (int i = 0; i < Params->Count(); ++i) {
        TParam& p = (*Params)[i];
        if (p.ParamType == ptInput) {
            ++inputs;
            continue;
        }
        if (p.ParamType != ptOutput) DLAssertionFailure("CopyOutputParams");
        if (InputSqlda) DLAssert(InputSqlda->sqld == inputs, "CopyOutputParams");
        DLAssert(out < OutputSqlda->sqld, "CopyOutputParams");
        const XSQLVAR& var = OutputSqlda->sqlvar[out++];
        if (var.sqlind && *var.sqlind == -1) {
            p.Clear();
            continue;
        }
        const uint8_t* data = reinterpret_cast<const uint8_t*>(var.sqldata);
        int type = var.sqltype & ~1;
        switch (p.DataType) {
            case ftString: {
                std::string s;
                if (type == SQL_VARYING) {
                    int len = Load<uint16_t>(data);
                    s.assign(reinterpret_cast<const char*>(data + 2),
                             static_cast<size_t>(std::min<int>(len, var.sqllen)));
                } else {
                    const char* c = reinterpret_cast<const char*>(data);
                    s.assign(c, strnlen(c, static_cast<size_t>(var.sqllen)));
                }
                if (Db().RTrimCharOutput) s = TrimRight(s);
                p.Value = s;
                break;
            }
            case ftFloat: p.Value = ScaledToFloat(var, data); break;
            case ftCurrency:
            case ftBCD: p.Value = ScaledToCurrency(var, data); break;
            case ftDate:
            case ftTime:
            case ftDateTime: {
                uint8_t out8[8];
                DecodeDateTime(p.DataType, data, out8, var.sqllen);
                p.SetData(out8, 8);
                break;
            }
            default:
                if (IsBlobType(p.DataType)) {
                    TBytes bytes;
                    if (ReadBlobData(Load<ISC_QUAD>(data), bytes) > 0) p.Value = std::move(bytes);
                } else {
                    p.SetData(data, var.sqllen);
                }
                break;
        }
    }
}

void TICustomIntCommand::InitParamList() {
    DLAssert(Params != nullptr, "InitParamList");
    if (!StatementHandle) AllocStatement();
    TICustomIntDatabase& db = Db();
    std::string name = db.SQLDialect == 1 ? UpperCase(Trim(GetCommandText())) : GetCommandText();
    // The name travels as a parameter, never inside the text.
    TParams query;
    query.CreateParam(ftString, "NAME", ptInput).SetAsString(name);
    std::string args;
    int outputs = 0;
    {
        std::unique_ptr<TISqlCommand> cmd = db.CreateSqlCommand();
        cmd->Params = &query;
        cmd->Prepare(
            "SELECT RDB$PARAMETER_NAME,  RDB$PARAMETER_TYPE FROM RDB$PROCEDURE_PARAMETERS WHERE "
            "RDB$PROCEDURE_NAME = :NAME ORDER BY RDB$PARAMETER_NUMBER");
        cmd->InitFieldDescs();
        cmd->Execute();
        while (cmd->FetchNextRow()) {
            std::string paramName;
            cmd->GetFieldAsString(1, paramName);
            paramName = Trim(paramName);
            int16_t direction = 0;
            if (!cmd->GetFieldAsSmallint(2, direction)) DLAssertionFailure("InitParamList");
            if (direction == 0) {
                AddParam(paramName, ftUnknown, ptInput);
                args += args.empty() ? "?" : ", ?";
            } else if (direction == 1) {
                ++outputs;
            }
        }
        cmd->CloseResultSet();
    }
    std::string quoted = db.SQLDialect == 1 ? UpperCase(Trim(GetCommandText()))
                                            : "\"" + DoubleQuotes(TrimRight(GetCommandText()), '"') + "\"";
    std::string text = "Execute Procedure " + quoted + " " + args;
    unsigned short dialect = static_cast<unsigned short>(db.SQLDialect);
    OutputSqlda = AllocSqlda(outputs);
    CheckCommandStatus(Fn().isc_dsql_prepare(StatusVector, db.GetTRHandle(), StatementHandle.get(), 0, text.c_str(),
                                             dialect, OutputSqlda.get()));
    DLAssert(OutputSqlda->sqld == outputs, "InitParamList");
    for (int i = 0; i < outputs; ++i) {
        const XSQLVAR& var = OutputSqlda->sqlvar[i];
        size_t len = std::min<size_t>(static_cast<size_t>(std::max<int>(var.sqlname_length, 0)), 32);
        std::string outName(var.sqlname, strnlen(var.sqlname, len));
        AddParam(outName, ColumnFieldType(var), ptOutput);
    }
    int inputs = 0;
    for (int i = 0; i < Params->Count(); ++i)
        if ((*Params)[i].ParamType == ptInput) ++inputs;
    InputSqlda = AllocSqlda(inputs);
    CheckCommandStatus(Fn().isc_dsql_describe_bind(StatusVector, StatementHandle.get(), dialect, InputSqlda.get()));
    DLAssert(InputSqlda->sqld == inputs, "InitParamList");
    for (int i = 0; i < inputs; ++i) (*Params)[i].DataType = ColumnFieldType(InputSqlda->sqlvar[i]);
}

}  // namespace kelvar
