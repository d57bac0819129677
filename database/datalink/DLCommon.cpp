#include "database/datalink/DLCommon.h"

#include <cmath>
#include <ctime>

#include "database/datalink/DLExprCompiler.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kelvar {

const char* const ServerNames[11] = {"SQLBase", "Oracle",    "SQLServer", "Sybase", "DB2",       "Informix",
                                     "ODBC",    "Interbase", "Firebird",  "MySQL",  "PostgreSQL"};

namespace {
const char* const TrueText = "TRUE";
const char* const FalseText = "FALSE";
}  // namespace

std::string ApiLibraryParamName(TDLServerType serverType) {
    size_t i = static_cast<size_t>(serverType);
    if (i > 10) return {};
    return std::string(ServerNames[i]) + " API LIBRARY";
}

void DLAssertionFailure(const char* where) {
    if (where && *where) throw EDatabaseError(std::string("Assertion failure (") + where + ")");
    throw EDatabaseError("Assertion failure");
}

bool IsBlobType(TFieldType t) {
    switch (t) {
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftOraClob: return true;
        default: return false;
    }
}

bool IsSizedType(TFieldType t) {
    switch (t) {
        case ftString:
        case ftBytes:
        case ftVarBytes:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary: return true;
        default: return false;
    }
}

bool IsDateTimeType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

// --- TISqlDatabase -----------------------------------------------------------------------

TISqlDatabase::TISqlDatabase(const TDLStrings& params) : Params(params) {
    AutoCommit = UpperCase(Trim(Params.Values("AUTOCOMMIT"))) == TrueText;
    EnableBCD = UpperCase(Trim(Params.Values("ENABLE BCD"))) == TrueText;
    RTrimCharOutput = UpperCase(Trim(Params.Values("RTRIM CHAR OUTPUT"))) != FalseText;
    MaxStringSize = StrToIntDef(Trim(Params.Values("MAX STRING SIZE")), 255);
}

TISqlDatabase::~TISqlDatabase() = default;

void TISqlDatabase::NotImplemented(const char* operation) const {
    throw EDatabaseError(std::string("Function TISqlDatabase.") + operation + " not implemented");
}

void TISqlDatabase::DoServerError() {
    if (OnServerError) OnServerError(*this);
}

void TISqlDatabase::DoServerActivity() {
    if (OnServerActivity) OnServerActivity(*this);
}

void* TISqlDatabase::GetHandle() { NotImplemented("GetHandle"); }
void TISqlDatabase::SetAutoCommitOption(bool) { NotImplemented("SetAutoCommitOption"); }
void TISqlDatabase::SetHandle(void*) { NotImplemented("SetHandle"); }
std::string TISqlDatabase::GetAutoIncSQL() { return {}; }
void TISqlDatabase::GetStoredProcNames(TDLStrings&) { NotImplemented("GetStoredProcNames"); }
void TISqlDatabase::GetTableNames(TDLStrings&, bool) { NotImplemented("GetTableNames"); }
void TISqlDatabase::GetTableFieldNames(const std::string&, TDLStrings&) { NotImplemented("GetTableFieldNames"); }
std::unique_ptr<TISqlCommand> TISqlDatabase::GetSchemaInfo(int, const std::string&) { NotImplemented("GetSchemaInfo"); }
int TISqlDatabase::ParamValue(int) { NotImplemented("ParamValue"); }
void TISqlDatabase::SetTransIsolation(TDLTransIsolation) { NotImplemented("SetTransIsolation"); }
bool TISqlDatabase::SPDescriptionsAvailable() { NotImplemented("SPDescriptionsAvailable"); }

void TISqlDatabase::Connect(const std::string& remoteDatabase, const std::string& userName,
                            const std::string& password) {
    try {
        DoConnect(remoteDatabase, userName, password);
    } catch (...) {
        // A failure while tearing down replaces the first one.
        DoDisconnect(false);
        throw;
    }
}

void TISqlDatabase::Disconnect(bool force) { DoDisconnect(force); }

void TISqlDatabase::Commit() {
    DoCommit();
    if (AutoCommit) SetAutoCommitOption(true);
    InTransaction = false;
}

void TISqlDatabase::Rollback() {
    DoRollback();
    if (AutoCommit) SetAutoCommitOption(true);
    InTransaction = false;
}

void TISqlDatabase::StartTransaction() {
    if (AutoCommit) SetAutoCommitOption(false);
    DoStartTransaction();
    InTransaction = true;
}

// --- TISqlCommand ------------------------------------------------------------------------

TISqlCommand::TISqlCommand(TISqlDatabase* sqlDatabase) : SqlDatabase(sqlDatabase) {
    DLAssert(sqlDatabase != nullptr, "TISqlCommand.Create");
    MaxCharParamLen = StrToIntDef(Trim(sqlDatabase->Params.Values("MAXCHARPARAMLEN")), 255);
}

// The driver's destructor drops its statement; here only the memory goes.
TISqlCommand::~TISqlCommand() = default;

void TISqlCommand::NotImplemented(const char* operation) const {
    throw EDatabaseError(std::string("Function TISqlCommand.") + operation + " not implemented");
}

void TISqlCommand::SetCommandText(const std::string& text) {
    if (text != CommandText) {
        CommandText = text;
        NativeCommandText.clear();
    }
}

void TISqlCommand::NotifyOwner(bool flag, int value) {
    if (OnOwnerNotify) OnOwnerNotify(flag, value);
}

void TISqlCommand::AllocParamsBuffer() {
    FreeParamsBuffer();
    int size = GetParamsBufferSize();
    if (size > 0) ParamsBuffer.assign(static_cast<size_t>(size), 0);
}

void TISqlCommand::AllocFieldsBuffer() {
    FieldsBuffer.clear();
    int size = InitFieldsBuffer();
    if (size > 0) FieldsBuffer.assign(static_cast<size_t>(size), 0);
    BlobSlots.assign(static_cast<size_t>(BlobFieldCount), TBytes());
}

void TISqlCommand::BindParamsBuffer() { NotImplemented("BindParamsBuffer"); }

void TISqlCommand::FreeParamsBuffer() {
    ParamsBuffer.clear();
    ParamsBuffer.shrink_to_fit();
}

void TISqlCommand::FreeFieldsBuffer() {
    FieldsBuffer.clear();
    FieldsBuffer.shrink_to_fit();
    BlobSlots.clear();
    FieldOffsets.clear();
}

void TISqlCommand::SetFieldsBuffer() { NotImplemented("SetFieldsBuffer"); }

int TISqlCommand::CnvtDateTime2DBDateTime(TFieldType, void*, int, TDateTime) {
    NotImplemented("CnvtDateTime2DBDateTime");
}

void TISqlCommand::InitParamList() { NotImplemented("InitParamList"); }

void TISqlCommand::ReadBlobFields() {
    for (const TDLFieldDesc& d : FieldDescs) {
        if (!IsBlobType(d.FieldType)) continue;
        TBytes data;
        if (ReadBlob(d, data) > 0)
            SetBlobData(d, std::move(data));
        else
            SetBlobData(d, TBytes());
    }
}

TFieldType TISqlCommand::FieldDataType(int) { NotImplemented("FieldDataType"); }
void TISqlCommand::GetFieldDescs(TDLFieldDescList&) { NotImplemented("GetFieldDescs"); }

uint8_t* TISqlCommand::GetFieldsBuffer() { return FieldsBuffer.empty() ? nullptr : FieldsBuffer.data(); }

int TISqlCommand::InitFieldsBuffer() {
    int maxNo = 0;
    for (const TDLFieldDesc& d : FieldDescs) maxNo = std::max(maxNo, d.FieldNo);
    FieldOffsets.assign(static_cast<size_t>(maxNo) + 1, -1);
    int offset = 0;
    int blobs = 0;
    for (TDLFieldDesc& d : FieldDescs) {
        if (d.FieldNo >= 1) FieldOffsets[static_cast<size_t>(d.FieldNo)] = offset;
        d.BlobIndex = IsBlobType(d.FieldType) ? blobs++ : -1;
        offset += d.DataSize + 8;
    }
    BlobFieldCount = blobs;
    RecordDataSize = offset;
    return RecordDataSize + 4 * BlobFieldCount;
}

void* TISqlCommand::GetHandle() { NotImplemented("GetHandle"); }

int TISqlCommand::GetParamsBufferSize() {
    if (!Params) return 0;
    int size = 0;
    for (int i = 0; i < Params->Count(); ++i) {
        const TParam& p = (*Params)[i];
        if (ParamBindType(p) == ftUnknown) throw EDatabaseError("Unknown data type for parameter '" + p.Name + "'");
        if (p.ParamType == ptUnknown) throw EDatabaseError("No parameter type for parameter '" + p.Name + "'");
        size += GetParamSize(p) + 8;
    }
    return size;
}

int TISqlCommand::NativeDataSize(TFieldType) { NotImplemented("NativeDataSize"); }
int TISqlCommand::NativeDataType(TFieldType) { NotImplemented("NativeDataType"); }
bool TISqlCommand::RequiredCnvtFieldType(TFieldType) { NotImplemented("RequiredCnvtFieldType"); }
void TISqlCommand::CloseResultSet() {}
void TISqlCommand::Disconnect(bool) { NotImplemented("Disconnect"); }
void TISqlCommand::Unprepare() { NativeCommandText.clear(); }

void TISqlCommand::Execute() {
    AllocParamsBuffer();
    BindParamsBuffer();
    if (FieldsBuffer.empty()) {
        AllocFieldsBuffer();
        SetFieldsBuffer();
    }
    DoExecute();
}

int TISqlCommand::GetRowsAffected() { NotImplemented("GetRowsAffected"); }
int TISqlCommand::GetStatus() { return 0; }

void TISqlCommand::Prepare(const std::string& sql) {
    if (IsPrepared()) return;
    if (!FieldsBuffer.empty()) FreeFieldsBuffer();
    SetCommandText(sql);
    DoPrepare(sql);
}

bool TISqlCommand::ResultSetExists() { NotImplemented("ResultSetExists"); }
bool TISqlCommand::FetchNextRow() { NotImplemented("FetchNextRow"); }

void TISqlCommand::MakeNamesUnique(TDLFieldDescList& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        std::string own = list[i].FieldName;
        if (own.empty()) own = "COLUMN" + std::to_string(i + 1);
        std::string candidate = own;
        int counter = 0;
        // Search the earlier names from the nearest one; a hit restarts the search.
        size_t j = i;
        while (j > 0) {
            --j;
            if (SameText(list[j].FieldName, candidate)) {
                candidate = own + "_" + std::to_string(++counter);
                j = i;
            }
        }
        if (candidate != list[i].FieldName) list[i].FieldName = candidate.substr(0, MaxFieldNameLength);
    }
}

void TISqlCommand::InitFieldDescs() {
    TDLFieldDescList list;
    struct Replace {
        TISqlCommand& cmd;
        TDLFieldDescList& list;
        ~Replace() {
            if (!cmd.FieldDescs.empty() && !cmd.FieldsBuffer.empty()) cmd.FreeFieldsBuffer();
            cmd.FieldDescs = std::move(list);
        }
    };
    {
        Replace replace{*this, list};
        GetFieldDescs(list);
        MakeNamesUnique(list);
        int blobs = 0;
        for (size_t i = 0; i < list.size(); ++i) {
            list[i].FieldNo = static_cast<int>(i) + 1;
            list[i].BlobIndex = IsBlobType(list[i].FieldType) ? blobs++ : -1;
        }
        BlobFieldCount = blobs;
    }
}

bool TISqlCommand::GetCnvtFieldData(const TDLFieldDesc&, void*, int) { NotImplemented("GetCnvtFieldData"); }
void TISqlCommand::GetOutputParams() { NotImplemented("GetOutputParams"); }
int TISqlCommand::ReadBlob(const TDLFieldDesc&, TBytes&) { NotImplemented("ReadBlob"); }
int TISqlCommand::WriteBlob(int, const void*, int) { NotImplemented("WriteBlob"); }
int TISqlCommand::WriteBlobByName(const std::string&, const void*, int) { NotImplemented("WriteBlobByName"); }

uint8_t* TISqlCommand::FieldOffset(int fieldNo) {
    DLAssert(fieldNo >= 1 && static_cast<size_t>(fieldNo) < FieldOffsets.size(), "FieldOffset");
    int offset = FieldOffsets[static_cast<size_t>(fieldNo)];
    DLAssert(offset >= 0 && !FieldsBuffer.empty() && static_cast<size_t>(offset) + 8 <= FieldsBuffer.size(),
             "FieldOffset");
    return FieldsBuffer.data() + offset;
}

const TBytes& TISqlCommand::GetBlobData(const TDLFieldDesc& fieldDesc) const {
    DLAssert(!FieldsBuffer.empty() && fieldDesc.BlobIndex >= 0 &&
                 static_cast<size_t>(fieldDesc.BlobIndex) < BlobSlots.size(),
             "GetBlobData");
    return BlobSlots[static_cast<size_t>(fieldDesc.BlobIndex)];
}

void TISqlCommand::SetBlobData(const TDLFieldDesc& fieldDesc, TBytes data) {
    DLAssert(!FieldsBuffer.empty() && fieldDesc.BlobIndex >= 0 &&
                 static_cast<size_t>(fieldDesc.BlobIndex) < BlobSlots.size(),
             "SetBlobData");
    BlobSlots[static_cast<size_t>(fieldDesc.BlobIndex)] = std::move(data);
}

bool TISqlCommand::IsPrepared() const { return !Trim(NativeCommandText).empty(); }

TFieldType TISqlCommand::ParamBindType(const TParam& param) {
    if (param.DataType == ftUnknown && param.ParamType == ptInput && param.IsNull()) return ftString;
    return param.DataType;
}

int TISqlCommand::GetParamSize(const TParam& param) {
    TFieldType type = ParamBindType(param);
    if (RequiredCnvtFieldType(type) || type == ftGuid) return NativeDataSize(type);
    if (IsBlobType(type)) return 0;
    // A NULL text: just the terminator's room.
    int size = type == param.DataType ? param.GetDataSize() : 1;
    if (CommandType == ctStoredProc && (type == ftString || type == ftBytes || type == ftVarBytes))
        size = std::max(size, MaxCharParamLen + 1);
    return size;
}

bool TISqlCommand::GetFieldAsString(int fieldNo, std::string& value) {
    const TDLFieldDesc& d = FieldDescByNo(fieldNo);
    if (IsBlobType(d.FieldType)) {
        const TBytes& b = GetBlobData(d);
        value.assign(b.begin(), b.end());
        return !b.empty();
    }
    std::vector<char> buf(static_cast<size_t>(std::max(d.DataSize, 8)) + 1, 0);
    bool present = GetCnvtFieldData(d, buf.data(), d.DataSize);
    value = present ? std::string(buf.data(), strnlen(buf.data(), buf.size())) : std::string();
    return present;
}

bool TISqlCommand::GetFieldAsSmallint(int fieldNo, int16_t& value) {
    const TDLFieldDesc& d = FieldDescByNo(fieldNo);
    DLAssert(d.DataSize <= 2, "GetFieldAsSmallint");
    uint8_t buf[8] = {};
    bool present = GetCnvtFieldData(d, buf, d.DataSize);
    value = present ? ReadBuf<int16_t>(buf) : 0;
    return present;
}

void TISqlCommand::AddParam(const std::string& name, TFieldType dataType, TParamType paramType) {
    DLAssert(Params != nullptr, "AddParam");
    Params->CreateParam(dataType, name, paramType);
}

const TDLFieldDesc& TISqlCommand::FieldDescByNo(int fieldNo) const {
    if (fieldNo >= 1 && static_cast<size_t>(fieldNo) <= FieldDescs.size() &&
        FieldDescs[static_cast<size_t>(fieldNo) - 1].FieldNo == fieldNo)
        return FieldDescs[static_cast<size_t>(fieldNo) - 1];
    for (const TDLFieldDesc& d : FieldDescs)
        if (d.FieldNo == fieldNo) return d;
    throw EDatabaseError("Description of field 'FieldNo=" + std::to_string(fieldNo) + "' not found");
}

}  // namespace kelvar

// ===== SQL text and value helpers =====

namespace kelvar {

namespace {

bool IsParamNameEnd(char c) {
    return c == '\n' || c == '\r' || c == ' ' || c == '(' || c == ')' || c == ',' || c == ';';
}

bool IsWordSeparator(char c) {
    return c == '\0' || c == '\n' || c == '\r' || c == ' ' || c == ')' || c == ',' || c == ';';
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* const ClauseKeywords[] = {"SELECT", "ALL",   "DISTINCT", "FROM", "WHERE",
                                      "ORDER",  "GROUP", "HAVING",   "UNION"};
const char* const JoinKeywords[] = {"JOIN", "ON", "LEFT", "RIGHT", "INNER", "OUTER", "FULL"};
const char* const AggregatePrefixes[] = {"AVG", "COUNT", "MAX", "STDDEV", "SUM"};

bool InList(const std::string& word, const char* const* list, size_t n) {
    std::string u = UpperCase(word);
    for (size_t i = 0; i < n; ++i)
        if (u == list[i]) return true;
    return false;
}

bool IsClauseKeyword(const std::string& w) { return InList(w, ClauseKeywords, std::size(ClauseKeywords)); }
bool IsJoinKeyword(const std::string& w) { return InList(w, JoinKeywords, std::size(JoinKeywords)); }

// --- the SQL tokenizer of GetTableNameFromSQL ---

enum TSQLToken {
    stUnknown,
    stTableName,
    stFieldName,
    stValue,
    stSelect,
    stFrom,
    stWhere,
    stGroupBy,
    stHaving,
    stUnion,
    stPlan,
    stOrderBy,
    stForUpdate,
    stEnd,
    stOther
};

bool IsIdentChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 0x80;
}

struct TSQLTokenizer {
    const std::string& S;
    size_t Pos = 0;

    void SkipBlanks() {
        while (Pos < S.size() && IsBlank(S[Pos])) ++Pos;
    }

    // Reads one token; Section is the clause the walk is in (decides table vs field names).
    TSQLToken Next(TSQLToken section, std::string& text) {
        text.clear();
        SkipBlanks();
        if (Pos >= S.size()) return stEnd;
        char c = S[Pos];
        if (c == '\'') {
            size_t end = S.find('\'', Pos + 1);
            if (end == std::string::npos) end = S.size() - 1;
            text = S.substr(Pos + 1, end - Pos - 1);
            Pos = end + 1;
            return stValue;
        }
        if (c == '"') {
            size_t end = S.find('"', Pos + 1);
            if (end == std::string::npos) end = S.size() - 1;
            text = S.substr(Pos + 1, end - Pos - 1);
            Pos = end + 1;
            return section == stFrom ? stTableName : stFieldName;
        }
        if (IsIdentChar(c)) {
            size_t start = Pos;
            while (Pos < S.size() && IsIdentChar(S[Pos])) ++Pos;
            text = S.substr(start, Pos - start);
            std::string u = UpperCase(text);
            auto nextWordIs = [this](const char* w) {
                size_t save = Pos;
                SkipBlanks();
                size_t start2 = Pos;
                while (Pos < S.size() && IsIdentChar(S[Pos])) ++Pos;
                bool yes = UpperCase(S.substr(start2, Pos - start2)) == w;
                if (!yes) Pos = save;
                return yes;
            };
            if (u == "SELECT") return stSelect;
            if (u == "FROM") return stFrom;
            if (u == "WHERE") return stWhere;
            if (u == "HAVING") return stHaving;
            if (u == "UNION") return stUnion;
            if (u == "PLAN") return stPlan;
            if (u == "GROUP" && nextWordIs("BY")) return stGroupBy;
            if (u == "ORDER" && nextWordIs("BY")) return stOrderBy;
            if (u == "FOR" && nextWordIs("UPDATE")) return stForUpdate;
            if (std::isdigit(static_cast<unsigned char>(c))) return stValue;
            // A function call is one field expression with its argument list.
            if (section == stSelect && Pos < S.size() && S[Pos] == '(') {
                int depth = 0;
                size_t p = Pos;
                for (; p < S.size(); ++p) {
                    if (S[p] == '(')
                        ++depth;
                    else if (S[p] == ')' && --depth == 0) {
                        ++p;
                        break;
                    }
                }
                text = S.substr(start, p - start);
                Pos = p;
            }
            return section == stFrom ? stTableName : stFieldName;
        }
        ++Pos;
        text = std::string(1, c);
        return stOther;
    }
};

}  // namespace

bool StartsWithText(const std::string& s, const std::string& prefix) {
    return !SameText(s, prefix) && s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool IsSelectStatement(const std::string& sql) {
    size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\r' || sql[i] == '\n')) ++i;
    return UpperCase(sql.substr(i, 7)) == "SELECT ";
}

bool IsAggregateExpr(const std::string& expr) {
    size_t p = expr.find('(');
    if (p == std::string::npos) return false;
    std::string head = UpperCase(Trim(expr.substr(0, p)));
    for (const char* a : AggregatePrefixes)
        if (head.rfind(a, 0) == 0) return true;
    return false;
}

std::string GetTableNameFromSQL(const std::string& sql) {
    if (!IsSelectStatement(sql)) return {};
    TSQLTokenizer tok{sql};
    TSQLToken section = stUnknown;
    std::string taken;
    bool single = true;
    std::string text;
    for (;;) {
        TSQLToken t = tok.Next(section, text);
        switch (t) {
            case stEnd: return single ? Trim(taken) : std::string();
            case stGroupBy:
            case stUnion:
            case stPlan: return {};
            case stSelect:
            case stFrom:
            case stWhere:
            case stHaving:
            case stOrderBy:
            case stForUpdate: section = t; break;
            case stFieldName:
                if (section == stSelect && IsAggregateExpr(text)) return {};
                break;
            case stTableName:
            case stValue:
                if (section == stFrom && taken.empty()) {
                    taken = text;
                    while (tok.Pos < sql.size() && sql[tok.Pos] == '.') {
                        ++tok.Pos;
                        std::string more;
                        tok.Next(section, more);
                        taken += "." + more;
                    }
                    std::string rest = sql.substr(tok.Pos);
                    std::string restTrimmed = TrimLeft(rest);
                    if ((!restTrimmed.empty() && restTrimmed[0] == ',') ||
                        rest.find("INNER JOIN ") != std::string::npos || rest.find("OUTER JOIN ") != std::string::npos)
                        single = false;
                }
                break;
            default: break;
        }
    }
}

void DLCreateParams(TParams* params, const std::string& sql, char markerChar) {
    char quote = 0;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            ++i;
            continue;
        }
        if (c == markerChar && i + 1 < n && sql[i + 1] == markerChar) {
            i += 2;
            continue;
        }
        if (c != markerChar) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        char q = 0;
        while (j < n) {
            char d = sql[j];
            if (q) {
                if (d == q) q = 0;
            } else if (d == '\'' || d == '"') {
                q = d;
            } else if (IsParamNameEnd(d)) {
                break;
            }
            ++j;
        }
        std::string name = sql.substr(i + 1, j - i - 1);
        if (!name.empty() && (name[0] == '\'' || name[0] == '"')) {
            char qc = name[0];
            name = name.substr(1);
            if (!name.empty() && name.back() == qc) name.pop_back();
        }
        if (!name.empty() && params) {
            params->CreateParam(ftUnknown, name, ptUnknown);
            params->FindParam(name)->ParamType = ptInput;
        }
        i = j;
    }
}

bool DLReplaceMacro(bool firstOnly, const std::string& macro, const std::string& value, std::string& sql) {
    if (macro.empty()) return false;
    bool replaced = false;
    int from = 1;
    for (;;) {
        int p = PosText(macro, sql, from);
        if (p == 0) break;
        size_t at = static_cast<size_t>(p - 1);
        size_t after = at + macro.size();
        int quotes = 0;
        for (size_t k = 0; k < at; ++k)
            if (sql[k] == '\'' || sql[k] == '"') ++quotes;
        bool counts = (after >= sql.size() || IsParamNameEnd(sql[after])) && quotes % 2 == 0;
        if (counts) {
            sql.replace(at, macro.size(), value);
            replaced = true;
            if (firstOnly) break;
            from = static_cast<int>(at + value.size()) + 1;
        } else {
            from = p + 1;
        }
    }
    return replaced;
}

std::string StripQualifier(const std::string& name) {
    size_t p = name.rfind('.');
    return p == std::string::npos ? name : name.substr(p + 1);
}

std::string QuoteIdentifier(const std::string& name, bool quote) {
    if (!quote) return name;
    std::string out = "\"";
    for (char c : name) {
        if (c == '.')
            out += "\".\"";
        else
            out += c;
    }
    return out + "\"";
}

int PosText(const std::string& sub, const std::string& s, int from) {
    size_t start = from <= 1 ? 0 : static_cast<size_t>(from - 1);
    if (start > s.size()) return 0;
    size_t p = UpperCase(s).find(UpperCase(sub), start);
    return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

std::string StripQuotes(const std::string& s) {
    std::string r = s;
    if (!r.empty() && (r.front() == '"' || r.front() == '\'')) r.erase(0, 1);
    if (!r.empty() && (r.back() == '"' || r.back() == '\'')) r.pop_back();
    return r;
}

bool HasWildcard(const std::string& s) { return s.find('%') != std::string::npos; }

void SplitObjectName(const std::string& s, std::string& owner, std::string& name) {
    size_t p = s.find('.');
    if (p == std::string::npos) {
        owner.clear();
        name = s;
    } else {
        owner = s.substr(0, p);
        name = s.substr(p + 1);
    }
    if (Trim(owner).empty()) owner = "%";
    if (Trim(name).empty()) name = "%";
}

void RTrimText(char* text) {
    if (!text) return;
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
}

std::string GenerateUpdateSQL(int kind, int updateMode, const std::string& table, bool quote,
                              const std::vector<TDLUpdateField>& fields, const TDLStrings& origins) {
    std::string selectList, setList, columnList, valueList, where;
    auto join = [](std::string& list, const std::string& item, const char* sep) {
        if (!list.empty()) list += sep;
        list += item;
    };
    for (const TDLUpdateField& f : fields) {
        if (!f.IsDataField) continue;
        bool changed = f.IsBlob ? (f.BlobModified || !VarEqualValues(f.NewValue, f.OldValue, false, false, false))
                                : !VarEqualValues(f.NewValue, f.OldValue, false, false, false);
        int originIndex = origins.IndexOfName(f.FieldName);
        std::string origin = originIndex >= 0 ? origins.ValueFromIndex(originIndex) : f.FieldName;
        std::string column = QuoteIdentifier(StripQualifier(origin), quote);
        switch (kind) {
            case ukRefresh:
                join(selectList, column == f.FieldName ? column : column + " as " + f.FieldName, ", ");
                break;
            case ukModify:
                if (changed)
                    join(setList,
                         f.NewValue.IsNull() ? "  " + column + " = NULL" : "  " + column + " = :" + f.FieldName, ", ");
                break;
            case ukInsert:
                if (changed) {
                    join(columnList, column, ", ");
                    join(valueList, f.NewValue.IsNull() ? std::string("NULL") : ":" + f.FieldName, ", ");
                }
                break;
            default: break;
        }
        if (kind != ukInsert && !f.IsBlob &&
            (updateMode == upWhereAll || (updateMode == upWhereChanged && (changed || kind == ukRefresh)) || f.InKey)) {
            join(where, f.OldValue.IsNull() ? "  " + column + " is NULL" : "  " + column + " = :OLD_" + f.FieldName,
                 " and");
        }
    }
    std::string quotedTable = QuoteIdentifier(table, quote);
    std::string whereClause = where.empty() ? std::string() : "where " + where;
    switch (kind) {
        case ukRefresh:
            return whereClause.empty() ? std::string()
                                       : "select " + selectList + " from " + quotedTable + " " + whereClause;
        case ukModify:
            return setList.empty() ? std::string() : "update " + quotedTable + " set " + setList + " " + whereClause;
        case ukInsert: return "insert into " + quotedTable + " (" + columnList + ") values(" + valueList + ")";
        case ukDelete: return "delete from " + quotedTable + " " + whereClause;
        default: return {};
    }
}

namespace {

// Reads words for GetFieldOrigins: a word ends at a separator outside quotes and brackets.
struct TWordReader {
    const std::string& S;
    size_t Pos = 0;
    bool CommaAfter = false;

    bool AtEnd() {
        while (Pos < S.size() && IsBlank(S[Pos])) ++Pos;
        return Pos >= S.size();
    }

    std::string Next() {
        CommaAfter = false;
        if (AtEnd()) return {};
        size_t start = Pos;
        char quote = 0;
        int depth = 0;
        while (Pos < S.size()) {
            char c = S[Pos];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'' || c == '`') {
                quote = c;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && depth > 0) {
                --depth;
            } else if (depth == 0 && IsWordSeparator(c)) {
                break;
            }
            ++Pos;
        }
        std::string word = S.substr(start, Pos - start);
        if (word.empty() && Pos < S.size()) {
            // a separator on its own
            word = std::string(1, S[Pos]);
            ++Pos;
        }
        while (Pos < S.size() && IsBlank(S[Pos])) ++Pos;
        while (Pos < S.size() && (S[Pos] == ',' || S[Pos] == ';')) {
            if (S[Pos] == ',') CommaAfter = true;
            ++Pos;
            while (Pos < S.size() && IsBlank(S[Pos])) ++Pos;
        }
        if (word == ",") {
            CommaAfter = true;
            word.clear();
        }
        return word;
    }
};

std::string StripNameQuotes(const std::string& name) {
    if (name.size() >= 2) {
        char f = name.front(), b = name.back();
        if ((f == '"' || f == '\'' || f == '`') && f == b) return name.substr(1, name.size() - 2);
    }
    return name;
}

// Index of the first name end (word separator or "=") outside quotes and brackets.
size_t ItemNameEnd(const std::string& item) {
    char quote = 0;
    int depth = 0;
    for (size_t i = 0; i < item.size(); ++i) {
        char c = item[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'' || c == '`') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (depth == 0 && (IsWordSeparator(c) || c == '=')) {
            return i;
        }
    }
    return item.size();
}

}  // namespace

void GetFieldOrigins(const std::string& sql, const std::vector<std::string>& fieldNames, TDLStrings& origins,
                     TDLStrings& tables) {
    DLAssert(!fieldNames.empty());
    origins.Clear();
    tables.Clear();
    TDLStrings select;  // name = expression
    TWordReader reader{sql};
    std::string word = reader.Next();
    auto addSelectItem = [&](const std::string& item) {
        if (item.empty()) return;
        if (item.find('*') != std::string::npos) {
            for (const std::string& f : fieldNames)
                if (select.IndexOfName(f) < 0) select.Add(f + "=" + f);
            return;
        }
        size_t end = ItemNameEnd(item);
        std::string expr = item.substr(0, end);
        std::string rest = Trim(item.substr(end));
        std::string name;
        if (!rest.empty() && rest[0] == '=') {
            name = expr;
            expr = Trim(rest.substr(1));
        } else if (!rest.empty()) {
            name = rest;
            if (UpperCase(name.substr(0, 3)) == "AS ") name = Trim(name.substr(3));
        } else {
            name = expr;
        }
        name = StripNameQuotes(StripQualifier(name));
        if (select.IndexOfName(name) >= 0) {
            int k = 1;
            while (select.IndexOfName(name + "_" + std::to_string(k)) >= 0) ++k;
            name += "_" + std::to_string(k);
        }
        select.Add(name + "=" + expr);
    };
    while (!word.empty() || !reader.AtEnd()) {
        std::string u = UpperCase(word);
        if (u == "SELECT") {
            std::string item;
            word = reader.Next();
            while (!(word.empty() && reader.AtEnd())) {
                std::string uw = UpperCase(word);
                if (IsClauseKeyword(word) && uw != "ALL" && uw != "DISTINCT") break;
                if (uw != "ALL" && uw != "DISTINCT" && !word.empty()) {
                    if (item.empty() || word == "." || item.back() == '.')
                        item += word;
                    else
                        item += " " + word;
                }
                bool comma = reader.CommaAfter;
                word = reader.Next();
                if (comma) {
                    addSelectItem(item);
                    item.clear();
                }
            }
            addSelectItem(item);
            continue;
        }
        if (u == "FROM") {
            std::vector<std::string> item;
            bool skippingOn = false;
            auto flush = [&]() {
                if (!item.empty()) {
                    std::string table = item[0];
                    std::string alias = item.size() > 1 ? item.back() : table;
                    tables.Add(UpperCase(StripNameQuotes(alias)) + "=" + table);
                }
                item.clear();
            };
            word = reader.Next();
            while (!(word.empty() && reader.AtEnd())) {
                if (IsClauseKeyword(word)) break;
                bool comma = reader.CommaAfter;
                if (IsJoinKeyword(word)) {
                    flush();
                    skippingOn = UpperCase(word) == "ON";
                } else if (!skippingOn && !word.empty()) {
                    item.push_back(word);
                }
                if (comma) {
                    flush();
                    skippingOn = false;
                }
                word = reader.Next();
            }
            flush();
            continue;
        }
        word = reader.Next();
    }
    for (int i = 0; i < select.Count(); ++i) {
        std::string name = select.Names(i);
        std::string expr = select.ValueFromIndex(i);
        std::string table, column;
        size_t p = expr.rfind('.');
        if (p != std::string::npos) {
            std::string qualifier = expr.substr(0, p);
            column = expr.substr(p + 1);
            int t = tables.IndexOfName(UpperCase(StripNameQuotes(qualifier)));
            table = t >= 0 ? tables.ValueFromIndex(t) : qualifier;
        } else {
            column = expr;
            table = tables.Count() > 0 ? tables.ValueFromIndex(0) : std::string();
        }
        origins.Add(name + "=" + table + "." + column);
    }
}

namespace {

int CompareLocale(const std::string& a, const std::string& b, bool caseInsensitive) {
    std::string x = caseInsensitive ? LowerCase(a) : a;
    std::string y = caseInsensitive ? LowerCase(b) : b;
    int c = std::strcoll(x.c_str(), y.c_str());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int VarCompareValues(const TDLVariant& a, const TDLVariant& b, bool caseInsensitive) {
    if (a.IsNull() && b.IsNull()) return 0;
    if (a.IsNull()) return -1;
    if (b.IsNull()) return 1;
    if (a.IsArray()) {
        const auto& x = a.AsArray();
        const auto& y = b.AsArray();
        for (size_t i = 0; i < x.size(); ++i) {
            int c = VarCompareValues(x[i], i < y.size() ? y[i] : TDLVariant(), caseInsensitive);
            if (c != 0) return c;
        }
        return 0;
    }
    if (a.IsText() && b.IsText()) return CompareLocale(a.AsString(), b.AsString(), caseInsensitive);
    return VarCompare(a, b);
}

bool VarEqualValues(const TDLVariant& a, const TDLVariant& b, bool caseInsensitive, bool partial, bool asText) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    if (a.IsArray() || b.IsArray()) {
        if (!a.IsArray() || !b.IsArray()) return false;
        const auto& x = a.AsArray();
        const auto& y = b.AsArray();
        if (x.size() != y.size()) return false;
        for (size_t i = 0; i < x.size(); ++i)
            if (!VarEqualValues(x[i], y[i], caseInsensitive, partial, asText)) return false;
        return true;
    }
    TDLVariant va = a, vb = b;
    if (asText) {
        if (!va.IsText()) va = TDLVariant(va.AsString());
        if (!vb.IsText()) vb = TDLVariant(vb.AsString());
    }
    if (va.IsText() && vb.IsText()) {
        std::string x = va.AsString(), y = vb.AsString();
        if (asText && partial) {
            if (x.size() < y.size()) return false;
            x = x.substr(0, y.size());
        }
        return caseInsensitive ? SameText(x, y) : x == y;
    }
    return VarCompare(va, vb) == 0;
}

}  // namespace kelvar

// ===== filter expressions =====

namespace kelvar {

namespace {

[[noreturn]] void BadExpression() { throw EDatabaseError("Incorrectly formed filter expression"); }

bool SafeEqual(const TDLVariant& a, const TDLVariant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    if (a.IsText() && b.IsText()) return a.AsString() == b.AsString();
    try {
        return VarCompare(a, b) == 0;
    } catch (const EVariantError&) {
        return false;
    }
}

TDLVariant Arithmetic(TDLCanOp op, const TDLVariant& a, const TDLVariant& b) {
    if (a.IsNull() || b.IsNull()) return TDLVariant();
    using K = TDLVariant::Kind;
    if (op == coADD && a.IsText() && b.IsText()) return TDLVariant(a.AsString() + b.AsString());
    bool ints = a.GetKind() == K::vkInteger && b.GetKind() == K::vkInteger;
    switch (op) {
        case coADD: return ints ? TDLVariant(a.AsInteger() + b.AsInteger()) : TDLVariant(a.AsFloat() + b.AsFloat());
        case coSUB: return ints ? TDLVariant(a.AsInteger() - b.AsInteger()) : TDLVariant(a.AsFloat() - b.AsFloat());
        case coMUL: return ints ? TDLVariant(a.AsInteger() * b.AsInteger()) : TDLVariant(a.AsFloat() * b.AsFloat());
        case coDIV: {
            double d = b.AsFloat();
            if (d == 0) throw EVariantError("Division by zero");
            return TDLVariant(a.AsFloat() / d);
        }
        case coMOD:
        case coREM: {
            int64_t d = b.AsInteger();
            if (d == 0) throw EVariantError("Division by zero");
            return TDLVariant(a.AsInteger() % d);
        }
        default: BadExpression();
    }
}

void Flatten(const TDLVariant& v, TDLVariant::TArray& out) {
    if (v.IsArray()) {
        for (const TDLVariant& e : v.AsArray()) Flatten(e, out);
    } else {
        out.push_back(v);
    }
}

}  // namespace

TDLExprParser::TDLExprParser(IDLExprDataSource& dataSource, const std::string& text, TDLFilterOptions options)
    : DataSource(dataSource), Options(options) {
    TDLCompiledExpr compiled = CompileFilterExpression(text, options);
    Version = compiled.Version;
    Root = std::move(compiled.Root);
}

TDLExprParser::~TDLExprParser() = default;

TDLVariant TDLExprParser::Evaluate() {
    if (Version != 2) throw EDatabaseError("Version " + std::to_string(Version) + " of expression is not supported");
    if (!Root) return TDLVariant();
    return Eval(*Root);
}

bool TDLExprParser::EvaluateBoolean() { return Evaluate().AsBoolean(); }

bool TDLExprParser::Like(const TDLVariant& value, const TDLVariant& pattern, bool caseInsensitive) {
    if (value.IsNull() || pattern.IsNull()) return value.IsNull() && pattern.IsNull();
    std::string v = value.AsString();
    std::string p = pattern.AsString();
    if (Options.NoPartialCompare) return caseInsensitive ? SameText(v, p) : v == p;
    size_t star = p.find('*');
    if (star != std::string::npos) p = p.substr(0, star);
    if (v.size() < p.size()) return false;
    v = v.substr(0, p.size());
    return caseInsensitive ? SameText(v, p) : v == p;
}

TDLVariant TDLExprParser::Eval(const TDLExprNode& node) {
    auto arg = [&](size_t i) -> const TDLExprNode& {
        if (i >= node.Args.size() || !node.Args[i]) BadExpression();
        return *node.Args[i];
    };
    switch (node.NodeClass) {
        case nodeNULL: return TDLVariant();
        case nodeUNARY: {
            TDLVariant v = Eval(arg(0));
            switch (node.Operator) {
                case coISBLANK: return TDLVariant(v.IsBlank());
                case coNOTBLANK: return TDLVariant(!v.IsBlank());
                case coNOT: return v.IsNull() ? TDLVariant() : TDLVariant(!v.AsBoolean());
                case coMINUS:
                    if (v.IsNull()) return v;
                    if (v.GetKind() == TDLVariant::vkInteger) return TDLVariant(-v.AsInteger());
                    return TDLVariant(-v.AsFloat());
                case coUPPER: return v.IsNull() ? v : TDLVariant(UpperCase(v.AsString()));
                case coLOWER: return v.IsNull() ? v : TDLVariant(LowerCase(v.AsString()));
                default: BadExpression();
            }
        }
        case nodeBINARY: {
            switch (node.Operator) {
                case coAND: {
                    if (!Eval(arg(0)).AsBoolean()) return TDLVariant(false);
                    return TDLVariant(Eval(arg(1)).AsBoolean());
                }
                case coOR: {
                    if (Eval(arg(0)).AsBoolean()) return TDLVariant(true);
                    return TDLVariant(Eval(arg(1)).AsBoolean());
                }
                default: break;
            }
            TDLVariant a = Eval(arg(0));
            TDLVariant b = Eval(arg(1));
            switch (node.Operator) {
                case coEQ:
                case coNE:
                case coGT:
                case coLT:
                case coGE:
                case coLE: {
                    if (a.IsNull() || b.IsNull()) {
                        bool bothNull = a.IsNull() && b.IsNull();
                        if (node.Operator == coEQ) return TDLVariant(bothNull);
                        if (node.Operator == coNE) return TDLVariant(!bothNull);
                        return TDLVariant(false);
                    }
                    int c = VarCompare(a, b);
                    switch (node.Operator) {
                        case coEQ: return TDLVariant(c == 0);
                        case coNE: return TDLVariant(c != 0);
                        case coGT: return TDLVariant(c > 0);
                        case coLT: return TDLVariant(c < 0);
                        case coGE: return TDLVariant(c >= 0);
                        default: return TDLVariant(c <= 0);
                    }
                }
                case coADD:
                case coSUB:
                case coMUL:
                case coDIV:
                case coMOD:
                case coREM: return Arithmetic(node.Operator, a, b);
                case coLIKE: return TDLVariant(Like(a, b, Options.CaseInsensitive));
                case coIN: {
                    if (!b.IsArray()) return TDLVariant(SafeEqual(a, b));
                    for (const TDLVariant& e : b.AsArray()) {
                        // The walk ends at the first empty element.
                        if (e.IsBlank()) break;
                        if (SafeEqual(a, e)) return TDLVariant(true);
                    }
                    return TDLVariant(false);
                }
                case coASSIGN: return a;
                default: BadExpression();
            }
        }
        case nodeCOMPARE: {
            TDLVariant a = Eval(arg(0));
            TDLVariant b = Eval(arg(1));
            TDLCanOp op = node.Operator;
            if (a.IsNull() != b.IsNull()) return TDLVariant(op == coNE);
            if (a.IsNull()) return TDLVariant(op == coEQ || op == coGE || op == coLE || op == coLIKE);
            std::string x = a.AsString(), y = b.AsString();
            if (node.CaseInsensitive) {
                x = UpperCase(x);
                y = UpperCase(y);
            }
            if (node.PartialLength > 0) {
                x = x.substr(0, static_cast<size_t>(node.PartialLength));
                y = y.substr(0, static_cast<size_t>(node.PartialLength));
            }
            switch (op) {
                case coEQ: return TDLVariant(x == y);
                case coNE: return TDLVariant(x != y);
                case coLIKE: return TDLVariant(Like(TDLVariant(x), TDLVariant(y), false));
                default: BadExpression();
            }
        }
        case nodeFIELD: {
            std::string key = UpperCase(node.Name);
            auto it = FieldCache.find(key);
            int index;
            if (it != FieldCache.end()) {
                index = it->second;
            } else {
                index = DataSource.FindFieldIndex(node.Name);
                if (index < 0) throw EDatabaseError("Field '" + node.Name + "' not found");
                FieldCache[key] = index;
            }
            return DataSource.GetFieldValue(index);
        }
        case nodeCONST: {
            switch (node.ConstType) {
                case ftString:
                case ftFixedChar:
                case ftWideString:
                case ftGuid: return TDLVariant(node.Value.AsString());
                case ftSmallint:
                case ftWord:
                case ftInteger:
                case ftAutoInc:
                case ftLargeint: return TDLVariant(node.Value.AsInteger());
                case ftBoolean: return TDLVariant(node.Value.AsBoolean());
                case ftFloat:
                case ftCurrency: return TDLVariant(node.Value.AsFloat());
                case ftBCD: return TDLVariant(node.Value.AsCurrency());
                case ftDate:
                case ftTime:
                case ftDateTime: return TDLVariant::FromDateTime(node.Value.AsDateTime());
                default: BadExpression();
            }
        }
        case nodeFUNC: return EvalFunction(node);
        case nodeLIST: {
            TDLVariant::TArray items;
            for (const auto& a : node.Args) {
                if (!a) BadExpression();
                Flatten(Eval(*a), items);
            }
            if (items.size() == 1) return items[0];
            return TDLVariant(std::move(items));
        }
    }
    BadExpression();
}

TDLVariant TDLExprParser::EvalFunction(const TDLExprNode& node) {
    std::string name = UpperCase(Trim(node.Name));
    if (name.empty()) throw EDatabaseError("Expression expected but " + node.Name + " found");
    TDLVariant arg = node.Args.empty() || !node.Args[0] ? TDLVariant() : Eval(*node.Args[0]);
    if (name == "GETDATE") {
        std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        return TDLVariant::FromDateTime(
            EncodeDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, std::min(t.tm_sec, 59), 0));
    }
    if (name == "DATE") return TDLVariant::FromDateTime(arg.IsNull() ? 0 : std::trunc(arg.AsDateTime()));
    if (name == "TIME") {
        if (arg.IsNull()) return TDLVariant::FromDateTime(0);
        double v = arg.AsDateTime();
        return TDLVariant::FromDateTime(std::fabs(v - std::trunc(v)));
    }
    if (name == "SUBSTRING") {
        TDLVariant::TArray parts = arg.IsArray() ? arg.AsArray() : TDLVariant::TArray{arg};
        std::string text = parts.empty() ? std::string() : parts[0].AsString();
        int64_t start = 1;
        if (parts.size() > 1 && parts[1].GetKind() == TDLVariant::vkInteger) start = parts[1].AsInteger();
        if (parts.size() < 3 || parts[2].IsNull()) return TDLVariant(std::string());
        int64_t count = parts[2].AsInteger();
        if (start < 1) start = 1;
        if (count <= 0 || static_cast<size_t>(start - 1) >= text.size()) return TDLVariant(std::string());
        return TDLVariant(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
    }
    if (name == "TRIM") return TDLVariant(Trim(arg.AsString()));
    if (name == "TRIMLEFT") return TDLVariant(TrimLeft(arg.AsString()));
    if (name == "TRIMRIGHT") return TDLVariant(TrimRight(arg.AsString()));
    if (name == "LOWER") return TDLVariant(LowerCase(arg.AsString()));
    if (name == "UPPER") return TDLVariant(UpperCase(arg.AsString()));
    if (name == "DAY" || name == "MONTH" || name == "YEAR" || name == "HOUR" || name == "MINUTE" || name == "SECOND") {
        if (arg.IsNull()) return TDLVariant(0);
        int y, m, d, h, n, s, ms;
        DecodeDate(arg.AsDateTime(), y, m, d);
        DecodeTime(arg.AsDateTime(), h, n, s, ms);
        int v = name == "DAY"      ? d
                : name == "MONTH"  ? m
                : name == "YEAR"   ? y
                : name == "HOUR"   ? h
                : name == "MINUTE" ? n
                                   : s;
        return TDLVariant(v);
    }
    throw EDatabaseError("Expression expected but " + node.Name + " found");
}

}  // namespace kelvar
