#include "core/playlist/SQLPoolEnabled.h"

namespace kelvar {

TSQLPoolEnabled::~TSQLPoolEnabled() = default;

IDelayedQueryPtr TSQLPoolEnabled::GetDelayedQuery() {
    if (!FDelayedQuery) FDelayedQuery = PoolNewDelayedQuery();
    return FDelayedQuery;
}

void TSQLPoolEnabled::ReleaseDelayedQuery() { FDelayedQuery.reset(); }

}  // namespace kelvar
