#include "core/playlist/PlaylistUtils.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <numeric>
#include <random>
#include <vector>

#include "database/datalink/DLEngine.h"

namespace kelvar {

std::string SongDisplayName(const std::string& artist, const std::string& title) {
    return JoinArtistTitle(artist, title);
}

int64_t TimeOfDayToMs(TDateTime time) {
    int hour = 0, minute = 0, second = 0, msec = 0;
    DecodeTime(time, hour, minute, second, msec);
    return static_cast<int64_t>(hour) * 3600000 + minute * 60000 + second * 1000 + msec;
}

bool IsPlainFile(const std::string& name) {
    if (name.find("://") != std::string::npos) return false;
    if (name.size() < 4) return true;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    return ext != ".CDA";
}

std::string IntegerListToStr(const TIntegerList& list) {
    std::string text;
    for (int32_t value : list.Values()) {
        if (!text.empty()) text += ',';
        text += std::to_string(value);
    }
    return text;
}

int32_t TextToIntDef0(const std::string& text) {
    int64_t value = 0;
    if (!TryParseInt64(text, value) || value < INT32_MIN || value > INT32_MAX) return 0;
    return static_cast<int32_t>(value);
}

double TextToFloatDef0(const std::string& text) {
    double value = 0;
    return TryParseDouble(text, value) ? value : 0;
}

int32_t FieldInt(IDataset& row, const std::string& name) {
    const TDLVariant v = row.GetFieldValue(name);
    if (v.IsNull()) return 0;
    return v.IsText() ? TextToIntDef0(v.AsString()) : static_cast<int32_t>(v.AsInteger());
}

double FieldFloat(IDataset& row, const std::string& name) {
    const TDLVariant v = row.GetFieldValue(name);
    if (v.IsNull()) return 0;
    return v.IsText() ? TextToFloatDef0(v.AsString()) : v.AsFloat();
}

int TextColumnLength(const std::string& table, const std::string& column) {
    if (SQLDriverType != dtFirebird) return 0;
    static std::mutex lock;
    static std::map<std::string, std::map<std::string, int>> lengths;
    auto upper = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
        return s;
    };
    const std::string key = upper(table);
    std::lock_guard<std::mutex> guard(lock);
    auto found = lengths.find(key);
    if (found == lengths.end()) {
        std::map<std::string, int> columns;
        try {
            IDatasetPtr rows = PoolQuery(
                "SELECT TRIM(rf.RDB$FIELD_NAME) AS name, f.RDB$CHARACTER_LENGTH AS len FROM RDB$RELATION_FIELDS rf "
                "JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE WHERE rf.RDB$RELATION_NAME = :name",
                {key});
            for (rows->First(); !rows->Eof(); rows->Next())
                columns[upper(rows->GetFieldValue("name").AsString())] = FieldInt(*rows, "len");
        } catch (const std::exception&) {
            return 0;  // not known now; asked again next time
        }
        found = lengths.emplace(key, std::move(columns)).first;
    }
    auto col = found->second.find(upper(column));
    return col == found->second.end() ? 0 : col->second;
}

void SetTextField(IDataset& row, const std::string& table, const std::string& name, const std::string& value) {
    if (value.empty()) return;
    const int length = TextColumnLength(table, name);
    if (length <= 0) {
        row.SetFieldValue(name, value);
        return;
    }
    size_t chars = 0, end = 0;
    while (end < value.size() && chars < static_cast<size_t>(length)) {
        ++end;
        while (end < value.size() && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) ++end;
        ++chars;
    }
    row.SetFieldValue(name, value.substr(0, end));
}

TDateTime NowDateTime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&t, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          std::min(local.tm_sec, 59), ms);
}

void SortIDRange(double& after, double& before, double& step, int count, double greatest) {
    if (before == 0) {
        after = greatest + 1000;
        before = after + (count + 1) * 1000.0;
    }
    if (before <= after) before = after + (count + 1) * 1000.0;
    step = (before - after) / (count + 1);
}

void ShuffleSortIDs(IDataset& rows, const TProgressCallback& callback) {
    rows.Last();  // fetch every row, so the count is the whole result's
    const int count = rows.RecordCount();
    TProgressHandler progress(static_cast<uint32_t>(count), "Shuffle...", callback);
    std::vector<int> numbers(count);
    std::iota(numbers.begin(), numbers.end(), 1);
    static thread_local std::mt19937 random{std::random_device{}()};
    rows.First();
    while (!rows.Eof() && !numbers.empty()) {
        rows.Edit();
        std::uniform_int_distribution<size_t> pick(0, numbers.size() - 1);
        const size_t p = pick(random);
        rows.SetFieldValue("sortID", static_cast<double>(numbers[p]) * 1000.0);
        numbers.erase(numbers.begin() + static_cast<std::ptrdiff_t>(p));
        progress.StepIt();
        rows.Post();
        rows.Next();
    }
}

}  // namespace kelvar
