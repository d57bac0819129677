#pragma once
// Loads the song list of a category on a thread of its own: the statement's rows become song
// items with their start times and the list's total length. The rows reach the main thread in
// batches as they are read (the first few at once, so a window shows them while the rest load).
#include <cstdint>
#include <functional>
#include <vector>

#include "core/playlist/CategoryLoader.h"
#include "core/playlist/SongItem.h"

namespace kelvar {

class TGetSongList : public TCategoryLoader {
public:
    using TRowsCallback = std::function<void(std::vector<TSongItem>& rows)>;
    using TResultCallback = std::function<void(int32_t totalDuration)>;

    using TCategoryLoader::TCategoryLoader;

    // Main thread: the next rows of the list in order, then the list's length in seconds once
    // every row has come (not after a failure); both before OnEnd.
    TRowsCallback OnRows;
    TResultCallback OnResult;

    // The statement orders by artist alone (along its index, so the first rows come at once)
    // and has the columns has_artist and has_title (0 for NULL); the rows of each artist are put
    // in title order here, which gives the order of "ORDER BY artist, title" without sorting the
    // whole result first.
    bool TitlesWithinArtist = false;

    // Rows in the first batch and at most in any later one.
    static constexpr size_t FirstBatch = 200;
    static constexpr size_t LargestBatch = 20000;

    void Terminate() override;

protected:
    void Execute() override;
};

// True when Row a goes before b in "ORDER BY title" among the rows of one artist: text in the
// database's UTF8 order (bytes), trailing blanks ignored, NULL (HasTitle false) first.
bool TitleBefore(const std::string& a, bool aHasTitle, const std::string& b, bool bHasTitle);

}  // namespace kelvar
