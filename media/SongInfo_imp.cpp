#include "media/SongInfo_imp.h"

#include <cctype>
#include <charconv>

#include "foundation/Errors.h"
#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

// The part after the last path delimiter or drive colon.
std::string WithoutFolder(const std::string& path) {
    const auto pos = path.find_last_of("/\\:");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace

std::shared_ptr<TSongInfo> TSongInfo::Create(int id, const std::string& fileName) {
    auto info = std::make_shared<TSongInfo>();
    info->SetID(id);
    info->SetFilename(fileName);
    info->SetTitle(WithoutFolder(fileName));
    return info;
}

std::shared_ptr<TSongInfo> TSongInfo::CreateFromDataset(const IValueList& data,
                                                        const std::vector<std::string>& columns) {
    auto info = std::make_shared<TSongInfo>();
    for (const auto& column : columns) info->SetValue(column, data.GetValue(std::string_view(column)));
    return info;
}

int TSongInfo::Find(std::string_view name) const {
    for (size_t i = 0; i < FEntries.size(); ++i) {
        if (SameText(FEntries[i].first, name)) return static_cast<int>(i);
    }
    return -1;
}

int TSongInfo::IntValue(std::string_view name, int fallback) const {
    const std::string text = GetValue(name);
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last) return fallback;
    return value;
}

std::string TSongInfo::GetValue(std::string_view name) const {
    const int i = Find(name);
    return i < 0 ? std::string() : FEntries[static_cast<size_t>(i)].second;
}

std::string TSongInfo::GetValue(int index) const {
    if (index < 0 || index >= GetCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FEntries[static_cast<size_t>(index)].first;
}

void TSongInfo::SetValue(std::string_view name, const std::optional<std::string>& value) {
    const int i = Find(name);
    if (!value || value->empty()) {
        if (i >= 0) FEntries.erase(FEntries.begin() + i);
        return;
    }
    // A replaced entry keeps its place and takes the new spelling of the name.
    if (i >= 0)
        FEntries[static_cast<size_t>(i)] = {std::string(name), *value};
    else
        FEntries.emplace_back(std::string(name), *value);
}

int TSongInfo::GetCount() const { return static_cast<int>(FEntries.size()); }
void TSongInfo::Clear() { FEntries.clear(); }

int TSongInfo::GetID() const { return IntValue("ID", -1); }
std::string TSongInfo::GetFilename() const { return GetValue("filename"); }
std::string TSongInfo::GetArtist() const { return GetValue("artist"); }
std::string TSongInfo::GetTitle() const { return GetValue("title"); }
std::string TSongInfo::GetAlbum() const { return GetValue("album"); }
int TSongInfo::GetDuration() const { return IntValue("duration", 0); }

std::string TSongInfo::GetDisplayName() const {
    const std::string artist = GetArtist();
    if (artist.empty()) return GetTitle();
    return artist + " - " + GetTitle();
}

void TSongInfo::SetID(int value) { SetValue("ID", std::to_string(value)); }
void TSongInfo::SetFilename(const std::string& value) { SetValue("filename", value); }
void TSongInfo::SetArtist(const std::string& value) { SetValue("artist", value); }
void TSongInfo::SetTitle(const std::string& value) { SetValue("title", value); }
void TSongInfo::SetAlbum(const std::string& value) { SetValue("album", value); }
void TSongInfo::SetDuration(int value) { SetValue("duration", std::to_string(value)); }

}  // namespace kelvar
