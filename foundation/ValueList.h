#pragma once
// A list of named text values: the song record and the database result set share it, so a
// record can copy a row field by field.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvar {

class IValueList {
public:
    virtual ~IValueList();
    // The text stored under Name; empty when there is none.
    virtual std::string GetValue(std::string_view name) const = 0;
    // The NAME of the entry at Index; throws EListError outside 0 .. count-1.
    virtual std::string GetValue(int index) const = 0;
    // std::nullopt (the Null value) or an empty text deletes the entry.
    virtual void SetValue(std::string_view name, const std::optional<std::string>& value) = 0;
};

class IValueListEx : public IValueList {
public:
    virtual int GetCount() const = 0;
    virtual void Clear() = 0;
};

using IValueListPtr = std::shared_ptr<IValueList>;
using IValueListExPtr = std::shared_ptr<IValueListEx>;

}  // namespace kelvar
