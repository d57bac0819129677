#pragma once
// The library's searchable text in memory: per song its key and its artist, title, album and file
// name folded to upper case, so that a search finds the few songs a rare text matches without the
// database reading every row. The texts of all songs lie in one arena, each song's fields one
// after the other; a file name keeps its folder once for all the songs of that folder.
//
// Not thread-safe: its owner guards it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvar {

// The fields a search looks in.
struct TSearchFields {
    bool Artist = true, Title = true, Album = false, Filename = false;
};

class TSongSearchIndex {
public:
    TSongSearchIndex();

    // Adds the song, or replaces the one of that ID; the texts as stored, folded here.
    void Put(int32_t ID, std::string_view Artist, std::string_view Title, std::string_view Album,
             std::string_view Filename);
    void Remove(int32_t ID);
    // Gives back the room the arrays grew by (after a load).
    void Compact();

    // The songs whose chosen fields hold Text (folded, see Searchable) anywhere with Substring,
    // else at their start, in no particular order. False, with Found incomplete, as soon as more
    // than Limit songs match.
    bool Find(std::string_view Text, bool Substring, const TSearchFields& Fields, size_t Limit,
              std::vector<int32_t>& Found) const;

    // Folded text the index answers exactly like the database's LIKE: not empty, no wildcard and
    // no control character (those separate the fields here).
    static bool Searchable(std::string_view Text);

    // The highest ID ever put (0 when none).
    int32_t MaxID() const { return FMaxID; }
    // Songs held.
    size_t Count() const { return FLive; }
    // Bytes held, roughly.
    size_t MemoryBytes() const;

private:
    // The index of Folder (folded), added when new.
    uint32_t FolderOf(std::string_view Folder);
    // The slot of the live song with that ID, or -1.
    int64_t SlotOf(int32_t ID) const;
    std::string_view Record(size_t Slot) const;
    // Marks the songs matched inside one field (a file name's own part included); false once
    // more than Limit are marked.
    bool FindInFields(std::string_view Text, bool Substring, const TSearchFields& Fields, size_t Limit,
                      std::vector<uint8_t>& Hit, size_t& Hits) const;
    // Marks the songs matched through their folder: in it, or across it into the name.
    bool FindThroughFolders(std::string_view Text, bool Substring, size_t Limit, std::vector<uint8_t>& Hit,
                            size_t& Hits) const;

    // Each slot's record: artist, title, album and file name without its folder, each ended by
    // a separator byte.
    std::vector<char> FText;
    std::vector<uint32_t> FStart;  // one more than slots: the arena's end
    std::vector<int32_t> FIDs;
    std::vector<uint32_t> FFolder;
    std::vector<bool> FDead;
    // Slots [0, FSorted) hold rising IDs; the IDs of later slots are found through FLater.
    size_t FSorted = 0;
    std::unordered_map<int32_t, uint32_t> FLater;
    // The folders (folded, with their last delimiter); a deque keeps them in place for the views.
    std::deque<std::string> FFolders;
    std::unordered_map<std::string_view, uint32_t> FFolderIndex;
    int32_t FMaxID = 0;
    size_t FLive = 0;
};

}  // namespace kelvar
