#pragma once
// A library of a million songs made through SQL once per run: the rows go in with the song
// list's secondary indexes switched off, and the indexes are built afterwards from the sorted
// keys (maintaining fourteen indexes row by row would take the engine many minutes).
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "common/BenchSongDatabase.h"

namespace kelvar::benchdb {

// The secondary indexes of songlist in the setup's tables.sql.
inline std::vector<std::string> SongListIndexes() {
    const std::string text = songtest::ReadTextFile(std::string(KELVAR_SETUP_SQL_DIR) + "tables.sql");
    const std::regex index(R"(CREATE\s+(DESCENDING\s+)?INDEX\s+(\w+)\s+ON\s+songlist\b)", std::regex::icase);
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), index); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[2]);
    return names;
}

// Runs Statements with the named indexes inactive, then builds them again.
inline void WithoutIndexes(const TBenchSongDatabase& db, const std::vector<std::string>& indexes,
                           const std::vector<std::string>& statements) {
    std::vector<std::string> all;
    for (const std::string& name : indexes) all.push_back("ALTER INDEX " + name + " INACTIVE");
    all.insert(all.end(), statements.begin(), statements.end());
    for (const std::string& name : indexes) all.push_back("ALTER INDEX " + name + " ACTIVE");
    db.ExecDirect(all);
}

// Count songs (a multiple of 1000 up to 1,024,000) with IDs 1 .. Count: 2,000 folders, 50,000
// artists, distinct titles, weights 20 .. 80, every song eligible for the rotation rules.
inline void FillSongs(const TBenchSongDatabase& db, int count) {
    WithoutIndexes(
        db, SongListIndexes(),
        {"INSERT INTO songlist (ID, filename, artist, title, album, duration, weight, balance) " + NumberRows(count) +
             "SELECT i + 1, '/library/' || MOD(i, 2000) || '/song' || i || '.mp3', 'Artist ' || "
             "MOD(i * 7, 50000), 'Title ' || i, 'Album ' || MOD(i, 100000), 180000, 20 + MOD(i * 37, 61), "
             "0 FROM n",
         "ALTER SEQUENCE GEN_songlist_ID RESTART WITH " + std::to_string(count)});
}

// Sets every song's balance to Expression (of the song's ID) with the balance indexes rebuilt.
inline void SetBalances(const TBenchSongDatabase& db, const std::string& expression) {
    WithoutIndexes(db, {"IDX_songlist_balance", "IDX_songlist_balance_weight"},
                   {"UPDATE songlist SET balance = " + expression});
}

}  // namespace kelvar::benchdb
