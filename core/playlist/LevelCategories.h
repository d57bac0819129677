#pragma once
// The group categories: the library grouped by one songlist column (every distinct value, or
// the first letters A to Z). The groups are a level list loaded on a thread of its own; the
// songs of the chosen group are the category's song list.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/CategoryLoader.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/SongItem.h"

namespace kelvar {

// Reads the groups: "ID" and "display" of each row (the caption "<none>" for an empty value).
class TGetLevelList : public TCategoryLoader {
public:
    using TResultCallback = std::function<void(const ILevelItemListPtr& levels)>;

    using TCategoryLoader::TCategoryLoader;

    // Main thread, before OnEnd.
    TResultCallback OnResult;

    void Terminate() override;
    // The number of rows between two status reports for a result of Count rows.
    static int ReportInterval(int count);

protected:
    void Execute() override;
};

class TLevelCategory : public TCustomCategory {
public:
    using TLevelListEvent = std::function<void(TCustomCategory& sender, const ILevelItemListPtr& levels)>;

    TLevelCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                   std::string name, int32_t id);
    // Stops the level loader, then the song-list loader, waiting for each.
    ~TLevelCategory() override;

    ILevelItemListPtr Levels;  // cached groups, empty until loaded
    int32_t SelectedItem = 0;  // index of the chosen group
    std::shared_ptr<TGetLevelList> LevelLoader;
    TProgressEvent OnLevelStatus;
    TLevelListEvent OnLevelList;

    // Answers the cached groups at once unless Force; "Busy..." (through OnStatus) while a
    // load runs.
    virtual void LoadLevelList(bool force, const std::string& sql, const TVariantArray& params);
    virtual void RefreshLevels(bool force);
    void SetSelectedItem(int32_t index) { SelectedItem = index; }

    ISongInfoPtr SelectSong(const TVariantArray& params) override;

protected:
    // The caption of the chosen group; false when the groups aren't loaded or the choice is
    // outside them.
    bool SelectedCaption(std::string& caption) const;
};

// The columns a group category may group by: they become part of the statement's text.
const std::vector<std::string>& LevelFieldNames();

// Every distinct value of the column.
class TFieldLevelCategory : public TLevelCategory {
public:
    using TLevelCategory::TLevelCategory;
    std::string FieldName;

    void RefreshLevels(bool force) override;
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
};

// "0..9" and the letters "A" to "Z".
class TAlphabetLevelCategory : public TLevelCategory {
public:
    using TLevelCategory::TLevelCategory;
    std::string FieldName;

    void RefreshLevels(bool force) override;
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
};

}  // namespace kelvar
