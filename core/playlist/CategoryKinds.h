#pragma once
// The kinds of category: folders, the root of the operator's categories, song-type folders and
// their categories, and the built-in collections that map the category operations onto
// songlist columns (all songs of a type, weight classes, play-limit classes, recycle bin).
#include <string>
#include <vector>

#include "core/playlist/CustomCategory.h"

namespace kelvar {

class TSongList;

// A folder of categories; it holds no songs.
class TParentCategory : public TCustomCategory {
public:
    TParentCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                    std::string name, int32_t id);
    ISongInfoPtr SelectSong(const TVariantArray& params) override;
};

class TNormalParentCategory : public TParentCategory {
public:
    TNormalParentCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                          std::string name, int32_t id);
};

// "Playlist": its children are the operator's own categories.
class TRootCategory : public TParentCategory {
public:
    TRootCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex, std::string name,
                  int32_t id);
    std::unique_ptr<TCustomCategory> CreateSubNode(int32_t id, const std::string& name, TCustomCategory* parent,
                                                   int32_t itemIndex, int32_t levelIndex) override;
};

class TSpecialCategory : public TParentCategory {
public:
    using TParentCategory::TParentCategory;
};

// A song-type folder: its children hold songs of its type.
class TSongTypeParentCategory : public TNormalParentCategory {
public:
    using TNormalParentCategory::TNormalParentCategory;
    std::unique_ptr<TCustomCategory> CreateSubNode(int32_t id, const std::string& name, TCustomCategory* parent,
                                                   int32_t itemIndex, int32_t levelIndex) override;
};

// A category of the operator, holding songs in the categorylist table.
class TNormalCategory : public TCustomCategory {
public:
    using TCustomCategory::TCustomCategory;
};

// A category below a song-type folder: adding songs gives them its type, its list shows only
// songs of that type.
class TSongTypeCategory : public TNormalCategory {
public:
    using TNormalCategory::TNormalCategory;
};

// The built-in collections: their songs are a condition on songlist; adding songs changes the
// songs' columns so that they meet it.
class TColumnCategory : public TCustomCategory {
public:
    TColumnCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                    std::string name, int32_t id);
    void AddSongs(ISongItemList& songs, double after, double before) override;

protected:
    // The statement and values that give the songs the collection's condition.
    virtual void GetAddBatch(std::string& sql, TVariantArray& params) = 0;
};

// All songs of one type.
class TSongTypeCategoryAll : public TColumnCategory {
public:
    using TColumnCategory::TColumnCategory;
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
    ISongInfoPtr SelectSong(const TVariantArray& params) override;

protected:
    void GetAddBatch(std::string& sql, TVariantArray& params) override;
    // Along the artist index: no sort of the whole library before the first row.
    std::string LoaderSQL(const std::string& sql, bool& titlesWithinArtist) const override;
};

// The songs with MinWeight <= weight < MaxWeight.
class TWeightCategory : public TColumnCategory {
public:
    using TColumnCategory::TColumnCategory;
    int32_t MinWeight = 0;
    int32_t MaxWeight = 0;
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
    ISongInfoPtr SelectSong(const TVariantArray& params) override;

protected:
    void GetAddBatch(std::string& sql, TVariantArray& params) override;
};

// The songs with a play limit: a count and what happens when it is reached.
class TPlayLimitCategory : public TColumnCategory {
public:
    using TColumnCategory::TColumnCategory;
    int32_t PlayLimitCount = 0;
    std::string PlayLimitAction = "none";
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
    ISongInfoPtr SelectSong(const TVariantArray& params) override;

protected:
    void GetAddBatch(std::string& sql, TVariantArray& params) override;
    // The condition of the class and its values.
    std::string LimitWhere(TVariantArray& params) const;
};

// Every song with a count above 1; takes no songs.
class TPlayLimitOtherCategory : public TPlayLimitCategory {
public:
    TPlayLimitOtherCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                            std::string name, int32_t id);
};

class TCustomRecycleBinCategory : public TColumnCategory {
public:
    using TColumnCategory::TColumnCategory;
    // The library, through which the bin deletes songs (set by the playlist manager).
    TSongList* SongList = nullptr;
};

// Songs of status 3: still in the library, their categories and the queue, but never chosen.
// Removing songs from the bin deletes them from the library.
class TRecycleBinCategory : public TCustomRecycleBinCategory {
public:
    TRecycleBinCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                        std::string name, int32_t id);
    bool RemoveSongs(const TIntegerList& listIDs, const TIntegerList& songIDs) override;
    void ClearSongs() override;
    bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) override;
    ISongInfoPtr SelectSong(const TVariantArray& params) override;

protected:
    void GetAddBatch(std::string& sql, TVariantArray& params) override;
};

}  // namespace kelvar
