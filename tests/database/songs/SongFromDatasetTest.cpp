// The song record over a result set of the pool: the one place where the media and database
// layers meet, kept out of the database tests so that they link no media library.
#include <gtest/gtest.h>

#include "PoolTestSupport.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using pooltest::TPoolFixture;

using SongFromDatasetTest = TPoolFixture;

TEST_F(SongFromDatasetTest, CopiesARowThroughTheValueList) {
    PoolExecSQL("INSERT INTO songlist (ID, title, artist, album) VALUES (:ID, :title, :artist, :album)",
                {1, "Title 1", "Artist", TDLVariant()});

    IDatasetPtr ds = PoolQuery("SELECT * FROM songlist WHERE ID = :ID", {1});
    ASSERT_FALSE(ds->IsEmpty());
    // The NULL album is left out.
    auto song = TSongInfo::CreateFromDataset(*ds, {"ID", "TITLE", "ALBUM"});
    EXPECT_EQ(song->GetTitle(), "Title 1");
    EXPECT_EQ(song->GetCount(), 2);
}

}  // namespace
}  // namespace kelvar
