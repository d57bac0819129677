#pragma once
// The DataLink components: sessions owning named database connections, the database
// component over a driver object, and the datasets (query, stored procedure) with their row
// cache, write-back of edited rows, search, filters, sorting and blob streams.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "database/datalink/DLCommon.h"

namespace kelvar {

class TDLSession;
class TDLDatabase;
class TDLDataSet;
class TDLQuery;
class TDLUpdateSQL;
class TDLField;

// A statement opened as a query returned no rows set.
class EDLNoResultSet : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// --- Components ---------------------------------------------------------------------------

// Owner and owned: a component frees the components it owns when it goes.
class TDLComponent {
public:
    explicit TDLComponent(TDLComponent* owner);
    virtual ~TDLComponent();
    TDLComponent(const TDLComponent&) = delete;
    TDLComponent& operator=(const TDLComponent&) = delete;

    TDLComponent* GetOwner() const { return FOwner; }
    const std::vector<TDLComponent*>& GetComponents() const { return FComponents; }
    std::string Name;

protected:
    // Frees the owned components; derived destructors call it first so that owned
    // components never see a half-destroyed owner.
    void DestroyComponents();

private:
    TDLComponent* FOwner = nullptr;
    std::vector<TDLComponent*> FComponents;
};

// --- Hour-glass and login hooks -----------------------------------------------------------

// The screen cursor, as the user interface offers it; without hooks the hour-glass does nothing.
struct TDLScreenCursorHooks {
    std::function<int()> GetCursor;
    std::function<void(int)> SetCursor;
};
void SetDLScreenCursorHooks(TDLScreenCursorHooks hooks);

// The "Database Login" dialog: fills user name and password, false when cancelled.
using TDLLoginDialog =
    std::function<bool(const std::string& databaseName, std::string& userName, std::string& password)>;
void SetDLLoginDialog(TDLLoginDialog dialog);

// Wait cursor while statements run on the main thread (nesting).
void HourGlassOn();
void HourGlassOff();

// --- Driver factories ---------------------------------------------------------------------

// Driver factory of each server type; only InterBase and Firebird have one.
std::array<TDLServerFactory, 12>& ServerFactoryTable();

// --- Sessions -----------------------------------------------------------------------------

struct TDLStoredParams {
    std::string RemoteDatabase;
    TDLServerType ServerType = stSQLBase;
    TDLStrings Params;
};

class TDLSession : public TDLComponent {
public:
    explicit TDLSession(TDLComponent* owner);
    ~TDLSession() override;

    bool GetActive() const;
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }

    bool GetAutoSessionName() const { return FAutoSessionName; }
    void SetAutoSessionName(bool value);
    const std::string& GetSessionName() const { return FSessionName; }
    void SetSessionName(const std::string& value);
    bool IsDefault() const { return FIsDefault; }

    bool KeepConnections = true;
    bool SQLHourGlass = true;
    int WaitCursor = -11;

    // The database of that name for Owner (or any of that name), made temporary when
    // missing; connected, with its reference count raised.
    TDLDatabase* AcquireDatabase(const std::string& name, TDLComponent* owner);
    void ReleaseDatabase(TDLDatabase* database);
    TDLDatabase* DatabaseByName(const std::string& name);
    int DatabaseCount() const;
    TDLDatabase* Databases(int index) const;

    // The session lock (process-wide, nesting per thread).
    void LockSession();
    void UnlockSession();

private:
    friend class TDLDatabase;
    friend class TDLSessionList;
    void AddDatabase(TDLDatabase* database);
    void RemoveDatabase(TDLDatabase* database);
    TDLDatabase* FindDatabaseLocked(const std::string& name, const TDLDatabase* except = nullptr) const;
    void GetStoredParams(const std::string& remote, TDLServerType type, TDLStrings& lines);
    void SetStoredParams(const std::string& remote, TDLServerType type, const TDLStrings& lines);

    std::vector<TDLDatabase*> FDatabaseList;
    bool FIsDefault = false;
    std::vector<TDLStoredParams> FStoredParams;
    bool FAutoSessionName = false;
    std::string FSessionName;
    int FAutoSessionNumber = -1;
    bool FActive = false;
};

// All sessions of the process; the default session ("Default") lives as long as the process.
class TDLSessionList {
public:
    TDLSessionList();
    TDLSessionList(const TDLSessionList&) = delete;
    TDLSessionList& operator=(const TDLSessionList&) = delete;

    // The default session for an empty name; otherwise by name without regard to case, or nullptr.
    TDLSession* SessionByName(const std::string& name);
    // As above; "Invalid session name %s" when there is none.
    TDLSession* SessionByName(const std::string& name, bool check);
    TDLSession* DefaultSession() const { return FDefault; }
    int Count() const;
    // The process-wide session lock (recursive: a thread may nest its holds).
    std::recursive_mutex& SessionLock() { return FSessionLock; }

private:
    friend class TDLSession;
    void Add(TDLSession* session);
    void Remove(TDLSession* session);
    int TakeAutoNumber();
    void FreeAutoNumber(int number);

    mutable std::recursive_mutex FListLock;
    std::recursive_mutex FSessionLock;
    std::vector<TDLSession*> FSessions;
    std::vector<bool> FAutoNumbers;
    TDLSession* FDefault = nullptr;
};

// The process's session list (made at first use with its default session).
TDLSessionList& Sessions();
TDLSession& DefaultSession();

// --- Database component -------------------------------------------------------------------

enum TDLDesignOption : uint8_t { ddoIsDefaultDatabase = 1, ddoStoreConnected = 2 };

class TDLDatabase : public TDLComponent {
public:
    // A session as owner joins that session; any other owner (or none) the default session.
    explicit TDLDatabase(TDLComponent* owner = nullptr);
    ~TDLDatabase() override;

    void Open();
    void Close();
    bool GetConnected() const { return FDriver != nullptr; }
    void SetConnected(bool value) { value ? Open() : Close(); }

    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& value);
    const std::string& GetRemoteDatabase() const { return FRemoteDatabase; }
    void SetRemoteDatabase(const std::string& value);
    TDLServerType GetServerType() const { return FServerType; }
    void SetServerType(TDLServerType value);
    std::string GetSessionName() const;
    void SetSessionName(const std::string& value);
    TDLSession* GetSession() const { return FSession; }
    bool GetKeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool value);
    TDLTransIsolation GetTransIsolation() const { return FTransIsolation; }
    void SetTransIsolation(TDLTransIsolation value);
    int GetIdleTimeOut() const { return FIdleTimeOut; }
    // Stored only: no idle timer runs (closing a database from a timer thread while its
    // owner uses it is unsafe, and nothing sets a time-out).
    void SetIdleTimeOut(int value) { FIdleTimeOut = value; }
    bool IsTemporary() const { return FTemporary; }
    int GetRefCount() const { return FRefCount; }
    TISqlDatabase* GetDriver() const { return FDriver.get(); }

    TDLStrings Params;
    bool LoginPrompt = true;
    uint8_t DesignOptions = ddoStoreConnected;
    bool IdleMark = false;
    bool Busy = false;

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const;

    // The driver's catalog query of Kind, opened as a query owned by this database, or nullptr.
    TDLQuery* OpenSchemaInfo(int kind, const std::string& objectName);

    int DataSetCount() const { return static_cast<int>(FDataSets.size()); }
    TDLDataSet* DataSets(int index) const { return FDataSets.at(static_cast<size_t>(index)); }

    std::function<void(TDLDatabase&)> BeforeConnect;
    std::function<void(TDLDatabase&)> AfterConnect;
    std::function<void(TDLDatabase&)> BeforeDisconnect;
    std::function<void(TDLDatabase&)> AfterDisconnect;
    // Gets a list holding "USER NAME" and fills "USER NAME" and "PASSWORD".
    std::function<void(TDLDatabase&, TDLStrings&)> OnLogin;

private:
    friend class TDLSession;
    friend class TDLDataSet;
    void DoConnect();
    void DoDisconnect();
    void CheckInactive() const;
    void CheckActive() const;
    void RegisterDataSet(TDLDataSet* dataSet);
    // Every dataset fetches its remaining rows and gives up its server statement.
    void LetGoOfServerCursors();
    void UnregisterDataSet(TDLDataSet* dataSet);

    TDLTransIsolation FTransIsolation = tiReadCommitted;
    bool FKeepConnection = true;
    bool FTemporary = false;
    int FRefCount = 0;
    TDLSession* FSession = nullptr;
    std::string FDatabaseName;
    std::string FRemoteDatabase;
    TDLServerType FServerType = stSQLBase;
    std::unique_ptr<TISqlDatabase> FDriver;
    int FIdleTimeOut = 0;
    std::vector<TDLDataSet*> FDataSets;
    std::recursive_mutex FConnectLock;
};

// --- Fields -------------------------------------------------------------------------------

enum TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc };

struct TDLFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int FieldNo = 0;
    bool Required = false;
    int Precision = 0;
    // A text column longer than the string size limit, carried as a memo.
    bool LongText = false;
};

// One field of a dataset: reads and writes the value of the row the dataset's state selects.
class TDLField {
public:
    TDLField(TDLDataSet* dataSet, const std::string& name, TFieldType dataType, int size, TFieldKind kind);

    TDLDataSet* GetDataSet() const { return FDataSet; }
    const std::string& GetFieldName() const { return FFieldName; }
    TFieldType GetDataType() const { return FDataType; }
    int GetSize() const { return FSize; }
    int GetIndex() const { return FIndex; }
    TFieldKind GetFieldKind() const { return FFieldKind; }
    bool IsBlob() const { return IsBlobType(FDataType); }

    int FieldNo = 0;
    bool Required = false;
    bool ReadOnly = false;
    int Precision = 0;
    bool LongText = false;
    // A blob field written through a stream since the row was last posted or cancelled.
    bool Modified = false;

    bool IsNull() const;
    TDLVariant GetValue() const;
    void SetValue(const TDLVariant& value);
    void Clear() { SetValue(TDLVariant()); }
    std::string AsString() const { return GetValue().AsString(); }
    int64_t AsInteger() const { return GetValue().AsInteger(); }
    double AsFloat() const { return GetValue().AsFloat(); }
    TDateTime AsDateTime() const { return GetValue().AsDateTime(); }
    TBytes AsBytes() const { return GetValue().AsBytes(); }
    void SetAsString(const std::string& v) { SetValue(v); }
    void SetAsInteger(int64_t v) { SetValue(v); }
    void SetAsFloat(double v) { SetValue(v); }
    void SetAsDateTime(TDateTime v) { SetValue(TDLVariant::FromDateTime(v)); }
    // Value before the row's first local change; value being written.
    TDLVariant OldValue() const;
    TDLVariant NewValue() const;

private:
    friend class TDLDataSet;
    TDLDataSet* FDataSet;
    std::string FFieldName;
    TFieldType FDataType;
    int FSize;
    TFieldKind FFieldKind;
    int FIndex = -1;
};

// --- Row cache ----------------------------------------------------------------------------

enum TDLUpdateStatus : uint8_t { usUnmodified = 0, usModified = 1, usInserted = 2, usDeleted = 3 };

// Row kinds of VisibleKinds.
constexpr uint8_t rtModified = 1, rtInserted = 2, rtDeleted = 4, rtUnmodified = 8;

enum TDLBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

// One row: a value per field (data fields, then calculated ones; NULL = no value; blobs
// as byte arrays, an empty one is NULL) and the row information.
struct TDLRecordBuffer {
    std::vector<TDLVariant> Values;
    int32_t RecNo = -1;
    TDLUpdateStatus Status = usUnmodified;
    TDLBookmarkFlag BookmarkFlag = bfCurrent;
    int32_t Bookmark = -1;
};

// Every fetched row in fetch order, with its update status and former copy.
class TDLResultSet {
public:
    struct TEntry {
        uint8_t Applied = 1;
        std::unique_ptr<TDLRecordBuffer> Buffer;
        std::unique_ptr<TDLRecordBuffer> OldBuffer;
    };

    TDLResultSet(TDLDataSet* dataSet, bool copyBlobs) : DataSet(dataSet), CopyBlobs(copyBlobs) {}

    TDLDataSet* DataSet;
    bool CopyBlobs;
    int CurrentIndex = -1;
    int DeletedCount = 0;
    bool AllFetched = false;

    int Count() const { return static_cast<int>(Rows.size()); }
    // "Record is not available locally" outside the cache or for a freed entry.
    TEntry& Entry(int index);
    TDLRecordBuffer& Row(int index) { return *Entry(index).Buffer; }
    // One more row from the server; false when there is none.
    bool FetchRow();
    void FetchAll();

    void PostEdit(int index, const TDLRecordBuffer& values);
    // The new row's index.
    int PostInsert(TDLRecordBuffer& values);
    void DeleteRow(int index);
    // A written row: modified and inserted rows become unchanged, deleted ones leave.
    void AcceptRow(int index);
    void RemoveRow(int index);

    std::vector<TEntry> Rows;
};

// --- Datasets -----------------------------------------------------------------------------

enum TDataSetState : uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening
};

// Connect reasons of a dataset.
enum TDLConnectReason : uint8_t {
    crOpenCursor = 0,
    crPrepared = 1,
    crExecuting = 2,
    crReadKeyFields = 5,
    crSPPrepared = 6,
    crSPExecuting = 7
};

class TDLDataSet : public TDLComponent, public IDLExprDataSource {
public:
    explicit TDLDataSet(TDLComponent* owner = nullptr);
    ~TDLDataSet() override;

    // Open and close.
    void Open();
    void Close();
    bool GetActive() const { return FState != dsInactive; }
    void SetActive(bool value) { value ? Open() : Close(); }
    TDataSetState GetState() const { return FState; }

    // Database binding.
    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& value);
    const std::string& GetSessionName() const { return FSessionName; }
    void SetSessionName(const std::string& value);
    TDLDatabase* GetDatabase() const { return FDatabase; }
    TISqlCommand* GetCommand() const { return FCommand.get(); }

    // Options.
    bool GetAutoRefresh() const { return FAutoRefresh; }
    void SetAutoRefresh(bool value);
    bool GetDetachOnFetchAll() const { return FDetachOnFetchAll; }
    void SetDetachOnFetchAll(bool value);
    bool UniDirectional = false;
    TDLUpdateMode GetUpdateMode() const { return FUpdateMode; }
    virtual void SetUpdateMode(TDLUpdateMode value) { FUpdateMode = value; }
    TDLUpdateSQL* GetUpdateObject() const { return FUpdateObject; }
    void SetUpdateObject(TDLUpdateSQL* value);
    bool GetLocalEdits() const { return FLocalEdits; }

    // Fields.
    const std::vector<TDLFieldDef>& GetFieldDefs() const { return FFieldDefs; }
    int FieldCount() const { return static_cast<int>(FFields.size()); }
    TDLField* Fields(int index) const { return FFields.at(static_cast<size_t>(index)).get(); }
    TDLField* FindField(const std::string& name) const;
    // "Field '%s' not found" when missing.
    TDLField& FieldByName(const std::string& name) const;
    // A calculated field, filled by OnCalcFields; only while inactive.
    TDLField& AddCalcField(const std::string& name, TFieldType dataType, int size = 0);
    // Values of a list of fields separated by ";": one value, or an array.
    TDLVariant GetFieldValues(const std::string& fieldNames) const;

    // Navigation.
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const { return FActive == nullptr; }
    int GetRecNo() const;
    void SetRecNo(int value);
    int RecordCount();
    bool IsSequenced() const;
    void FetchRemaining();
    // The row cache's cursor index (-1 before the first row).
    int CurrentIndex() const { return FResultSet ? FResultSet->CurrentIndex : -1; }
    // Number of rows held in the cache.
    int CachedRowCount() const { return FResultSet ? FResultSet->Count() : 0; }
    TDLUpdateStatus UpdateStatus() const;

    // Editing.
    virtual bool CanModify() const;
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    virtual void Refresh();
    // Posts a pending edit or insert.
    void CheckBrowseMode();

    // Bookmarks: the cache index of a row.
    using TBookmark = int32_t;
    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark);
    // Missing bookmarks are passed as nullptr.
    int CompareBookmarks(const TBookmark* a, const TBookmark* b) const;

    // Search.
    bool Locate(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options);
    TDLVariant Lookup(const std::string& keyFields, const TDLVariant& keyValues, const std::string& resultFields);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    bool GetFound() const { return FFound; }

    // Filters.
    const std::string& GetFilter() const { return FFilterText; }
    void SetFilter(const std::string& text);
    TDLFilterOptions GetFilterOptions() const { return FFilterOptions; }
    void SetFilterOptions(TDLFilterOptions options);
    bool GetFiltered() const { return FFiltered; }
    void SetFiltered(bool value);
    void SetOnFilterRecord(std::function<void(TDLDataSet&, bool& accept)> handler);

    // Sorting of the cached rows; for a field beyond the end of a flag array the first element applies.
    void SortCachedRows(const std::vector<int>& fieldIndices, const std::vector<bool>& caseInsensitive,
                        const std::vector<bool>& ascending);

    // Detaches from the server: the result is closed and the command released; rows stay.
    void Detach();

    // Events.
    std::function<void(TDLDataSet&)> AfterOpen;
    std::function<void(TDLDataSet&)> BeforeClose;
    std::function<void(TDLDataSet&)> BeforeScroll;
    std::function<void(TDLDataSet&)> AfterScroll;
    std::function<void(TDLDataSet&)> OnNewRecord;
    std::function<void(TDLDataSet&)> BeforePost;
    std::function<void(TDLDataSet&)> AfterPost;
    std::function<void(TDLDataSet&)> BeforeDelete;
    std::function<void(TDLDataSet&)> AfterDelete;
    std::function<void(TDLDataSet&)> OnCalcFields;
    std::function<void(TDLDataSet&, TDLField&)> OnFieldChange;
    // Its presence makes the dataset modifiable; the layer itself does not call it.
    std::function<void(TDLDataSet&, TDLUpdateKind kind, bool& applied)> OnUpdateRecord;

    // IDLExprDataSource: fields of the row under test.
    int FindFieldIndex(const std::string& name) override;
    TDLVariant GetFieldValue(int fieldIndex) override;

protected:
    friend class TDLField;
    friend class TDLResultSet;
    friend class TDLDatabase;
    friend class TDLUpdateSQL;
    friend class TDLBlobStream;
    friend class TDLQuery;

    enum TGetResult { grOK, grBOF, grEOF };
    enum TGetMode { gmCurrent, gmNext, gmPrior };

    void SetConnectReason(TDLConnectReason reason, bool on);
    bool HasConnectReason(TDLConnectReason reason) const { return (FConnectReasons & (1u << reason)) != 0; }
    virtual std::unique_ptr<TISqlCommand> CreateCommand();
    // Parameters are settled before an open.
    virtual void BeforeOpenCursor() {}
    // Prepares the command before an open.
    virtual void PrepareCursor();
    virtual bool KeepCommandOnClose() const { return false; }
    void ReleaseCommand();
    void CloseResultSet();
    // Runs the command; the database's Busy flag is set meanwhile.
    void ExecuteCommand();
    void InitFieldDefs();
    void CreateFields();
    void DestroyFields();
    void ClearFieldDefs();
    void CheckActive() const;
    void CheckInactive() const;
    void CheckEditState() const;
    bool IsVisible(int index);
    bool FilterRecord(TDLRecordBuffer& row);
    TGetResult GetRecord(TGetMode mode);
    void Resync();
    void CopyToActive(int index);
    void CalculateFields(TDLRecordBuffer& buffer);
    TDLRecordBuffer NewRecordBuffer() const;
    // The record the dataset state selects, or nullptr.
    TDLRecordBuffer* GetStateBuffer() const;
    TDLVariant ReadField(const TDLField& field) const;
    void WriteField(TDLField& field, const TDLVariant& value);
    void ReadColumn(TISqlCommand& command, const TDLFieldDesc& desc, TDLField& field, TDLRecordBuffer& buffer);
    void BeginInsertAppend(bool append);
    int SearchRecord(const std::string& keyFields, const TDLVariant& keyValues, uint8_t options);
    bool FindRecord(bool restart, bool goForward);
    std::vector<TDLField*> GetFieldList(const std::string& fieldNames) const;
    void ParseFilter();
    void ResetBlobModified();
    void DoAfterScroll();
    void NotifyDetails();

    // The write-back of a row changed in the cache; the live query's business.
    virtual void WriteBackPost(int index, bool inserted);
    virtual void WriteBackDelete(int index);
    // Clears stored procedure output parameters before a re-execution.
    virtual void ClearOutputParams() {}
    // Field values of a cached row for the statement generator.
    std::vector<TDLUpdateField> GetUpdateFields(int index);
    virtual bool IsIndexField(const TDLField&) const { return false; }

    std::string FDatabaseName;
    std::string FSessionName;
    TDLDatabase* FDatabase = nullptr;
    std::unique_ptr<TISqlCommand> FCommand;
    std::unique_ptr<TDLResultSet> FResultSet;
    bool FClosingForDatabase = false;
    bool FLocalEdits = true;
    bool FCopyBlobs = false;
    bool FAutoRefresh = false;
    bool FDetachOnFetchAll = false;
    TDLUpdateMode FUpdateMode = upWhereAll;
    TDLUpdateSQL* FUpdateObject = nullptr;
    uint8_t FVisibleKinds = 0;
    uint32_t FConnectReasons = 0;
    bool FCommandOpen = false;

    TDataSetState FState = dsInactive;
    std::vector<TDLFieldDef> FFieldDefs;
    std::vector<std::unique_ptr<TDLField>> FFields;
    std::vector<TDLFieldDef> FCalcFieldDefs;
    int FDataFieldCount = 0;
    std::unique_ptr<TDLRecordBuffer> FActive;
    TDLRecordBuffer FEditSave;
    TDLRecordBuffer* FFilterBuffer = nullptr;
    TDLRecordBuffer* FCalcBuffer = nullptr;
    bool FBof = true;
    bool FEof = true;
    bool FFound = false;

    std::string FFilterText;
    TDLFilterOptions FFilterOptions;
    bool FFiltered = false;
    std::unique_ptr<TDLExprParser> FFilterParser;
    std::function<void(TDLDataSet&, bool&)> FOnFilterRecord;
    std::vector<TDLQuery*> FDetails;
    std::vector<uint8_t> FColumnScratch;
};

// --- Queries ------------------------------------------------------------------------------

class TDLQuery : public TDLDataSet {
public:
    explicit TDLQuery(TDLComponent* owner = nullptr);
    ~TDLQuery() override;

    // The statement text: setting it always runs the change step (close, unprepare,
    // parameters rebuilt keeping the values of names that stay).
    void SetSQL(const std::string& text);
    // As a whole list of lines: nothing when the text is the same.
    void AssignSQL(const std::vector<std::string>& lines);
    const std::string& GetSQL() const { return FSQLText; }

    TParams& GetParams() { return FParams; }
    TParam& ParamByName(const std::string& name) { return FParams.ParamByName(name); }
    bool ParamCheck = true;

    bool GetRequestLive() const { return FRequestLive; }
    void SetRequestLive(bool value);
    void SetUpdateMode(TDLUpdateMode value) override;
    // A master whose fields feed the parameters not given explicitly.
    void SetDataSource(TDLDataSet* master);
    TDLDataSet* GetDataSource() const { return FMaster; }

    void Prepare();
    void UnPrepare();
    bool GetPrepared() const { return FPreparedFlag; }
    void ExecSQL();
    int RowsAffected() const { return FRowsAffected; }
    // Reads the current row anew with the refresh statement.
    void RefreshRecord();
    const std::string& GetLiveTableName() const { return FLiveTableName; }
    const std::vector<std::string>& GetKeyFields() const { return FKeyFields; }

    bool CanModify() const override;

    // Opens a prepared catalog command (the database's schema queries).
    void OpenOnCommand(std::unique_ptr<TISqlCommand> command);

protected:
    friend class TDLDataSet;
    std::unique_ptr<TISqlCommand> CreateCommand() override;
    void BeforeOpenCursor() override;
    void PrepareCursor() override;
    bool KeepCommandOnClose() const override { return HasConnectReason(crPrepared); }
    bool IsIndexField(const TDLField& field) const override;
    void WriteBackPost(int index, bool inserted) override;
    void WriteBackDelete(int index) override;
    void ReadKeyFields();
    void ApplyRowStatement(int index, TDLUpdateKind kind);
    bool NeedOwnTransaction() const;
    void BindMasterParams();
    void MasterChanged();
    void InternalUnprepare();

    TDLDataSet* FMaster = nullptr;
    TParams FParams;
    bool FPreparedFlag = false;
    std::vector<std::string> FSQLLines;
    std::string FSQLText;
    int FRowsAffected = -1;
    bool FRequestLive = false;
    std::string FLiveTableName;
    std::vector<std::string> FKeyFields;
    bool FCatalogQuery = false;
};

// Four configured write-back statements, indexed by update kind (refresh, modify, insert, delete).
class TDLUpdateSQL : public TDLComponent {
public:
    explicit TDLUpdateSQL(TDLComponent* owner = nullptr);
    ~TDLUpdateSQL() override;

    const std::string& GetSQL(TDLUpdateKind kind) const { return FSQLText[kind]; }
    void SetSQL(TDLUpdateKind kind, const std::string& text);
    TDLDataSet* GetDataSet() const { return FDataSet; }
    void SetDataSet(TDLDataSet* dataSet);
    // The query of a kind, made on demand with the dataset's session and database names.
    TDLQuery& GetQuery(TDLUpdateKind kind);
    // Runs the statement of Kind with the dataset's field values; "Update failed" unless one row changed.
    void Apply(TDLUpdateKind kind);

private:
    friend class TDLDataSet;
    void FreeQueries();
    TDLDataSet* FDataSet = nullptr;
    std::array<std::string, 4> FSQLText;
    std::array<std::unique_ptr<TDLQuery>, 4> FQueries;
};

// --- Stored procedures --------------------------------------------------------------------

class TDLStoredProc : public TDLDataSet {
public:
    explicit TDLStoredProc(TDLComponent* owner = nullptr);
    ~TDLStoredProc() override;

    const std::string& GetStoredProcName() const { return FStoredProcName; }
    void SetStoredProcName(const std::string& value);
    uint16_t GetOverload() const { return FOverload; }
    void SetOverload(uint16_t value);
    TParams& GetParams() { return FParams; }
    void SetParams(const TParams& params);
    TParam& ParamByName(const std::string& name) { return FParams.ParamByName(name); }

    void Prepare();
    void UnPrepare();
    bool GetPrepared() const { return FPrepared; }
    void RunProcedure();

protected:
    std::unique_ptr<TISqlCommand> CreateCommand() override;
    void PrepareCursor() override;
    bool KeepCommandOnClose() const override { return HasConnectReason(crSPPrepared); }
    void ClearOutputParams() override;
    // Opening starts without the output values of an earlier run.
    void BeforeOpenCursor() override { ClearOutputParams(); }
    void InternalPrepare();

    std::string FStoredProcName;
    TParams FParams;
    bool FPrepared = false;
    uint16_t FOverload = 0;
};

// --- Blob streams -------------------------------------------------------------------------

enum TDLBlobStreamMode : uint8_t { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };

// Reads and writes a blob field of the dataset's current row in memory.
class TDLBlobStream {
public:
    TDLBlobStream(TDLField& field, TDLBlobStreamMode mode);
    ~TDLBlobStream();
    TDLBlobStream(const TDLBlobStream&) = delete;
    TDLBlobStream& operator=(const TDLBlobStream&) = delete;

    int64_t Size();
    int64_t Read(void* buffer, int64_t count);
    int64_t Write(const void* buffer, int64_t count);
    // Origin 0 beginning, 1 current, 2 end; a position before 0 raises.
    int64_t Seek(int64_t offset, int origin);
    int64_t Position() const { return FCurrentPos; }
    void SetSize(int64_t newSize);

private:
    TBytes GetBlob() const;
    void StoreBlob(TBytes data);

    TDLField& FField;
    TDLDataSet& FDataSet;
    TDLRecordBuffer* FBuffer = nullptr;
    TDLBlobStreamMode FOpenMode;
    bool FOpened = false;
    bool FWritten = false;
    int64_t FCurrentPos = 0;
};

}  // namespace kelvar
