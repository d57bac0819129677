#pragma once
// The play history as stored in historylist: one row per song started on an automated deck.
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/playlist/SQLPoolEnabled.h"
#include "core/playlist/SongItem.h"
#include "foundation/MulticastEvent.h"
#include "media/SongInfo.h"

namespace kelvar {

// The "balance" of the song booked last; new songs are placed near it.
extern std::atomic<double> LastHistoryBalance;

class THistoryList : public TSQLPoolEnabled {
public:
    // Every listener hears it; the item lives only during the call.
    TMulticastEvent<THistoryList& /*sender*/, const TSongItem& /*item*/> OnAdd;
    int32_t MaxItems = 200;

    // Books a play; Song keeps "listeners" as given.
    void Add(ISongInfo& song, int32_t listeners);
    // The newest MaxItems rows, newest first.
    IDatasetPtr GetList();
};

}  // namespace kelvar
