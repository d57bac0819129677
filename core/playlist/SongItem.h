#pragma once
// The rows the playlist model hands to the windows: one song item, the ordered song-item list
// that owns its items, and the level list of group captions.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvar {

struct TSongItem {
    int32_t ListID = 0;     // ID of the row in its list table; -1 for a queue item not yet stored
    int32_t SongID = 0;     // ID of songlist
    std::string Caption;    // "Artist - Title" (requested queue entries end in " ~requested~")
    double SortID = 0;      // the row's sortID, 0 where the list has none
    int32_t Duration = 0;   // ms; 0 or less when unknown
    int64_t StartTime = 0;  // song lists: whole seconds from the list start; history: ms of the day
};

class ISongItemList {
public:
    virtual ~ISongItemList() = default;
    virtual int Count() const = 0;
    // Raises EListError outside 0 .. Count-1.
    virtual TSongItem& Items(int index) = 0;
    virtual int32_t TotalDuration() const = 0;
    virtual bool HasUnknownDuration() const = 0;
    // The category loader sets the total alone.
    virtual void SetTotalDuration(int32_t seconds) = 0;
    // Start times and the total from the durations of the items.
    virtual void Recalc() = 0;
    virtual TSongItem& Add() = 0;
    // Index may be Count (append); raises EListError outside 0 .. Count.
    virtual TSongItem& Insert(int index) = 0;
    virtual void Delete(int index) = 0;
    // The former index of Item, -1 when it isn't in the list.
    virtual int Remove(const TSongItem* item) = 0;
    virtual void Clear() = 0;
    virtual void Move(int curIndex, int newIndex) = 0;
    // Takes every item of Source, first to last: mode 1 appends them, modes 0 and 2 insert them
    // at Index, Index + 1, ...; Source ends empty.
    virtual void MoveFrom(ISongItemList& source, int mode, int index) = 0;
    // Takes the item out without freeing it.
    virtual std::unique_ptr<TSongItem> Extract(int index) = 0;
};

using ISongItemListPtr = std::shared_ptr<ISongItemList>;

class TSongItemList : public ISongItemList {
public:
    int Count() const override;
    TSongItem& Items(int index) override;
    int32_t TotalDuration() const override { return FTotalDuration; }
    bool HasUnknownDuration() const override { return FHasUnknownDuration; }
    void SetTotalDuration(int32_t seconds) override { FTotalDuration = seconds; }
    void Recalc() override;
    TSongItem& Add() override;
    TSongItem& Insert(int index) override;
    void Delete(int index) override;
    int Remove(const TSongItem* item) override;
    void Clear() override;
    void Move(int curIndex, int newIndex) override;
    void MoveFrom(ISongItemList& source, int mode, int index) override;
    std::unique_ptr<TSongItem> Extract(int index) override;

private:
    void CheckIndex(int index) const;

    // Items live on the heap so that references handed out stay valid while the list changes.
    std::vector<std::unique_ptr<TSongItem>> FItems;
    int32_t FTotalDuration = 0;
    bool FHasUnknownDuration = false;
};

ISongItemListPtr NewSongItemList();

// The groups of a level category: only ListID and Caption are used.
class ILevelItemList {
public:
    virtual ~ILevelItemList() = default;
    virtual int Count() const = 0;
    // Raises EListError outside 0 .. Count-1.
    virtual TSongItem& Items(int index) = 0;
    virtual TSongItem& Add() = 0;
    virtual void Clear() = 0;
};

using ILevelItemListPtr = std::shared_ptr<ILevelItemList>;

class TLevelItemList : public ILevelItemList {
public:
    int Count() const override;
    TSongItem& Items(int index) override;
    TSongItem& Add() override;
    void Clear() override;

private:
    std::vector<std::unique_ptr<TSongItem>> FItems;
};

ILevelItemListPtr NewLevelItemList();

}  // namespace kelvar
