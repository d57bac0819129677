#pragma once
// The InterBase/Firebird driver: the client library binding (loaded at run time), the driver
// database that holds one attachment and its transaction, and the command that runs one
// statement through the client's dynamic SQL calls.
#include <ibase.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "database/datalink/DLCommon.h"

namespace kelvar {

class EDLIntError : public EDLEngineError {
public:
    using EDLEngineError::EDLEngineError;
};

// Entry points of the client library, looked up by their exported names.
class TIntFunctions {
public:
    virtual ~TIntFunctions() = default;
    // Keeps the module and looks every entry point up; the first missing required one raises
    // "Function '%s' not found in Interbase Client library".
    virtual void Load(void* module);
    // Forgets the module and every entry point.
    virtual void Clear();
    // The loaded module exports that name (a fresh lookup).
    bool HasEntryPoint(const char* name) const;

    void* Module = nullptr;

#define KELVAR_ISC_ENTRY(name) decltype(&::name) name = nullptr;
    // required
    KELVAR_ISC_ENTRY(isc_create_database)
    KELVAR_ISC_ENTRY(isc_attach_database)
    KELVAR_ISC_ENTRY(isc_blob_info)
    KELVAR_ISC_ENTRY(isc_close_blob)
    KELVAR_ISC_ENTRY(isc_commit_transaction)
    KELVAR_ISC_ENTRY(isc_commit_retaining)
    KELVAR_ISC_ENTRY(isc_create_blob)
    KELVAR_ISC_ENTRY(isc_create_blob2)
    KELVAR_ISC_ENTRY(isc_detach_database)
    KELVAR_ISC_ENTRY(isc_dsql_allocate_statement)
    KELVAR_ISC_ENTRY(isc_dsql_describe)
    KELVAR_ISC_ENTRY(isc_dsql_describe_bind)
    KELVAR_ISC_ENTRY(isc_dsql_execute)
    KELVAR_ISC_ENTRY(isc_dsql_execute2)
    KELVAR_ISC_ENTRY(isc_dsql_fetch)
    KELVAR_ISC_ENTRY(isc_dsql_free_statement)
    KELVAR_ISC_ENTRY(isc_dsql_prepare)
    KELVAR_ISC_ENTRY(isc_dsql_sql_info)
    KELVAR_ISC_ENTRY(isc_get_segment)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // looked up because the table requires it; messages go through fb_interpret
    KELVAR_ISC_ENTRY(isc_interprete)
#pragma GCC diagnostic pop
    KELVAR_ISC_ENTRY(isc_open_blob)
    KELVAR_ISC_ENTRY(isc_open_blob2)
    KELVAR_ISC_ENTRY(isc_put_segment)
    KELVAR_ISC_ENTRY(isc_rollback_transaction)
    KELVAR_ISC_ENTRY(isc_start_multiple)
    KELVAR_ISC_ENTRY(isc_start_transaction)
    KELVAR_ISC_ENTRY(isc_sqlcode)
    KELVAR_ISC_ENTRY(isc_sql_interprete)
    KELVAR_ISC_ENTRY(isc_vax_integer)
    KELVAR_ISC_ENTRY(isc_version)
    KELVAR_ISC_ENTRY(isc_decode_date)
    KELVAR_ISC_ENTRY(isc_encode_date)
    // optional
    KELVAR_ISC_ENTRY(isc_blob_default_desc)
    KELVAR_ISC_ENTRY(isc_blob_gen_bpb)
    KELVAR_ISC_ENTRY(isc_blob_lookup_desc)
    KELVAR_ISC_ENTRY(isc_blob_set_desc)
    KELVAR_ISC_ENTRY(isc_cancel_blob)
    KELVAR_ISC_ENTRY(isc_cancel_events)
    KELVAR_ISC_ENTRY(isc_database_info)
    KELVAR_ISC_ENTRY(isc_drop_database)
    KELVAR_ISC_ENTRY(isc_dsql_alloc_statement2)
    KELVAR_ISC_ENTRY(isc_dsql_execute_immediate)
    KELVAR_ISC_ENTRY(isc_dsql_exec_immed2)
    KELVAR_ISC_ENTRY(isc_dsql_finish)
    KELVAR_ISC_ENTRY(isc_dsql_set_cursor_name)
    KELVAR_ISC_ENTRY(isc_event_counts)
    KELVAR_ISC_ENTRY(isc_prepare_transaction)
    KELVAR_ISC_ENTRY(isc_prepare_transaction2)
    KELVAR_ISC_ENTRY(isc_print_sqlerror)
    KELVAR_ISC_ENTRY(isc_print_status)
    KELVAR_ISC_ENTRY(isc_rollback_retaining)
    KELVAR_ISC_ENTRY(isc_transaction_info)
    KELVAR_ISC_ENTRY(isc_decode_sql_date)
    KELVAR_ISC_ENTRY(isc_decode_sql_time)
    KELVAR_ISC_ENTRY(isc_decode_timestamp)
    KELVAR_ISC_ENTRY(isc_encode_sql_date)
    KELVAR_ISC_ENTRY(isc_encode_sql_time)
    KELVAR_ISC_ENTRY(isc_encode_timestamp)
    KELVAR_ISC_ENTRY(isc_add_user)
    KELVAR_ISC_ENTRY(isc_delete_user)
    KELVAR_ISC_ENTRY(isc_modify_user)
    // bounded message text and the client's own version
    KELVAR_ISC_ENTRY(fb_interpret)
    KELVAR_ISC_ENTRY(isc_get_client_version)
    KELVAR_ISC_ENTRY(isc_get_client_major_version)
    KELVAR_ISC_ENTRY(isc_get_client_minor_version)
#undef KELVAR_ISC_ENTRY
};

// The process-wide state of one client binding: library name, module, holders, version.
class TIntClientLibrary {
public:
    TIntClientLibrary(std::string defaultLibraryName, TDLServerType serverType,
                      std::unique_ptr<TIntFunctions> functions);
    ~TIntClientLibrary();

    // Loads the library when no one holds it, counts one holder; the filled table.
    TIntFunctions& Acquire();
    // Drops one holder; unloads at zero.
    void Release();
    // The override parameter of the server type, taken only while the library is unloaded.
    void ApplyLibraryParam(const TDLStrings& params);

    std::string GetLibraryName() const;
    void SetLibraryName(const std::string& name);
    int GetRefCount() const;
    int GetClientVersion() const;
    bool IsLoaded() const;
    TDLServerType GetServerType() const { return ServerType; }

private:
    void ReadClientVersion();

    mutable std::mutex Lock;
    std::string LibraryName;
    void* LibraryModule = nullptr;
    int LibraryRefCount = 0;
    int ClientVersion = 0;
    TDLServerType ServerType;
    std::unique_ptr<TIntFunctions> Functions;
};

// The InterBase binding.
TIntClientLibrary& IntClientLibrary();

// Major times 65536 plus minor from a version text: "1.5.2.4731" gives 65541.
int ParseVersionText(const std::string& text);

// Raises the driver's error class from a failed call's status vector; SQL code -501 is ignored.
void RaiseServerError(ISC_STATUS result, const ISC_STATUS* statusVector, TDLErrorClass errorClass,
                      const TIntFunctions& functions);

// The handle record of a connection: server kind and the two handle cells.
struct TIntHandleRecord {
    uint8_t Kind = stInterbase;
    isc_db_handle* DBHandle = nullptr;
    isc_tr_handle* TRHandle = nullptr;
};

// The driver database of InterBase and Firebird servers.
class TICustomIntDatabase : public TISqlDatabase {
public:
    explicit TICustomIntDatabase(const TDLStrings& params);
    ~TICustomIntDatabase() override;

    std::string DPB;  // database parameter block, version byte first
    int SQLDialect = 1;
    bool ExplicitTransaction = false;
    ISC_STATUS_ARRAY StatusVector = {};

    void* GetHandle() override;
    void SetAutoCommitOption(bool value) override;
    void SetHandle(void* handle) override;
    int GetClientVersion() override;
    int GetServerVersion() override;
    std::string GetServerVersionString() override;
    std::unique_ptr<TISqlCommand> GetSchemaInfo(int kind, const std::string& objectName) override;
    void SetTransIsolation(TDLTransIsolation value) override;
    bool SPDescriptionsAvailable() override;

    virtual void AllocHandle();
    virtual void FreeHandle();
    virtual void ReleaseClientLibrary() = 0;
    virtual void AcquireClientLibrary() = 0;
    virtual TDLErrorClass GetErrorClass() = 0;

    // After every client call: activity, and on failure the server error.
    void CheckStatus(ISC_STATUS result);
    void BuildDPB(const std::string& userName, const std::string& password);
    // Rebuilds the transaction block when isolation or autocommit changed; whether it did.
    bool BuildTPB();
    bool CanRollbackRetaining() const;
    isc_db_handle* GetDBHandle() const;
    isc_tr_handle* GetTRHandle() const;
    // The current transaction parameter block.
    std::vector<uint8_t> GetTPB() const { return std::vector<uint8_t>(TPB, TPB + TPBLength); }
    TIntFunctions& Functions() const;
    // The catalog query text of GetSchemaInfo.
    static std::string SchemaInfoSQL(int kind, const std::string& objectName);

protected:
    void DoConnect(const std::string& remoteDatabase, const std::string& userName,
                   const std::string& password) override;
    void DoDisconnect(bool force) override;
    void DoCommit() override;
    void DoRollback() override;
    void DoStartTransaction() override;
    void StartServerTransaction();

    TIntFunctions* Fn = nullptr;
    TIntClientLibrary* Library = nullptr;  // held while Fn is set
    std::unique_ptr<TIntHandleRecord> HandleRecord;
    std::unique_ptr<isc_db_handle> OwnDBCell;
    std::unique_ptr<isc_tr_handle> OwnTRCell;
    uint8_t TPB[255] = {};
    uint16_t TPBIsolationPos = 3;
    uint16_t TPBLength = 4;
};

class TIIntDatabase : public TICustomIntDatabase {
public:
    using TICustomIntDatabase::TICustomIntDatabase;
    ~TIIntDatabase() override;
    std::unique_ptr<TISqlCommand> CreateSqlCommand() override;
    void ReleaseClientLibrary() override;
    void AcquireClientLibrary() override;
    TDLErrorClass GetErrorClass() override;
};

// Owns an XSQLDA block sized by the client header's macro.
struct TSqldaDeleter {
    void operator()(XSQLDA* p) const;
};
using TSqldaPtr = std::unique_ptr<XSQLDA, TSqldaDeleter>;
// A zero-filled area for N variables, version 1, both counts set to N.
TSqldaPtr AllocSqlda(int n);

// One statement on an InterBase/Firebird connection.
class TICustomIntCommand : public TISqlCommand {
public:
    explicit TICustomIntCommand(TISqlDatabase* sqlDatabase);
    ~TICustomIntCommand() override;

    std::unique_ptr<isc_stmt_handle> StatementHandle;
    ISC_STATUS_ARRAY StatusVector = {};
    TSqldaPtr OutputSqlda;
    TSqldaPtr InputSqlda;
    int StatementType = 0;
    int BlobIdArea = 0;
    int BlobIdEnd = 0;
    int ParamsDataSize = 0;
    bool Executed = false;
    bool EndOfRows = false;    // the server said there are no more; it must not be asked again
    bool FieldsBound = false;  // the output area points into the current fields buffer

    void BindParamsBuffer() override;
    void AllocFieldsBuffer() override;
    void FreeFieldsBuffer() override;
    void SetFieldsBuffer() override;
    int CnvtDateTime2DBDateTime(TFieldType fieldType, void* buffer, int bufferSize, TDateTime value) override;
    void InitParamList() override;
    TFieldType FieldDataType(int nativeType) override;
    void GetFieldDescs(TDLFieldDescList& list) override;
    int InitFieldsBuffer() override;
    void* GetHandle() override;
    int GetParamsBufferSize() override;
    int NativeDataSize(TFieldType fieldType) override;
    int NativeDataType(TFieldType fieldType) override;
    bool RequiredCnvtFieldType(TFieldType fieldType) override;
    void CloseResultSet() override;
    void Disconnect(bool force) override;
    void Unprepare() override;
    int GetRowsAffected() override;
    bool ResultSetExists() override;
    bool FetchNextRow() override;
    bool GetCnvtFieldData(const TDLFieldDesc& fieldDesc, void* buffer, int bufferSize) override;
    void GetOutputParams() override;
    int ReadBlob(const TDLFieldDesc& fieldDesc, TBytes& data) override;

    int GetStatementType();
    bool IsExecProcedure() { return GetStatementType() == isc_info_sql_stmt_exec_procedure; }
    TFieldType ColumnFieldType(const XSQLVAR& var);
    void DecodeDateTime(TFieldType fieldType, const void* serverData, void* out8, int serverLength);
    TDLCurrency ScaledToCurrency(const XSQLVAR& var, const void* data);
    double ScaledToFloat(const XSQLVAR& var, const void* data);
    int ReadBlobData(const ISC_QUAD& blobId, TBytes& data);
    void WriteBlobData(ISC_QUAD& blobId, const void* data, size_t length);
    void CopyOutputParams();
    void DescribeOutput();
    void MakeInputSqlda();
    // The text with each marker that produced a parameter replaced by "?", quotes respected.
    static std::string ReplaceParamMarkers(const std::string& sql, const TParams* params);
    // Rows affected from an isc_info_sql_records reply; -1 for other statement types.
    static int ParseRecordCounts(const char* reply, size_t length, int statementType);

protected:
    void DoPrepare(const std::string& sql) override;
    void DoExecute() override;

    TICustomIntDatabase& Db() const { return static_cast<TICustomIntDatabase&>(*SqlDatabase); }
    TIntFunctions& Fn() const { return Db().Functions(); }
    void CheckCommandStatus(ISC_STATUS result);
    void AllocStatement();

    std::vector<std::vector<uint8_t>> LongTextBuffers;  // by BlobIndex
};

class TIIntCommand : public TICustomIntCommand {
public:
    using TICustomIntCommand::TICustomIntCommand;
};

// Factory of the server-type table for stInterbase.
std::unique_ptr<TISqlDatabase> IntDatabaseFactory(const TDLStrings& params);

}  // namespace kelvar
