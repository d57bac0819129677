#include "database/datalink/DLEngine_Shared.h"

#include <algorithm>
#include <cstring>

namespace kelvar::dlengine {

std::string Fmt(const char* format, const std::string& a) {
    std::string s = format;
    size_t p = s.find("%s");
    if (p != std::string::npos) s.replace(p, 2, a);
    return s;
}

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

}  // namespace kelvar::dlengine
