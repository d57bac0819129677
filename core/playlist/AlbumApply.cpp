#include "core/playlist/AlbumApply.h"

#include <algorithm>
#include <cstdint>

#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

bool FieldCountsAsEmpty(const std::string& Name, TDLField& Target) {
    if (SameText(Name, "albumyear")) {
        int64_t year = 0;
        if (!TryParseInt64(Target.AsString(), year)) year = 0;
        return year == 0;
    }
    if (SameText(Name, "weight")) return true;
    return Target.AsString().empty();
}

void CopyField(TDLField& Source, TDLField& Target) {
    switch (Target.GetDataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftBoolean:
        case ftAutoInc:
        case ftLargeint: Target.SetAsInteger(Source.AsInteger()); break;
        case ftFloat:
        case ftCurrency: Target.SetAsFloat(Source.AsFloat()); break;
        case ftDate:
        case ftTime:
        case ftDateTime: Target.SetAsDateTime(Source.AsDateTime()); break;
        default: Target.SetAsString(Source.AsString()); break;
    }
}

}  // namespace

int ApplyFields(IDataset& Source, IDataset& Targets, const std::vector<int>& IDs, bool ToEmpty,
                const std::vector<std::string>& Fields) {
    Targets.First();
    int count = 0;
    while (!Targets.Eof()) {
        const int id = static_cast<int>(Targets.GetFieldValue("songID").AsInteger());
        if (std::find(IDs.begin(), IDs.end(), id) != IDs.end()) {
            Targets.Edit();
            for (const std::string& name : Fields) {
                TDLField& target = FieldOf(Targets, name);
                if (!ToEmpty || FieldCountsAsEmpty(name, target)) CopyField(FieldOf(Source, name), target);
            }
            ++count;
            Targets.Post();
        }
        Targets.Next();
    }
    return count;
}

}  // namespace kelvar
