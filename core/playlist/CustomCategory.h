#pragma once
// A category of the library's category tree: its place in the tree, what the operator may do
// with it, and its song list (loaded on a thread of its own, changed through statements on the
// song database). The built-in kinds override what they map onto songlist columns instead.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/IntegerList.h"
#include "core/playlist/PlaylistErrors.h"
#include "core/playlist/SongItem.h"
#include "database/SQLPool.h"
#include "media/SongInfo.h"

namespace kelvar {

class TCategoryTree;
class TGetSongList;
class IPlaylistRules;

// Failures of the categories and their tree.
class ECategoryError : public EPlaylistError {
public:
    using EPlaylistError::EPlaylistError;
};

// Capability bits of a category.
namespace CategoryCapability {
constexpr int AddSongs = 0;        // adding songs and files, dropping songs on it
constexpr int Remove = 2;          // remove, crop, clear, remove duplicates
constexpr int Sort = 3;            // sorting, shuffling, reordering by dragging
constexpr int CreateChildren = 4;  // creating child categories, dropping categories on it
constexpr int Rename = 5;
constexpr int Delete = 6;
constexpr int Move = 7;  // moving it by dragging
}  // namespace CategoryCapability

// What the library window shows of a category.
namespace CategoryKind {
constexpr uint8_t Songs = 0;
constexpr uint8_t Folder = 1;
constexpr uint8_t Groups = 2;
}  // namespace CategoryKind

class TCustomCategory {
public:
    // Sender first.
    using TProgressEvent = std::function<void(TCustomCategory& sender, int percent, const std::string& text)>;
    using TSongListEvent = std::function<void(TCustomCategory& sender, const ISongItemListPtr& songs)>;
    // Rows from First on were appended to Songs, the list being loaded.
    using TSongRowsEvent = std::function<void(TCustomCategory& sender, const ISongItemListPtr& songs, int first)>;

    TCustomCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                    std::string name, int32_t id);
    // Stops a running loader and waits until its thread has ended.
    virtual ~TCustomCategory();
    TCustomCategory(const TCustomCategory&) = delete;
    TCustomCategory& operator=(const TCustomCategory&) = delete;

    ISongItemListPtr Songs;                // cached song list, empty until loaded
    std::shared_ptr<TGetSongList> Loader;  // the running song-list loader
    ISongItemListPtr Loading;              // the rows the running loader has delivered so far
    TCategoryTree* Tree;
    int32_t ID;  // category row; 0 or negative for built-in ones
    std::string Name;
    TCustomCategory* Parent;  // none at the top level
    int32_t LevelIndex;       // depth, 0 at the top level
    int32_t ItemIndex;        // position among the siblings
    uint8_t Capabilities = 255;
    uint8_t Kind = CategoryKind::Songs;
    int32_t ImageIndex = 21;
    char SongType = ' ';        // blank: none
    TProgressEvent OnProgress;  // long operations
    TProgressEvent OnStatus;    // the song-list loader
    TSongListEvent OnSongList;  // a song list is ready
    TSongRowsEvent OnSongRows;  // rows of the list being loaded arrived (OnSongList follows at the end)

    // Answers the cached list at once unless Force; "Busy..." while a load runs.
    virtual void LoadSongList(bool force, const std::string& sql, const TVariantArray& params);
    // Makes the object for a stored child row; the request climbs to a parent that can make
    // children. Parent stays the category that receives the child.
    virtual std::unique_ptr<TCustomCategory> CreateSubNode(int32_t id, const std::string& name, TCustomCategory* parent,
                                                           int32_t itemIndex, int32_t levelIndex);
    // Stores the songs between the sort values After and Before (0: at the end); sets each
    // item's SortID and ListID.
    virtual void AddSongs(ISongItemList& songs, double after, double before);
    virtual bool RemoveSongs(const TIntegerList& listIDs, const TIntegerList& songIDs);
    virtual void ClearSongs();
    // The new sort value, the midpoint of the neighbours; stored in the background.
    virtual double MoveSong(int32_t listID, double sortA, double sortB);
    virtual void Shuffle();
    // Answers the number of entries removed.
    virtual int RemoveDuplicates();
    // Field: one of SortFields(); anything else raises ECategoryError.
    virtual void Sort(const std::string& field, bool ascending);
    // Fields: extra columns, beginning with ", " when not empty.
    virtual bool GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields);
    // Deletes the stored rows of this category and its subtree; the caller removes the object.
    virtual void DeleteCategory();
    virtual void DeleteChildren();
    virtual bool Rename(const std::string& newName);
    virtual TCustomCategory* FirstChild();
    // Mode 0: last child of Target; mode 1: Target's place. False (nothing changed) for a move
    // onto itself, into its own subtree or beside a category without a parent.
    virtual bool MoveTo(TCustomCategory* target, int mode);
    // Params: method (0 when missing), whether the rules apply (true when missing). Empty
    // when no song qualifies.
    virtual ISongInfoPtr SelectSong(const TVariantArray& params);

    int32_t GetID() const { return ID; }
    int32_t GetItemIndex() const { return ItemIndex; }
    int32_t GetLevelIndex() const { return LevelIndex; }
    TCustomCategory* GetParent() const { return Parent; }
    TCustomCategory* NextSibling();
    bool HasCapability(int bit) const;

    // The sort fields the library window offers.
    static const std::vector<std::string>& SortFields();

protected:
    // Statements carrying many IDs in place of "$IDLIST$", at most 500 per statement, queued on
    // the tree's background queue.
    void BeginIDBatch(const std::string& sql, const TVariantArray& params);
    void AddToIDBatch(int32_t id);
    void FlushIDBatch();
    void EndIDBatch();

    // The tree's background queue and rules.
    IDelayedQueryPtr TreeQuery() const;
    IPlaylistRules& Rules() const;
    // "" for a blank letter, else the rules' song-type clause.
    std::string SongTypeClauseOf(char songType) const;
    // Tells a running loader to stop and waits for its end.
    void StopLoader();
    // The statement the loader runs for Sql (the category's song list statement); a kind may
    // give one that orders by artist alone and have the loader put titles in order.
    virtual std::string LoaderSQL(const std::string& sql, bool& titlesWithinArtist) const;
    // Held by the callbacks given to loaders: expired once the category is going away, so that
    // a loader's report posted to the main thread never reaches a freed category (a loader whose
    // result has arrived is no longer stopped by the category, yet its end is still to come).
    std::weak_ptr<const bool> Alive() const { return FAlive; }
    // Drops the cached list.
    void DropSongs() { Songs.reset(); }
    // Gives the later siblings left at Index one place less (memory only).
    void CloseGapAt(TCustomCategory* parent, int32_t index);

private:
    void StorePosition();
    void StorePositionsBelow();
    // Positions 0, 1, 2, ... for the children of Parent in their order (memory and table).
    void CompactChildren(TCustomCategory* parent);

    std::string FBatchSQL;
    TVariantArray FBatchParams;
    std::unique_ptr<TIntegerList> FBatchIDs;
    std::shared_ptr<const bool> FAlive = std::make_shared<const bool>(true);
};

bool CategoryHasCapability(const TCustomCategory* category, int bit);
inline bool CategoryCanAddFiles(const TCustomCategory* c) {
    return CategoryHasCapability(c, CategoryCapability::AddSongs);
}
inline bool CategoryCanRemove(const TCustomCategory* c) { return CategoryHasCapability(c, CategoryCapability::Remove); }
inline bool CategoryCanSort(const TCustomCategory* c) { return CategoryHasCapability(c, CategoryCapability::Sort); }
inline bool CategoryCanShuffle(const TCustomCategory* c) { return CategoryHasCapability(c, CategoryCapability::Sort); }

// Loads the category's songs when it can name a statement for them.
void CategoryLoadSongs(TCustomCategory& category, bool force);
// The Name of a category given as a plain pointer; empty for none.
std::string CategoryName(const TCustomCategory* category);

}  // namespace kelvar
