#pragma once
// Common base of the objects that stand for a table of the song database: each owns one queue of
// background statements, made on first use, so its statements run in order on a worker thread.
#include "database/SQLPool.h"

namespace kelvar {

class TSQLPoolEnabled {
public:
    TSQLPoolEnabled() = default;
    virtual ~TSQLPoolEnabled();
    TSQLPoolEnabled(const TSQLPoolEnabled&) = delete;
    TSQLPoolEnabled& operator=(const TSQLPoolEnabled&) = delete;

    // The object's queue, created with PoolNewDelayedQuery on first use.
    IDelayedQueryPtr GetDelayedQuery();
    // Lets go of the queue (its worker finishes what was queued); the next GetDelayedQuery makes
    // a new one.
    void ReleaseDelayedQuery();

private:
    IDelayedQueryPtr FDelayedQuery;
};

}  // namespace kelvar
