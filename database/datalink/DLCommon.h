#pragma once
// The DataLink driver contract: one TISqlDatabase per server connection, one TISqlCommand per
// statement, the description of result columns, the layer's errors, and the SQL text and
// value helpers the datasets and drivers share.
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/datalink/DLDataTypes.h"

namespace kelvar {

// Server kinds a database component can name.
enum TDLServerType : uint8_t {
    stSQLBase,
    stOracle,
    stSQLServer,
    stSybase,
    stDB2,
    stInformix,
    stODBC,
    stInterbase,
    stFirebird,
    stMySQL,
    stPostgreSQL,
    stOLEDB
};

// Names of the server types 0 to 10, used in parameter names.
extern const char* const ServerNames[11];
// "%s API LIBRARY" with the server's name; empty for a type without name.
std::string ApiLibraryParamName(TDLServerType serverType);

// Isolation levels of a database component.
enum TDLTransIsolation : uint8_t { tiDirtyRead, tiReadCommitted, tiRepeatableRead };

// Command types of TISqlCommand.
constexpr int ctQuery = 0;
constexpr int ctStoredProc = 2;

// A server error: the SQL code, the native code and the client's message lines.
class EDLEngineError : public EDatabaseError {
public:
    EDLEngineError(int errorCode, const std::string& message, int nativeError)
        : EDatabaseError(message), ErrorCode(errorCode), NativeError(nativeError) {}
    int ErrorCode = 0;
    int NativeError = 0;
    int ErrorPos = -1;
};

// A client library that can't be loaded or unloaded.
class EDLSqlLibError : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// Raises a driver's own error class with (ErrorCode, Message, NativeError).
using TDLErrorClass = void (*)(int errorCode, const std::string& message, int nativeError);

template <class E>
[[noreturn]] void RaiseDLError(int errorCode, const std::string& message, int nativeError) {
    throw E(errorCode, message, nativeError);
}

// "Assertion failure": an internal consistency check of the layer failed.
[[noreturn]] void DLAssertionFailure(const char* where = nullptr);
inline void DLAssert(bool condition, const char* where = nullptr) {
    if (!condition) DLAssertionFailure(where);
}

// One result column.
struct TDLFieldDesc {
    std::string FieldName;  // at most 50 characters
    int FieldNo = 0;        // 1-based
    TFieldType FieldType = ftUnknown;
    int NativeType = 0;  // server type without the nullable bit
    int DataSize = 0;    // bytes of the value in a record buffer (0 for blobs)
    int BlobIndex = -1;  // position among the blob fields
    int16_t Precision = 0;
    int16_t Scale = 0;
    bool Required = false;
};

using TDLFieldDescList = std::vector<TDLFieldDesc>;

constexpr size_t MaxFieldNameLength = 50;

// Type classes used throughout the layer.
bool IsBlobType(TFieldType t);
bool IsSizedType(TFieldType t);
bool IsDateTimeType(TFieldType t);

class TISqlCommand;

// A driver's connection to one server database.
class TISqlDatabase {
public:
    // Reads AUTOCOMMIT, ENABLE BCD, RTRIM CHAR OUTPUT and MAX STRING SIZE from Params.
    explicit TISqlDatabase(const TDLStrings& params);
    virtual ~TISqlDatabase();
    TISqlDatabase(const TISqlDatabase&) = delete;
    TISqlDatabase& operator=(const TISqlDatabase&) = delete;

    TDLStrings Params;
    bool AutoCommit = false;
    bool EnableBCD = false;
    bool RTrimCharOutput = true;
    int MaxStringSize = 255;
    TDLTransIsolation TransIsolation = tiDirtyRead;
    bool InTransaction = false;
    std::function<void(TISqlDatabase&)> OnServerError;
    std::function<void(TISqlDatabase&)> OnServerActivity;
    bool CursorPreservedOnCommit = true;
    bool CursorPreservedOnRollback = true;
    bool SPOutputInResultSet = false;

    virtual void DoServerError();
    virtual void DoServerActivity();

protected:
    virtual void DoConnect(const std::string& remoteDatabase, const std::string& userName,
                           const std::string& password) = 0;
    virtual void DoDisconnect(bool force) = 0;
    virtual void DoCommit() = 0;
    virtual void DoRollback() = 0;
    virtual void DoStartTransaction() = 0;

public:
    // The driver's native connection handle.
    virtual void* GetHandle();
    // Switches the server's own autocommit mode.
    virtual void SetAutoCommitOption(bool value);
    // Attaches to a connection opened elsewhere (instead of Connect).
    virtual void SetHandle(void* handle);
    // A new command of the driver's own class bound to this object; the caller owns it.
    virtual std::unique_ptr<TISqlCommand> CreateSqlCommand() = 0;
    // A statement whose first column gives the last generated auto-increment value, or empty.
    virtual std::string GetAutoIncSQL();
    // Major version times 65536 plus minor version.
    virtual int GetClientVersion() = 0;
    virtual int GetServerVersion() = 0;
    virtual std::string GetServerVersionString() = 0;
    virtual void GetStoredProcNames(TDLStrings& list);
    virtual void GetTableNames(TDLStrings& list, bool systemTables);
    virtual void GetTableFieldNames(const std::string& tableName, TDLStrings& list);
    // A prepared catalog query (not executed) owned by the caller, or none.
    virtual std::unique_ptr<TISqlCommand> GetSchemaInfo(int kind, const std::string& objectName);
    // DoConnect; on failure DoDisconnect(false), and the failure goes on.
    virtual void Connect(const std::string& remoteDatabase, const std::string& userName, const std::string& password);
    virtual void Disconnect(bool force);
    virtual void Commit();
    virtual void Rollback();
    virtual void StartTransaction();
    virtual int ParamValue(int param);
    // Called by the database component when its isolation changes while connected.
    virtual void SetTransIsolation(TDLTransIsolation value);
    virtual bool SPDescriptionsAvailable();

protected:
    [[noreturn]] void NotImplemented(const char* operation) const;
};

// Creates the driver database of a server type from the component's parameter list.
using TDLServerFactory = std::function<std::unique_ptr<TISqlDatabase>(const TDLStrings& params)>;

// One statement (or stored procedure call) on a driver database. A command must be freed
// before the driver database that created it.
class TISqlCommand {
public:
    explicit TISqlCommand(TISqlDatabase* sqlDatabase);
    // Disconnect(true), then the buffers and descriptions go.
    virtual ~TISqlCommand();
    TISqlCommand(const TISqlCommand&) = delete;
    TISqlCommand& operator=(const TISqlCommand&) = delete;

    int CommandType = ctQuery;
    const std::string& GetCommandText() const { return CommandText; }
    // A different text clears NativeCommandText.
    void SetCommandText(const std::string& text);
    std::string NativeCommandText;
    int BlobFieldCount = 0;
    TDLFieldDescList FieldDescs;
    TParams* Params = nullptr;  // the owning dataset's list, not owned
    int RecordDataSize = 0;
    std::vector<int> FieldOffsets;  // by field number (entry 0 unused), -1 when unknown
    int MaxCharParamLen = 255;
    TISqlDatabase* SqlDatabase = nullptr;
    std::function<void(bool flag, int value)> OnOwnerNotify;

    virtual void NotifyOwner(bool flag, int value);
    virtual void AllocParamsBuffer();
    virtual void AllocFieldsBuffer();
    virtual void BindParamsBuffer();
    virtual void FreeParamsBuffer();
    virtual void FreeFieldsBuffer();
    virtual void SetFieldsBuffer();

protected:
    virtual void DoPrepare(const std::string& sql) = 0;
    virtual void DoExecute() = 0;

public:
    // Encodes a date-time in the server's form; the bytes written.
    virtual int CnvtDateTime2DBDateTime(TFieldType fieldType, void* buffer, int bufferSize, TDateTime value);
    // Fills Params from the server's description of a stored procedure.
    virtual void InitParamList();
    // Fills the blob slots of the current row.
    virtual void ReadBlobFields();
    virtual TFieldType FieldDataType(int nativeType);
    virtual void GetFieldDescs(TDLFieldDescList& list);
    // The fields buffer, or nullptr.
    virtual uint8_t* GetFieldsBuffer();
    virtual int InitFieldsBuffer();
    virtual void* GetHandle();
    virtual int GetParamsBufferSize();
    virtual int NativeDataSize(TFieldType fieldType);
    virtual int NativeDataType(TFieldType fieldType);
    virtual bool RequiredCnvtFieldType(TFieldType fieldType);
    virtual void CloseResultSet();
    virtual void Disconnect(bool force);
    virtual void Unprepare();
    virtual void Execute();
    virtual int GetRowsAffected();
    virtual int GetStatus();
    // Nothing when already prepared; otherwise frees the fields buffer, sets CommandText, DoPrepare.
    virtual void Prepare(const std::string& sql);
    virtual bool ResultSetExists();
    virtual bool FetchNextRow();
    virtual void InitFieldDescs();
    // Copies a field of the current row in its field form; false for NULL (buffer untouched).
    // Forms: ftDate int32 day number and ftTime int32 milliseconds (each followed by 4 zero
    // bytes, so 8 bytes are needed), ftDateTime double milliseconds, ftFloat double, ftBCD a
    // TDLBcd, ftString zero-terminated text cut to BufferSize - 1, others the server's bytes.
    virtual bool GetCnvtFieldData(const TDLFieldDesc& fieldDesc, void* buffer, int bufferSize);
    virtual void GetOutputParams();
    // Reads a blob field of the current row; its length.
    virtual int ReadBlob(const TDLFieldDesc& fieldDesc, TBytes& data);
    virtual int WriteBlob(int fieldNo, const void* data, int size);
    virtual int WriteBlobByName(const std::string& name, const void* data, int size);

    // The slot of a field in the fields buffer (its 8 header bytes).
    uint8_t* FieldOffset(int fieldNo);
    const TBytes& GetBlobData(const TDLFieldDesc& fieldDesc) const;
    void SetBlobData(const TDLFieldDesc& fieldDesc, TBytes data);
    bool IsPrepared() const;
    int GetParamSize(const TParam& param);
    // The data type a parameter is bound with: its own, except that a NULL input whose type
    // is unknown (never set, or cleared) goes as a NULL text, which the server takes anywhere.
    static TFieldType ParamBindType(const TParam& param);
    bool GetFieldAsString(int fieldNo, std::string& value);
    bool GetFieldAsSmallint(int fieldNo, int16_t& value);
    void AddParam(const std::string& name, TFieldType dataType, TParamType paramType);
    const TDLFieldDesc& FieldDescByNo(int fieldNo) const;
    bool HasFieldsBuffer() const { return !FieldsBuffer.empty(); }
    bool HasParamsBuffer() const { return !ParamsBuffer.empty(); }

    // "Id, id, (none)" -> "Id, id_1, COLUMN3".
    static void MakeNamesUnique(TDLFieldDescList& list);

protected:
    [[noreturn]] void NotImplemented(const char* operation) const;

    std::string CommandText;
    std::vector<uint8_t> FieldsBuffer;  // empty: none
    std::vector<uint8_t> ParamsBuffer;  // empty: none
    std::vector<TBytes> BlobSlots;      // by BlobIndex
    std::vector<std::string> BufferList;
};

// --- SQL text helpers --------------------------------------------------------------------

// S differs from Prefix (ignoring case) and begins with it.
bool StartsWithText(const std::string& s, const std::string& prefix);
bool IsSelectStatement(const std::string& sql);
bool IsAggregateExpr(const std::string& expr);
// The single table of a SELECT, or empty.
std::string GetTableNameFromSQL(const std::string& sql);
// Adds one parameter per marker of SQL to Params (when given).
void DLCreateParams(TParams* params, const std::string& sql, char markerChar = ':');
bool DLReplaceMacro(bool firstOnly, const std::string& macro, const std::string& value, std::string& sql);
std::string StripQualifier(const std::string& name);
std::string QuoteIdentifier(const std::string& name, bool quote);
// 1-based position of Sub in S from From, ignoring case; 0 when absent.
int PosText(const std::string& sub, const std::string& s, int from = 1);
std::string StripQuotes(const std::string& s);
bool HasWildcard(const std::string& s);
void SplitObjectName(const std::string& s, std::string& owner, std::string& name);
// Trailing spaces of a zero-terminated text become zero bytes.
void RTrimText(char* text);

// One field of the row being written back, as the statement generator sees it.
struct TDLUpdateField {
    std::string FieldName;
    bool IsDataField = true;  // false for calculated and lookup fields
    bool IsBlob = false;
    bool BlobModified = false;
    bool InKey = false;
    TDLVariant NewValue;
    TDLVariant OldValue;
};

// Update kinds and modes of the statement generator.
enum TDLUpdateKind { ukRefresh = 0, ukModify = 1, ukInsert = 2, ukDelete = 3 };
enum TDLUpdateMode { upWhereAll = 0, upWhereChanged = 1, upWhereKeyOnly = 2 };

std::string GenerateUpdateSQL(int kind, int updateMode, const std::string& table, bool quote,
                              const std::vector<TDLUpdateField>& fields, const TDLStrings& origins);
// Origins: field name = table.column; Tables: upper-cased alias = table.
void GetFieldOrigins(const std::string& sql, const std::vector<std::string>& fieldNames, TDLStrings& origins,
                     TDLStrings& tables);

int VarCompareValues(const TDLVariant& a, const TDLVariant& b, bool caseInsensitive);
bool VarEqualValues(const TDLVariant& a, const TDLVariant& b, bool caseInsensitive, bool partial, bool asText);

// --- Filter expressions ------------------------------------------------------------------

// The dataset side of a filter: field lookup and the current row's values.
class IDLExprDataSource {
public:
    virtual ~IDLExprDataSource() = default;
    // Index of the field of that name, -1 when the dataset has none.
    virtual int FindFieldIndex(const std::string& name) = 0;
    // The field's value in the row under test.
    virtual TDLVariant GetFieldValue(int fieldIndex) = 0;
};

struct TDLFilterOptions {
    bool CaseInsensitive = false;
    bool NoPartialCompare = false;
};

struct TDLExprNode;  // compiled node form, DLExprCompiler.h

// A compiled filter expression evaluated on the dataset's current row.
class TDLExprParser {
public:
    // Compiles Text; EDatabaseError for a malformed expression.
    TDLExprParser(IDLExprDataSource& dataSource, const std::string& text, TDLFilterOptions options);
    ~TDLExprParser();
    TDLVariant Evaluate();
    bool EvaluateBoolean();
    // Forget cached field indices (the dataset's fields changed).
    void ClearFieldCache() { FieldCache.clear(); }

private:
    TDLVariant Eval(const TDLExprNode& node);
    TDLVariant EvalFunction(const TDLExprNode& node);
    bool Like(const TDLVariant& value, const TDLVariant& pattern, bool caseInsensitive);

    IDLExprDataSource& DataSource;
    TDLFilterOptions Options;
    int Version = 2;
    std::unique_ptr<TDLExprNode> Root;
    std::map<std::string, int> FieldCache;
};

// --- Buffer helpers ------------------------------------------------------------------

template <class T>
inline T ReadBuf(const void* buffer, size_t offset = 0) {
    T v;
    std::memcpy(&v, static_cast<const uint8_t*>(buffer) + offset, sizeof v);
    return v;
}

template <class T>
inline void WriteBuf(void* buffer, size_t offset, T value) {
    std::memcpy(static_cast<uint8_t*>(buffer) + offset, &value, sizeof value);
}

// High and low 16 bits into one value.
inline uint32_t MakeLong(uint16_t low, uint16_t high) { return (static_cast<uint32_t>(high) << 16) | low; }

}  // namespace kelvar
