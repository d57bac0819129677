#pragma once
// The data-access basics the DataLink layer is built on: field and parameter types, the
// variant value, date-time forms, the BCD record, Name=Value lists and the parameter
// collection. Drivers and datasets exchange values in these forms.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "foundation/Errors.h"

namespace kelvar {

// Base of every error of the data-access layer.
class EDatabaseError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// Values of kinds that can't be converted or compared.
class EVariantError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// Field types of datasets, parameters and result columns.
enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid
};

// "String", "Integer", ...: the type's name in messages.
std::string FieldTypeName(TFieldType type);

// Direction of a statement or procedure parameter.
enum TParamType : uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

using TBytes = std::vector<uint8_t>;

// Locate options of datasets and results.
constexpr uint8_t loCaseInsensitive = 1, loPartialKey = 2;

// Dates and times as days since 1899-12-30 with the time of day as the fraction.
using TDateTime = double;

constexpr int32_t MSecsPerDay = 86400000;
// Day number (1 = 1 January of year 1) of 1899-12-30, the day TDateTime counts from.
constexpr int32_t DateDelta = 693594;

// A date-time split into day number (1 = 1 January of year 1) and milliseconds of the day.
struct TDLTimeStamp {
    int32_t Time = 0;
    int32_t Date = 0;
};

TDLTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TDLTimeStamp& ts);
// Days times 86400000 plus milliseconds: the field form of ftDateTime.
double TimeStampToMSecs(const TDLTimeStamp& ts);
TDLTimeStamp MSecsToTimeStamp(double msecs);

// Raise EConvertError for an impossible date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// A currency value: the amount times 10000.
struct TDLCurrency {
    int64_t Scaled = 0;
    bool operator==(const TDLCurrency&) const = default;
    double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }
    static TDLCurrency FromDouble(double value);
};

// The BCD record of BCD fields and parameters: a currency amount with its precision and the
// number of decimal places it is given with.
struct TDLBcd {
    int64_t Scaled = 0;  // amount times 10000, rounded to Scale places
    uint8_t Precision = 0;
    uint8_t Scale = 0;
};

TDLBcd CurrToBcd(TDLCurrency value, int precision, int scale);
TDLCurrency BcdToCurr(const TDLBcd& bcd);

// A date-time held in a variant, kept apart from plain doubles.
struct TDLDate {
    TDateTime Value = 0;
    bool operator==(const TDLDate&) const = default;
};

// The variant value of fields, parameters and expressions. NULL is the empty state.
class TDLVariant {
public:
    enum Kind : uint8_t { vkNull, vkBoolean, vkInteger, vkFloat, vkCurrency, vkDate, vkString, vkBytes, vkArray };
    using TArray = std::vector<TDLVariant>;

    TDLVariant() = default;
    TDLVariant(bool v) : V(v) {}
    TDLVariant(int v) : V(static_cast<int64_t>(v)) {}
    TDLVariant(int64_t v) : V(v) {}
    TDLVariant(double v) : V(v) {}
    TDLVariant(TDLCurrency v) : V(v) {}
    TDLVariant(TDLDate v) : V(v) {}
    TDLVariant(const char* v) : V(std::string(v)) {}
    TDLVariant(std::string v) : V(std::move(v)) {}
    TDLVariant(TBytes v) : V(std::move(v)) {}
    TDLVariant(TArray v) : V(std::move(v)) {}

    static TDLVariant Null() { return TDLVariant(); }
    static TDLVariant FromDateTime(TDateTime v) { return TDLVariant(TDLDate{v}); }

    Kind GetKind() const { return static_cast<Kind>(V.index()); }
    bool IsNull() const { return V.index() == vkNull; }
    bool IsArray() const { return V.index() == vkArray; }
    bool IsText() const { return V.index() == vkString; }
    // NULL, or an empty text or byte array.
    bool IsBlank() const;

    // Conversions; NULL reads as the empty text, 0 or false. EVariantError when impossible.
    std::string AsString() const;
    int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    TDLCurrency AsCurrency() const;
    TDateTime AsDateTime() const;
    TBytes AsBytes() const;
    const TArray& AsArray() const;

    // Same kind and same value (arrays element by element).
    bool operator==(const TDLVariant& other) const { return V == other.V; }

private:
    std::variant<std::monostate, bool, int64_t, double, TDLCurrency, TDLDate, std::string, TBytes, TArray> V;
};

// The variant comparison: numbers, dates and booleans by value, texts by bytes (a text
// against a number is converted to a number). -1, 0, 1; NULL sorts first; EVariantError for
// kinds that can't be compared.
int VarCompare(const TDLVariant& a, const TDLVariant& b);

// Name=Value lines; names compared without regard to case.
class TDLStrings {
public:
    std::vector<std::string> Lines;

    TDLStrings() = default;
    TDLStrings(std::initializer_list<std::string> lines) : Lines(lines) {}

    int Count() const { return static_cast<int>(Lines.size()); }
    void Add(const std::string& line) { Lines.push_back(line); }
    void Clear() { Lines.clear(); }
    // Index of the first line whose name part equals Name, -1 when none.
    int IndexOfName(const std::string& name) const;
    // The value of the first line of that name, the empty text when none.
    std::string Values(const std::string& name) const;
    // Replaces (or adds) the line of that name; an empty value removes it.
    void SetValues(const std::string& name, const std::string& value);
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
};

// One parameter of a statement or stored procedure.
class TParam {
public:
    std::string Name;
    TFieldType DataType = ftUnknown;
    TParamType ParamType = ptUnknown;
    TDLVariant Value;
    bool Bound = false;

    TParam() = default;
    TParam(std::string name, TFieldType dataType, TParamType paramType)
        : Name(std::move(name)), DataType(dataType), ParamType(paramType) {}

    bool IsNull() const { return Value.IsNull(); }
    void Clear() { Value = TDLVariant(); }

    // Setters take the data type of the value, as the parameter's As... properties do.
    void SetAsString(const std::string& v);
    void SetAsMemo(const std::string& v);
    void SetAsSmallint(int v);
    void SetAsInteger(int v);
    void SetAsLargeInt(int64_t v);
    void SetAsFloat(double v);
    void SetAsCurrency(TDLCurrency v);
    void SetAsBCD(TDLCurrency v);
    void SetAsBoolean(bool v);
    void SetAsDate(TDateTime v);
    void SetAsTime(TDateTime v);
    void SetAsDateTime(TDateTime v);
    void SetAsBlob(TBytes v);
    // Takes the value; an unknown data type is taken from the value's kind.
    void SetValue(const TDLVariant& v);

    // Bytes of the value in its native field form (text: length plus terminator).
    int GetDataSize() const;
    // Stores a value given in the field buffer form of DataType (ftDate: 32-bit day
    // number, ftTime: 32-bit milliseconds, ftDateTime: double milliseconds, ftBCD: TDLBcd,
    // ftCurrency and ftFloat: double, texts zero-terminated within Size).
    void SetData(const void* buffer, int size);
    // Writes the value in the field buffer form of DataType; GetDataSize bytes.
    void GetData(void* buffer) const;

private:
    void Set(TFieldType type, TDLVariant v);
};

// The parameter collection of a dataset. Items stay at their address while the list lives.
class TParams {
public:
    TParams() = default;
    TParams(const TParams& other) { Assign(other); }
    TParams& operator=(const TParams& other) {
        if (this != &other) Assign(other);
        return *this;
    }
    TParams(TParams&&) = default;
    TParams& operator=(TParams&&) = default;

    int Count() const { return static_cast<int>(Items.size()); }
    TParam& operator[](int index) { return *Items.at(static_cast<size_t>(index)); }
    const TParam& operator[](int index) const { return *Items.at(static_cast<size_t>(index)); }
    TParam& CreateParam(TFieldType dataType, const std::string& name, TParamType paramType);
    // The first parameter of that name (without regard to case), or nullptr.
    TParam* FindParam(const std::string& name);
    // As FindParam; EDatabaseError "Parameter '%s' not found" when missing.
    TParam& ParamByName(const std::string& name);
    void Delete(int index);
    void Clear() { Items.clear(); }
    // Deep copy of another list.
    void Assign(const TParams& other);
    // Values of parameters whose names exist in Source are taken from it.
    void AssignValues(const TParams& source);

private:
    std::vector<std::unique_ptr<TParam>> Items;
};

// Case-insensitive ASCII helpers shared by the layer.
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);
bool SameText(const std::string& a, const std::string& b);
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
// Decimal integer of the whole (trimmed) text; Default when it is no integer.
int StrToIntDef(const std::string& s, int defaultValue);

}  // namespace kelvar
