#pragma once
// Helpers the DataLink engine's units share (DLEngine, DLEngine_DataSet, DLEngine_Query); not for
// use outside them.
#include <string>
#include <vector>

#include "database/datalink/DLEngine.h"

namespace kelvar::dlengine {

std::string Fmt(const char* format, const std::string& a);

[[noreturn]] inline void DBError(const std::string& message) { throw EDatabaseError(message); }

inline constexpr const char* SSessionActive = "Cannot perform this operation on an active session";
inline constexpr const char* SDatabaseOpen = "Cannot perform this operation on an open database";
inline constexpr const char* SDatabaseClosed = "Cannot perform this operation on a closed database";
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SRecordChanged = "Record not found or changed by another user";
inline constexpr const char* STableReadOnly = "Table is read only";
inline constexpr const char* SNoSQLStatement = "No SQL statement available";

bool IsMemoType(TFieldType t);
bool IsTextType(TFieldType t);
bool IsIntegerType(TFieldType t);
// A value in the form a field of that type keeps in a record.
TDLVariant CoerceValue(TFieldType type, const TDLVariant& v);
// A record value as the field hands it out (text blobs as text).
TDLVariant OutsideValue(TFieldType type, const TDLVariant& v);
// The parameter type that writes a field's value back. A long text column goes as text:
// the server would read a blob parameter as bytes without character set.
TFieldType ParamTypeOf(const TDLField& field);
std::string JoinLines(const std::vector<std::string>& lines);
std::vector<std::string> SplitLines(const std::string& text);
bool IsTrueText(const std::string& v);

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

}  // namespace kelvar::dlengine
