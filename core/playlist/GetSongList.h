#pragma once
// Loads the song list of a category on a thread of its own: the statement's rows become song
// items with their start times and the list's total length.
#include <functional>

#include "core/playlist/CategoryLoader.h"
#include "core/playlist/SongItem.h"

namespace kelvar {

class TGetSongList : public TCategoryLoader {
public:
    using TResultCallback = std::function<void(const ISongItemListPtr& songs)>;

    using TCategoryLoader::TCategoryLoader;

    // Main thread, before OnEnd.
    TResultCallback OnResult;

    void Terminate() override;

protected:
    void Execute() override;
};

}  // namespace kelvar
