#include "core/playlist/SongSearchIndex.h"

#include <algorithm>
#include <cstring>

#include "foundation/TextUtil.h"

namespace kelvar {

namespace {

// Ends each field of a record. A control byte of a stored text becomes Blank: a searchable text
// holds neither, so no match is won or lost by it.
constexpr char Separator = '\x01';
constexpr char Blank = '\x02';

// Appends Text folded the way the database's UPPER folds it.
void AppendFolded(std::string_view Text, std::string& Out) {
    const size_t from = Out.size();
    if (std::all_of(Text.begin(), Text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        Out.append(Text);
        for (size_t i = from; i < Out.size(); ++i)
            if (Out[i] >= 'a' && Out[i] <= 'z') Out[i] = static_cast<char>(Out[i] - 'a' + 'A');
    } else {
        Out += UpperUtf8(Text);
    }
    for (size_t i = from; i < Out.size(); ++i)
        if (static_cast<unsigned char>(Out[i]) < 0x20) Out[i] = Blank;
}

bool ValidUtf8(std::string_view Text) {
    size_t i = 0;
    while (i < Text.size()) {
        const auto c = static_cast<unsigned char>(Text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > Text.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(Text[i + k]) >> 6) != 2) return false;
        i += n;
    }
    return true;
}

// The file-name part of a record (its fourth field).
std::string_view NameOf(std::string_view Record) {
    size_t at = 0;
    for (int field = 0; field < 3; ++field) at = Record.find(Separator, at) + 1;
    return Record.substr(at, Record.size() - at - 1);
}

}  // namespace

TSongSearchIndex::TSongSearchIndex() : FStart{0} {}

bool TSongSearchIndex::Searchable(std::string_view Text) {
    if (Text.empty() || !ValidUtf8(Text)) return false;
    return std::none_of(Text.begin(), Text.end(),
                        [](char c) { return c == '%' || c == '_' || static_cast<unsigned char>(c) < 0x20; });
}

uint32_t TSongSearchIndex::FolderOf(std::string_view Folder) {
    if (auto it = FFolderIndex.find(Folder); it != FFolderIndex.end()) return it->second;
    const auto index = static_cast<uint32_t>(FFolders.size());
    FFolders.emplace_back(Folder);
    FFolderIndex.emplace(FFolders.back(), index);
    return index;
}

int64_t TSongSearchIndex::SlotOf(int32_t ID) const {
    if (auto it = FLater.find(ID); it != FLater.end()) return it->second;
    const auto end = FIDs.begin() + static_cast<std::ptrdiff_t>(FSorted);
    const auto it = std::lower_bound(FIDs.begin(), end, ID);
    if (it == end || *it != ID) return -1;
    const auto slot = it - FIDs.begin();
    return FDead[static_cast<size_t>(slot)] ? -1 : slot;
}

std::string_view TSongSearchIndex::Record(size_t Slot) const {
    return {FText.data() + FStart[Slot], FStart[Slot + 1] - FStart[Slot]};
}

void TSongSearchIndex::Put(int32_t ID, std::string_view Artist, std::string_view Title, std::string_view Album,
                           std::string_view Filename) {
    // The folder keeps its last delimiter, so that folder and name make the whole name again.
    const size_t cut = Filename.find_last_of('/') + 1;  // 0 without a folder
    std::string folder;
    AppendFolded(Filename.substr(0, cut), folder);
    std::string record;
    for (std::string_view field : {Artist, Title, Album, Filename.substr(cut)}) {
        AppendFolded(field, record);
        record += Separator;
    }
    const uint32_t folderIndex = FolderOf(folder);

    if (const int64_t old = SlotOf(ID); old >= 0) {
        const auto slot = static_cast<size_t>(old);
        if (FFolder[slot] == folderIndex && Record(slot) == record) return;
        FDead[slot] = true;
        --FLive;
    }
    FText.insert(FText.end(), record.begin(), record.end());
    FStart.push_back(static_cast<uint32_t>(FText.size()));
    FIDs.push_back(ID);
    FFolder.push_back(folderIndex);
    FDead.push_back(false);
    ++FLive;
    const size_t slot = FIDs.size() - 1;
    if (FLater.empty() && slot == FSorted && (slot == 0 || FIDs[slot - 1] < ID))
        ++FSorted;
    else
        FLater[ID] = static_cast<uint32_t>(slot);
    FMaxID = std::max(FMaxID, ID);
}

void TSongSearchIndex::Remove(int32_t ID) {
    const int64_t slot = SlotOf(ID);
    if (slot < 0) return;
    FDead[static_cast<size_t>(slot)] = true;
    --FLive;
    FLater.erase(ID);
}

void TSongSearchIndex::Compact() {
    FText.shrink_to_fit();
    FStart.shrink_to_fit();
    FIDs.shrink_to_fit();
    FFolder.shrink_to_fit();
    FDead.shrink_to_fit();
}

size_t TSongSearchIndex::MemoryBytes() const {
    size_t bytes = FText.capacity() + FStart.capacity() * sizeof(uint32_t) + FIDs.capacity() * sizeof(int32_t) +
                   FFolder.capacity() * sizeof(uint32_t) + FDead.capacity() / 8;
    // A hash node holds its value, the next pointer and the cached hash; the table a pointer a bucket.
    bytes += FLater.size() * 24 + FLater.bucket_count() * sizeof(void*);
    for (const std::string& folder : FFolders) bytes += sizeof(std::string) + folder.capacity();
    bytes += FFolderIndex.size() * 40 + FFolderIndex.bucket_count() * sizeof(void*);
    return bytes;
}

bool TSongSearchIndex::FindInFields(std::string_view Text, bool Substring, const TSearchFields& Fields, size_t Limit,
                                    std::vector<uint8_t>& Hit, size_t& Hits) const {
    const bool wanted[4] = {Fields.Artist, Fields.Title, Fields.Album, Fields.Filename};
    // Every field but the arena's first follows a separator: a prefix is the separator and the
    // text, and a search for the next one starts on the separator before a field.
    const std::string needle = Substring ? std::string(Text) : Separator + std::string(Text);
    const size_t lead = Substring ? 0 : 1;
    const char* const base = FText.data();
    const size_t end = FText.size();
    size_t slot = 0;
    // Looks at the text found at At; answers where to search on.
    auto consider = [&](size_t at) {
        slot = static_cast<size_t>(std::upper_bound(FStart.begin() + static_cast<std::ptrdiff_t>(slot), FStart.end(),
                                                    static_cast<uint32_t>(at)) -
                                   FStart.begin() - 1);
        int field = 0;
        for (size_t i = FStart[slot]; i < at; ++i)
            if (base[i] == Separator) ++field;
        // The start of a file name is the start of its folder.
        const bool counts =
            wanted[field] && !FDead[slot] && !Hit[slot] && (Substring || field < 3 || FFolders[FFolder[slot]].empty());
        if (counts) {
            Hit[slot] = 1;
            ++Hits;
            return static_cast<size_t>(FStart[slot + 1]) - lead;  // on to the next song
        }
        const void* next = std::memchr(base + at, Separator, end - at);  // on past this field
        return next ? static_cast<size_t>(static_cast<const char*>(next) - base) : end;
    };
    size_t pos = 0;
    if (!Substring && std::string_view(base, end).starts_with(Text)) pos = consider(0);
    while (pos < end && Hits <= Limit) {
        const void* found = memmem(base + pos, end - pos, needle.data(), needle.size());
        if (!found) break;
        pos = consider(static_cast<size_t>(static_cast<const char*>(found) - base) + lead);
    }
    return Hits <= Limit;
}

bool TSongSearchIndex::FindThroughFolders(std::string_view Text, bool Substring, size_t Limit,
                                          std::vector<uint8_t>& Hit, size_t& Hits) const {
    // Per folder: every song matches (All), or a song whose name starts with the rest of the text
    // from one of Splits on.
    std::vector<uint8_t> all(FFolders.size());
    std::unordered_map<uint32_t, std::vector<size_t>> splits;
    uint32_t index = 0;
    for (const std::string& folder : FFolders) {
        if (Substring) {
            if (folder.find(Text) != std::string::npos) {
                all[index] = 1;
            } else {
                // A folder ends with its delimiter: only a split after that character can fit.
                for (size_t k = 1; k < Text.size() && k <= folder.size(); ++k)
                    if (Text[k - 1] == folder.back() && folder.ends_with(Text.substr(0, k))) splits[index].push_back(k);
            }
        } else if (folder.size() >= Text.size()) {
            all[index] = folder.starts_with(Text);
        } else if (!folder.empty() && Text.starts_with(folder)) {
            splits[index].push_back(folder.size());
        }
        ++index;
    }
    if (splits.empty() && std::none_of(all.begin(), all.end(), [](uint8_t a) { return a != 0; })) return true;
    for (size_t slot = 0; slot < FIDs.size() && Hits <= Limit; ++slot) {
        if (Hit[slot] || FDead[slot]) continue;
        const uint32_t folder = FFolder[slot];
        bool match = all[folder] != 0;
        if (!match) {
            if (auto it = splits.find(folder); it != splits.end()) {
                const std::string_view name = NameOf(Record(slot));
                for (size_t k : it->second) match = match || name.starts_with(Text.substr(k));
            }
        }
        if (match) {
            Hit[slot] = 1;
            ++Hits;
        }
    }
    return Hits <= Limit;
}

bool TSongSearchIndex::Find(std::string_view Text, bool Substring, const TSearchFields& Fields, size_t Limit,
                            std::vector<int32_t>& Found) const {
    Found.clear();
    if (Text.empty()) return true;
    std::vector<uint8_t> hit(FIDs.size());
    size_t hits = 0;
    if (!FindInFields(Text, Substring, Fields, Limit, hit, hits)) return false;
    if (Fields.Filename && !FindThroughFolders(Text, Substring, Limit, hit, hits)) return false;
    Found.reserve(hits);
    for (size_t slot = 0; slot < hit.size(); ++slot)
        if (hit[slot]) Found.push_back(FIDs[slot]);
    return true;
}

}  // namespace kelvar
