#pragma once
// Shared pieces of the category tests: a song database with the built-in tree over it, and
// rules that give the category statements their clauses. The rotation rules live above this
// library, so the tests give the clauses themselves (with the same texts) and a rules fragment
// of their own choosing.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/SongTestDatabase.h"
#include "core/playlist/BuiltInCategoryTree.h"
#include "core/playlist/CategoryKinds.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistRules.h"
#include "database/datalink/DLEngine.h"

namespace kelvar::categorytest {

class TTestRules : public IPlaylistRules {
public:
    // Appended by BuildRulesSQL, with its values.
    std::string Fragment;
    TVariantArray FragmentValues;
    int BuildCount = 0;

    int GetMinQueueSize() override { return 0; }
    bool GetUseGhostQueue() override { return true; }
    ISongInfoPtr GetGhostSong() override { return nullptr; }
    void SetMinQueueSize(int) override {}
    void SetUseGhostQueue(bool) override {}
    void SetGhostSong(ISongInfoPtr) override {}
    void SetNowPlaying(ISongInfoPtr) override {}
    void SetMinArtistTime(int) override {}
    void SetMinSongTime(int) override {}
    int GetMinArtistTime() override { return 0; }
    int GetMinSongTime() override { return 0; }
    int GetMinAlbumTime() override { return 0; }
    void SetMinAlbumTime(int) override {}
    void SetMinSongIDTime(int) override {}
    int GetMinSongIDTime() override { return 0; }
    void LoadConfig(IConfigDoc&) override {}
    void SaveConfig(IConfigDoc&) override {}

    std::string BuildRulesSQL(TVariantArray& params) override {
        ++BuildCount;
        params.insert(params.end(), FragmentValues.begin(), FragmentValues.end());
        return Fragment;
    }
    std::string SongTypeClause(char songType) override { return std::string(" AND (songtype = '") + songType + "') "; }
    std::string StatusClause(uint8_t status) override { return " AND (status = " + std::to_string(status) + ") "; }
};

class TCategoryFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        songtest::TSongDbFixture::SetUp();
        Rules = std::make_shared<TTestRules>();
        BuildTree();
    }
    void TearDown() override {
        if (Tree) {
            Tree->GetDelayedQuery()->WaitForAll();
            Tree.reset();
        }
        songtest::TSongDbFixture::TearDown();
    }

    // A fresh tree from the built-in part and the stored rows, as at start-up.
    void BuildTree() {
        if (Tree) Tree->GetDelayedQuery()->WaitForAll();
        Tree = std::make_unique<TCategoryTree>();
        Tree->SetRules(Rules);
        Tree->Fill();
    }

    // Runs the main thread's calls until Done holds (a generous bound keeps a fault from hanging).
    bool PumpUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (Loop->ProcessPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // The background statements of the tree have run.
    void WaitForTree() { ASSERT_TRUE(Tree->GetDelayedQuery()->WaitForAll()); }

    TCustomCategory* Find(const std::string& name) {
        TCustomCategory* c = Tree->FindByName(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    // A user category row stored directly, as an older session left it.
    static int StoreCategoryRow(int parentID, const std::string& name, int level, int item) {
        auto rows = PoolQuery("SELECT * FROM category WHERE ID = 0", {}, false);
        rows->Append();
        rows->SetFieldValue("parentID", parentID);
        rows->SetFieldValue("name", name);
        rows->SetFieldValue("levelindex", level);
        rows->SetFieldValue("itemindex", item);
        rows->Post();
        return static_cast<int>(rows->GetFieldValue("ID").AsInteger());
    }

    // Count library rows in one transaction; answers their IDs. Artists and titles cycle
    // through small sets so that groups and orders have something to work on.
    static std::vector<int32_t> AddSongRows(int count, const std::string& folder = "/music/") {
        std::vector<int32_t> ids;
        auto connection = PoolGetWriteConnection();
        auto rows = connection->Query("SELECT * FROM songlist WHERE ID = 0", {}, false);
        for (int i = 0; i < count; ++i) {
            rows->Append();
            rows->SetFieldValue("filename", folder + "song" + std::to_string(i) + ".mp3");
            rows->SetFieldValue("artist", "Artist " + std::to_string(i % 7));
            rows->SetFieldValue("title", "Title " + std::to_string(i));
            rows->SetFieldValue("duration", 1000 * (i + 1));
            rows->Post();
            ids.push_back(static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger()));
        }
        rows.reset();
        connection->Commit();
        return ids;
    }

    static ISongItemListPtr ItemsOf(const std::vector<int32_t>& songIDs) {
        auto items = NewSongItemList();
        for (int32_t id : songIDs) items->Add().SongID = id;
        return items;
    }

    static double Number(const std::string& sql, const TVariantArray& params = {}) {
        auto rows = PoolQuery(sql, params);
        return rows->IsEmpty() ? 0 : rows->GetFieldValue(rows->FieldNames().at(0)).AsFloat();
    }

    std::shared_ptr<TTestRules> Rules;
    std::unique_ptr<TCategoryTree> Tree;
};

}  // namespace kelvar::categorytest
