#include "database/datalink/DLDataTypes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kelvar {

namespace {

template <class T>
T ReadBufRaw(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void WriteBufRaw(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

const char* const FieldTypeNames[] = {
    "Unknown", "String",     "SmallInt", "Integer",     "Word",     "Boolean",   "Float",      "Currency",  "BCD",
    "Date",    "Time",       "DateTime", "Bytes",       "VarBytes", "AutoInc",   "Blob",       "Memo",      "Graphic",
    "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor",   "FixedChar", "WideString", "LargeInt",  "ADT",
    "Array",   "Reference",  "DataSet",  "OraBlob",     "OraClob",  "Variant",   "Interface",  "IDispatch", "Guid"};

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// Day number of a date, 1 = 1 January of year 1.
int64_t DayNumber(int y, int m, int d) {
    int64_t yy = y - 1;
    int64_t n = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    for (int i = 1; i < m; ++i) n += DaysInMonth(y, i);
    return n + d;
}

void DayNumberToDate(int64_t dayNumber, int& year, int& month, int& day) {
    // Civil-from-days on an epoch of 1 January of year 1 = day 1.
    int64_t z = dayNumber - 1 + 306;  // days since 0000-03-01
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(month <= 2 ? y + 1 : y);
}

std::string FormatFloat(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

bool ParseFloat(const std::string& text, double& out) {
    std::string s = Trim(text);
    if (s.empty()) return false;
    std::replace(s.begin(), s.end(), ',', '.');
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

bool ParseInt(const std::string& text, int64_t& out) {
    std::string s = Trim(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (!end || *end != '\0' || errno == ERANGE) return false;
    out = v;
    return true;
}

std::string DateTimeToText(TDateTime v) {
    int y, m, d, h, n, s, ms;
    DecodeDate(v, y, m, d);
    DecodeTime(v, h, n, s, ms);
    char buf[64];
    if (h == 0 && n == 0 && s == 0 && ms == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    else if (std::trunc(v) == 0)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, n, s);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
    return buf;
}

[[noreturn]] void ConversionError(const char* from, const char* to) {
    throw EVariantError(std::string("Could not convert variant of type (") + from + ") into type (" + to + ")");
}

const char* KindName(TDLVariant::Kind k) {
    static const char* const names[] = {"Null", "Boolean", "Int64", "Double", "Currency",
                                        "Date", "String",  "Bytes", "Array"};
    return names[k];
}

}  // namespace

std::string FieldTypeName(TFieldType type) {
    size_t i = static_cast<size_t>(type);
    return i < std::size(FieldTypeNames) ? FieldTypeNames[i] : "Unknown";
}

// --- dates -------------------------------------------------------------------------------

TDLTimeStamp DateTimeToTimeStamp(TDateTime value) {
    double ms = std::round(std::fabs(value) * MSecsPerDay);
    int64_t whole = static_cast<int64_t>(ms);
    int64_t days = whole / MSecsPerDay;
    TDLTimeStamp ts;
    ts.Time = static_cast<int32_t>(whole % MSecsPerDay);
    ts.Date = static_cast<int32_t>((value < 0 ? -days : days) + DateDelta);
    return ts;
}

TDateTime TimeStampToDateTime(const TDLTimeStamp& ts) {
    double days = static_cast<double>(ts.Date) - DateDelta;
    double frac = static_cast<double>(ts.Time) / MSecsPerDay;
    return days < 0 ? days - frac : days + frac;
}

double TimeStampToMSecs(const TDLTimeStamp& ts) { return static_cast<double>(ts.Date) * MSecsPerDay + ts.Time; }

TDLTimeStamp MSecsToTimeStamp(double msecs) {
    int64_t whole = static_cast<int64_t>(std::llround(msecs));
    TDLTimeStamp ts;
    ts.Date = static_cast<int32_t>(whole / MSecsPerDay);
    ts.Time = static_cast<int32_t>(whole % MSecsPerDay);
    return ts;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    result = static_cast<double>(DayNumber(year, month, day) - DateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / MSecsPerDay;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    TDateTime d = EncodeDate(year, month, day);
    TDateTime t = EncodeTime(hour, minute, second, msec);
    return d < 0 ? d - t : d + t;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    TDLTimeStamp ts = DateTimeToTimeStamp(value);
    if (ts.Date <= 0) {
        year = month = day = 0;
        return;
    }
    DayNumberToDate(ts.Date, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    TDLTimeStamp ts = DateTimeToTimeStamp(value);
    int t = ts.Time;
    hour = t / 3600000;
    minute = t / 60000 % 60;
    second = t / 1000 % 60;
    msec = t % 1000;
}

// --- currency and BCD --------------------------------------------------------------------

TDLCurrency TDLCurrency::FromDouble(double value) {
    return TDLCurrency{static_cast<int64_t>(std::nearbyint(value * 10000.0))};
}

TDLBcd CurrToBcd(TDLCurrency value, int precision, int scale) {
    TDLBcd b;
    b.Precision = static_cast<uint8_t>(precision);
    b.Scale = static_cast<uint8_t>(std::clamp(scale, 0, 4));
    int64_t unit = 1;
    for (int i = b.Scale; i < 4; ++i) unit *= 10;
    // Round to Scale places, halves away from zero.
    int64_t q = value.Scaled / unit;
    int64_t r = value.Scaled % unit;
    if (r * 2 >= unit)
        ++q;
    else if (r * 2 <= -unit)
        --q;
    b.Scaled = q * unit;
    return b;
}

TDLCurrency BcdToCurr(const TDLBcd& bcd) { return TDLCurrency{bcd.Scaled}; }

// --- variants ----------------------------------------------------------------------------

bool TDLVariant::IsBlank() const {
    switch (GetKind()) {
        case vkNull: return true;
        case vkString: return std::get<std::string>(V).empty();
        case vkBytes: return std::get<TBytes>(V).empty();
        default: return false;
    }
}

std::string TDLVariant::AsString() const {
    switch (GetKind()) {
        case vkNull: return {};
        case vkBoolean: return std::get<bool>(V) ? "True" : "False";
        case vkInteger: return std::to_string(std::get<int64_t>(V));
        case vkFloat: return FormatFloat(std::get<double>(V));
        case vkCurrency: return FormatFloat(std::get<TDLCurrency>(V).ToDouble());
        case vkDate: return DateTimeToText(std::get<TDLDate>(V).Value);
        case vkString: return std::get<std::string>(V);
        case vkBytes: {
            const TBytes& b = std::get<TBytes>(V);
            return std::string(b.begin(), b.end());
        }
        case vkArray: break;
    }
    ConversionError(KindName(GetKind()), "String");
}

int64_t TDLVariant::AsInteger() const {
    switch (GetKind()) {
        case vkNull: return 0;
        case vkBoolean: return std::get<bool>(V) ? -1 : 0;
        case vkInteger: return std::get<int64_t>(V);
        case vkFloat: return static_cast<int64_t>(std::nearbyint(std::get<double>(V)));
        case vkCurrency: return static_cast<int64_t>(std::nearbyint(std::get<TDLCurrency>(V).ToDouble()));
        case vkDate: return static_cast<int64_t>(std::nearbyint(std::get<TDLDate>(V).Value));
        case vkString: {
            int64_t r;
            if (ParseInt(std::get<std::string>(V), r)) return r;
            double d;
            if (ParseFloat(std::get<std::string>(V), d)) return static_cast<int64_t>(std::nearbyint(d));
            break;
        }
        default: break;
    }
    ConversionError(KindName(GetKind()), "Int64");
}

double TDLVariant::AsFloat() const {
    switch (GetKind()) {
        case vkNull: return 0;
        case vkBoolean: return std::get<bool>(V) ? -1 : 0;
        case vkInteger: return static_cast<double>(std::get<int64_t>(V));
        case vkFloat: return std::get<double>(V);
        case vkCurrency: return std::get<TDLCurrency>(V).ToDouble();
        case vkDate: return std::get<TDLDate>(V).Value;
        case vkString: {
            double d;
            if (ParseFloat(std::get<std::string>(V), d)) return d;
            break;
        }
        default: break;
    }
    ConversionError(KindName(GetKind()), "Double");
}

bool TDLVariant::AsBoolean() const {
    switch (GetKind()) {
        case vkNull: return false;
        case vkBoolean: return std::get<bool>(V);
        case vkString: {
            std::string s = UpperCase(Trim(std::get<std::string>(V)));
            if (s == "TRUE") return true;
            if (s == "FALSE") return false;
            return AsFloat() != 0;
        }
        case vkArray:
        case vkBytes: ConversionError(KindName(GetKind()), "Boolean");
        default: return AsFloat() != 0;
    }
}

TDLCurrency TDLVariant::AsCurrency() const {
    if (GetKind() == vkCurrency) return std::get<TDLCurrency>(V);
    if (GetKind() == vkInteger) return TDLCurrency{std::get<int64_t>(V) * 10000};
    return TDLCurrency::FromDouble(AsFloat());
}

TDateTime TDLVariant::AsDateTime() const {
    if (GetKind() == vkDate) return std::get<TDLDate>(V).Value;
    if (GetKind() == vkString) {
        int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0;
        const std::string& t = std::get<std::string>(V);
        int got = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &m, &d, &h, &n, &s);
        if (got == 3 || got == 6) return EncodeDateTime(y, m, d, h, n, s, 0);
        if (std::sscanf(t.c_str(), "%d:%d:%d", &h, &n, &s) == 3) return EncodeTime(h, n, s, 0);
        ConversionError("String", "Date");
    }
    return AsFloat();
}

TBytes TDLVariant::AsBytes() const {
    if (GetKind() == vkBytes) return std::get<TBytes>(V);
    if (GetKind() == vkNull) return {};
    std::string s = AsString();
    return TBytes(s.begin(), s.end());
}

const TDLVariant::TArray& TDLVariant::AsArray() const {
    if (GetKind() != vkArray) ConversionError(KindName(GetKind()), "Array");
    return std::get<TArray>(V);
}

int VarCompare(const TDLVariant& a, const TDLVariant& b) {
    using K = TDLVariant::Kind;
    K ka = a.GetKind(), kb = b.GetKind();
    if (ka == K::vkNull || kb == K::vkNull) {
        if (ka == kb) return 0;
        return ka == K::vkNull ? -1 : 1;
    }
    if (ka == K::vkArray || kb == K::vkArray) ConversionError(KindName(ka), KindName(kb));
    if ((ka == K::vkString || ka == K::vkBytes) && (kb == K::vkString || kb == K::vkBytes)) {
        int c = a.AsString().compare(b.AsString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ka == K::vkInteger && kb == K::vkInteger) {
        int64_t x = a.AsInteger(), y = b.AsInteger();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ka == K::vkCurrency && kb == K::vkCurrency) {
        int64_t x = a.AsCurrency().Scaled, y = b.AsCurrency().Scaled;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    double x = a.AsFloat(), y = b.AsFloat();
    return x < y ? -1 : (x > y ? 1 : 0);
}

// --- Name=Value lists --------------------------------------------------------------------

int TDLStrings::IndexOfName(const std::string& name) const {
    for (size_t i = 0; i < Lines.size(); ++i) {
        size_t eq = Lines[i].find('=');
        if (eq != std::string::npos && SameText(Lines[i].substr(0, eq), name)) return static_cast<int>(i);
    }
    return -1;
}

std::string TDLStrings::Values(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TDLStrings::SetValues(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Lines.erase(Lines.begin() + i);
    } else if (i >= 0) {
        Lines[static_cast<size_t>(i)] = name + "=" + value;
    } else {
        Lines.push_back(name + "=" + value);
    }
}

std::string TDLStrings::Names(int index) const {
    const std::string& line = Lines.at(static_cast<size_t>(index));
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TDLStrings::ValueFromIndex(int index) const {
    const std::string& line = Lines.at(static_cast<size_t>(index));
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

// --- parameters --------------------------------------------------------------------------

void TParam::Set(TFieldType type, TDLVariant v) {
    DataType = type;
    Value = std::move(v);
    Bound = true;
}

void TParam::SetAsString(const std::string& v) { Set(ftString, v); }
void TParam::SetAsMemo(const std::string& v) { Set(ftMemo, v); }
void TParam::SetAsSmallint(int v) { Set(ftSmallint, v); }
void TParam::SetAsInteger(int v) { Set(ftInteger, v); }
void TParam::SetAsLargeInt(int64_t v) { Set(ftLargeint, v); }
void TParam::SetAsFloat(double v) { Set(ftFloat, v); }
void TParam::SetAsCurrency(TDLCurrency v) { Set(ftCurrency, v); }
void TParam::SetAsBCD(TDLCurrency v) { Set(ftBCD, v); }
void TParam::SetAsBoolean(bool v) { Set(ftBoolean, v); }
void TParam::SetAsDate(TDateTime v) { Set(ftDate, TDLVariant::FromDateTime(v)); }
void TParam::SetAsTime(TDateTime v) { Set(ftTime, TDLVariant::FromDateTime(v)); }
void TParam::SetAsDateTime(TDateTime v) { Set(ftDateTime, TDLVariant::FromDateTime(v)); }
void TParam::SetAsBlob(TBytes v) { Set(ftBlob, TDLVariant(std::move(v))); }

void TParam::SetValue(const TDLVariant& v) {
    if (DataType == ftUnknown) {
        switch (v.GetKind()) {
            case TDLVariant::vkBoolean: DataType = ftBoolean; break;
            case TDLVariant::vkInteger: {
                int64_t i = v.AsInteger();
                DataType = (i >= INT32_MIN && i <= INT32_MAX) ? ftInteger : ftLargeint;
                break;
            }
            case TDLVariant::vkFloat: DataType = ftFloat; break;
            case TDLVariant::vkCurrency: DataType = ftCurrency; break;
            case TDLVariant::vkDate: DataType = ftDateTime; break;
            case TDLVariant::vkString: DataType = ftString; break;
            case TDLVariant::vkBytes: DataType = ftBlob; break;
            default: break;
        }
    }
    Value = v;
    Bound = true;
}

int TParam::GetDataSize() const {
    switch (DataType) {
        case ftString:
        case ftFixedChar:
        case ftWideString: return static_cast<int>(Value.AsString().size()) + 1;
        case ftBoolean:
        case ftSmallint:
        case ftWord: return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime: return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint: return 8;
        case ftBCD: return sizeof(TDLBcd);
        case ftBytes:
        case ftVarBytes: return static_cast<int>(Value.AsBytes().size());
        case ftGuid: return 39;
        default:
            if (DataType >= ftBlob && DataType <= ftTypedBinary) return static_cast<int>(Value.AsBytes().size());
            if (DataType == ftOraBlob || DataType == ftOraClob) return static_cast<int>(Value.AsBytes().size());
            return 0;
    }
}

void TParam::SetData(const void* buffer, int size) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    auto need = [&](int n) {
        if (size < n) throw EDatabaseError("Invalid data size for parameter '" + Name + "'");
    };
    switch (DataType) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftMemo:
        case ftFmtMemo: {
            const char* c = reinterpret_cast<const char*>(p);
            size_t n = strnlen(c, static_cast<size_t>(std::max(size, 0)));
            Value = std::string(c, n);
            break;
        }
        case ftSmallint:
            need(2);
            Value = static_cast<int>(ReadBufRaw<int16_t>(p));
            break;
        case ftWord:
            need(2);
            Value = static_cast<int>(ReadBufRaw<uint16_t>(p));
            break;
        case ftBoolean:
            need(2);
            Value = ReadBufRaw<int16_t>(p) != 0;
            break;
        case ftInteger:
        case ftAutoInc:
            need(4);
            Value = static_cast<int>(ReadBufRaw<int32_t>(p));
            break;
        case ftLargeint:
            need(8);
            Value = static_cast<int64_t>(ReadBufRaw<int64_t>(p));
            break;
        case ftFloat:
            need(8);
            Value = ReadBufRaw<double>(p);
            break;
        case ftCurrency:
            need(8);
            Value = TDLCurrency::FromDouble(ReadBufRaw<double>(p));
            break;
        case ftBCD:
            need(static_cast<int>(sizeof(TDLBcd)));
            Value = BcdToCurr(ReadBufRaw<TDLBcd>(p));
            break;
        case ftDate:
            need(4);
            Value = TDLVariant::FromDateTime(TimeStampToDateTime({0, ReadBufRaw<int32_t>(p)}));
            break;
        case ftTime:
            need(4);
            Value = TDLVariant::FromDateTime(TimeStampToDateTime({ReadBufRaw<int32_t>(p), DateDelta}));
            break;
        case ftDateTime:
            need(8);
            Value = TDLVariant::FromDateTime(TimeStampToDateTime(MSecsToTimeStamp(ReadBufRaw<double>(p))));
            break;
        default: Value = TBytes(p, p + std::max(size, 0)); break;
    }
    Bound = true;
}

void TParam::GetData(void* buffer) const {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    switch (DataType) {
        case ftString:
        case ftFixedChar:
        case ftWideString: {
            std::string s = Value.AsString();
            std::memcpy(p, s.c_str(), s.size() + 1);
            break;
        }
        case ftSmallint:
        case ftWord: WriteBufRaw<int16_t>(p, static_cast<int16_t>(Value.AsInteger())); break;
        case ftBoolean: WriteBufRaw<int16_t>(p, Value.AsBoolean() ? -1 : 0); break;
        case ftInteger:
        case ftAutoInc: WriteBufRaw<int32_t>(p, static_cast<int32_t>(Value.AsInteger())); break;
        case ftLargeint: WriteBufRaw<int64_t>(p, Value.AsInteger()); break;
        case ftFloat:
        case ftCurrency: WriteBufRaw<double>(p, Value.AsFloat()); break;
        case ftBCD: WriteBufRaw<TDLBcd>(p, CurrToBcd(Value.AsCurrency(), 32, 4)); break;
        case ftDate: WriteBufRaw<int32_t>(p, DateTimeToTimeStamp(Value.AsDateTime()).Date); break;
        case ftTime: WriteBufRaw<int32_t>(p, DateTimeToTimeStamp(Value.AsDateTime()).Time); break;
        case ftDateTime: WriteBufRaw<double>(p, TimeStampToMSecs(DateTimeToTimeStamp(Value.AsDateTime()))); break;
        default: {
            TBytes b = Value.AsBytes();
            if (!b.empty()) std::memcpy(p, b.data(), b.size());
            break;
        }
    }
}

TParam& TParams::CreateParam(TFieldType dataType, const std::string& name, TParamType paramType) {
    Items.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return *Items.back();
}

TParam* TParams::FindParam(const std::string& name) {
    for (auto& p : Items)
        if (SameText(p->Name, name)) return p.get();
    return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) {
    TParam* p = FindParam(name);
    if (!p) throw EDatabaseError("Parameter '" + name + "' not found");
    return *p;
}

void TParams::Delete(int index) { Items.erase(Items.begin() + index); }

void TParams::Assign(const TParams& other) {
    std::vector<std::unique_ptr<TParam>> copy;
    for (const auto& p : other.Items) copy.push_back(std::make_unique<TParam>(*p));
    Items = std::move(copy);
}

void TParams::AssignValues(const TParams& source) {
    for (auto& p : Items) {
        for (const auto& s : source.Items) {
            if (SameText(p->Name, s->Name)) {
                p->DataType = s->DataType;
                p->Value = s->Value;
                p->Bound = s->Bound;
                break;
            }
        }
    }
}

// --- text --------------------------------------------------------------------------------

std::string UpperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string LowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

namespace {
bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsBlankChar(s[i])) ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && IsBlankChar(s[n - 1])) --n;
    return s.substr(0, n);
}

int StrToIntDef(const std::string& s, int defaultValue) {
    int64_t v;
    if (!ParseInt(s, v) || v < INT32_MIN || v > INT32_MAX) return defaultValue;
    return static_cast<int>(v);
}

}  // namespace kelvar
