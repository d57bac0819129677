#include "core/playlist/LevelCategories.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {

namespace {

const std::string& CheckedField(const std::string& field) {
    const auto& allowed = LevelFieldNames();
    if (std::find(allowed.begin(), allowed.end(), field) == allowed.end())
        throw ECategoryError("Unknown group field (" + field + ")");
    return field;
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

}  // namespace

const std::vector<std::string>& LevelFieldNames() {
    static const std::vector<std::string> fields = {"artist", "title", "album", "albumyear", "genre"};
    return fields;
}

// --- Loader -------------------------------------------------------------------------------

void TGetLevelList::Terminate() {
    OnResult = nullptr;
    TCategoryLoader::Terminate();
}

int TGetLevelList::ReportInterval(int count) {
    return std::max(200, static_cast<int>(std::lround(count * 2 / 100.0)) + 5);
}

void TGetLevelList::Execute() {
    if (Terminated()) return;
    LowerPriority();
    Status(3, "Retrieving data...");
    IDatasetPtr rows = PoolQuery(FSQL, FParams, true);
    if (Terminated()) return;
    Status(10, "Loading...");
    const int count = rows->RecordCount();
    const int interval = ReportInterval(count);
    auto levels = NewLevelItemList();
    TDLField* id = rows->HasField("ID") ? &FieldOf(*rows, "ID") : nullptr;
    TDLField* display = rows->HasField("display") ? &FieldOf(*rows, "display") : nullptr;
    int done = 0;
    for (rows->First(); !rows->Eof() && !Terminated(); rows->Next()) {
        TSongItem& group = levels->Add();
        group.ListID = id ? static_cast<int32_t>(id->AsInteger()) : -1;
        group.Caption = display ? display->AsString() : std::string();
        if (group.Caption.empty()) group.Caption = "<none>";
        if (++done % interval == 0) {
            Status(static_cast<int>(std::lround(done * 90.0 / count)) + 10, "Loading...");
            std::this_thread::yield();
        }
    }
    if (Terminated()) return;
    Status(100, "");
    Synchronize([this, levels] {
        if (OnResult) OnResult(levels);
    });
}

// --- Group categories ---------------------------------------------------------------------

TLevelCategory::TLevelCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                               std::string name, int32_t id)
    : TCustomCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 0;
    Kind = CategoryKind::Groups;
    ImageIndex = 21;
}

TLevelCategory::~TLevelCategory() {
    if (LevelLoader) {
        auto loader = std::move(LevelLoader);
        loader->Terminate();
        loader->WaitFor();
    }
    StopLoader();
}

void TLevelCategory::LoadLevelList(bool force, const std::string& sql, const TVariantArray& params) {
    if (Levels && !force) {
        if (OnLevelList) OnLevelList(*this, Levels);
        return;
    }
    if (LevelLoader) {
        if (OnStatus) OnStatus(*this, 3, "Busy...");
        return;
    }
    Levels.reset();
    auto loader = std::make_shared<TGetLevelList>(sql, params);
    TGetLevelList* raw = loader.get();
    loader->OnStatus = [this, alive = Alive()](int percent, const std::string& text) {
        if (alive.expired()) return;
        if (OnLevelStatus) OnLevelStatus(*this, percent, text);
    };
    loader->OnResult = [this, raw, alive = Alive()](const ILevelItemListPtr& levels) {
        if (alive.expired()) return;
        if (LevelLoader.get() == raw) LevelLoader.reset();
        Levels = levels;
        if (OnLevelList) OnLevelList(*this, levels);
    };
    // A loader that failed must not leave the groups busy for good.
    loader->OnEnd = [this, raw, alive = Alive()](const std::string& error) {
        if (alive.expired()) return;
        if (LevelLoader.get() == raw) LevelLoader.reset();
        if (!error.empty() && OnLevelStatus) OnLevelStatus(*this, 100, "Failed to load the groups (" + error + ")");
    };
    LevelLoader = loader;
    loader->Start();
}

void TLevelCategory::RefreshLevels(bool /*force*/) {}

ISongInfoPtr TLevelCategory::SelectSong(const TVariantArray& /*params*/) { return nullptr; }

bool TLevelCategory::SelectedCaption(std::string& caption) const {
    if (!Levels || SelectedItem < 0 || SelectedItem >= Levels->Count()) return false;
    caption = Levels->Items(SelectedItem).Caption;
    return true;
}

void TFieldLevelCategory::RefreshLevels(bool force) {
    const std::string& field = CheckedField(FieldName);
    LoadLevelList(force, "SELECT " + field + " as display FROM songlist GROUP BY " + field + " ORDER BY " + field, {});
}

bool TFieldLevelCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    std::string group;
    if (!SelectedCaption(group)) return false;
    const std::string& field = CheckedField(FieldName);
    if (group == "<none>") group.clear();
    if (!group.empty()) {
        params = {group};
        sql = "SELECT ID as songID, artist, title, duration " + fields + "FROM songlist " + "WHERE (%s = :group) " +
              "ORDER BY songlist.artist,songlist.title";
    } else {
        params.clear();
        sql = "SELECT ID as songID, artist, title, duration " + fields + " FROM songlist " + "WHERE (%s = '') " +
              "ORDER BY songlist.artist,songlist.title";
    }
    sql = ReplaceAll(sql, "%s", field);
    return true;
}

void TAlphabetLevelCategory::RefreshLevels(bool /*force*/) {
    auto levels = NewLevelItemList();
    TSongItem& digits = levels->Add();
    digits.ListID = 0;
    digits.Caption = "0..9";
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        TSongItem& group = levels->Add();
        group.ListID = letter;
        group.Caption = std::string(1, letter);
    }
    Levels = levels;
    if (OnLevelList) OnLevelList(*this, levels);
}

bool TAlphabetLevelCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    if (!Levels || SelectedItem < 0 || SelectedItem >= Levels->Count()) return false;
    const std::string& field = CheckedField(FieldName);
    params.clear();
    const std::string head = "SELECT ID as songID, artist, title, duration " + fields + " FROM songlist ";
    if (SelectedItem > 0) {
        // Only the 26 letters reach the text; beyond them the list has no groups.
        const char letter = static_cast<char>(std::min(SelectedItem, 26) + 64);
        sql = head + "WHERE (" + field + " LIKE '" + letter + "%')" + "ORDER BY songlist." + field;
    } else {
        sql = head + "WHERE (" + field + " < 'A' OR " + field + " > 'ZZZZZZZZZZZZZZZZZZZZZZZZZZ')" +
              "ORDER BY songlist." + field;
    }
    return true;
}

}  // namespace kelvar
