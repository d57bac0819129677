// Song item lists, level lists, integer lists, progress reports and the model's helpers.
#include <gtest/gtest.h>

#include <vector>

#include "core/playlist/IntegerList.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "core/playlist/SongItem.h"
#include "foundation/Errors.h"

namespace kelvar {
namespace {

ISongItemListPtr ListOf(std::initializer_list<int32_t> songIDs) {
    ISongItemListPtr list = NewSongItemList();
    for (int32_t id : songIDs) list->Add().SongID = id;
    return list;
}

std::vector<int32_t> SongIDs(ISongItemList& list) {
    std::vector<int32_t> ids;
    for (int i = 0; i < list.Count(); ++i) ids.push_back(list.Items(i).SongID);
    return ids;
}

TEST(SongItemListTest, RecalcSkipsUnknownDurationsAndCountsWholeSeconds) {
    ISongItemListPtr list = NewSongItemList();
    for (int32_t ms : {3500, 0, 2999}) list->Add().Duration = ms;
    list->Items(1).StartTime = 77;
    list->Recalc();
    EXPECT_EQ(list->Items(0).StartTime, 0);
    EXPECT_EQ(list->Items(1).StartTime, 77);  // unknown length: left as it was
    EXPECT_EQ(list->Items(2).StartTime, 3);
    EXPECT_EQ(list->TotalDuration(), 5);
    EXPECT_TRUE(list->HasUnknownDuration());

    list->Delete(1);
    list->Recalc();
    EXPECT_FALSE(list->HasUnknownDuration());
}

TEST(SongItemListTest, MoveFromKeepsOrderAndEmptiesSource) {
    struct Case {
        int mode;
        int index;
        std::vector<int32_t> expected;
    };
    for (const Case& c :
         {Case{0, 2, {1, 2, 7, 8, 9, 3}}, Case{2, 0, {7, 8, 9, 1, 2, 3}}, Case{1, 0, {1, 2, 3, 7, 8, 9}}}) {
        ISongItemListPtr target = ListOf({1, 2, 3});
        ISongItemListPtr source = ListOf({7, 8, 9});
        target->MoveFrom(*source, c.mode, c.index);
        EXPECT_EQ(SongIDs(*target), c.expected) << "mode " << c.mode;
        EXPECT_EQ(source->Count(), 0);
    }
}

TEST(SongItemListTest, ItemsStayValidAcrossChangesAndIndexErrorsRaise) {
    ISongItemListPtr list = ListOf({1, 2, 3});
    TSongItem* second = &list->Items(1);
    list->Insert(0).SongID = 0;
    list->Move(3, 0);
    EXPECT_EQ(SongIDs(*list), (std::vector<int32_t>{3, 0, 1, 2}));
    EXPECT_EQ(second->SongID, 2);
    EXPECT_EQ(list->Remove(second), 3);
    EXPECT_EQ(list->Remove(&list->Items(0)), 0);
    EXPECT_EQ(list->Remove(nullptr), -1);

    std::unique_ptr<TSongItem> taken = list->Extract(0);
    EXPECT_EQ(taken->SongID, 0);
    EXPECT_EQ(SongIDs(*list), (std::vector<int32_t>{1}));

    EXPECT_THROW(list->Items(1), EListError);
    EXPECT_THROW(list->Delete(-1), EListError);
    EXPECT_THROW(list->Extract(5), EListError);
    EXPECT_THROW(list->Move(0, 1), EListError);
    EXPECT_THROW(list->Insert(3), EListError);

    ILevelItemListPtr levels = NewLevelItemList();
    levels->Add().Caption = "A";
    EXPECT_EQ(levels->Items(0).Caption, "A");
    EXPECT_THROW(levels->Items(1), EListError);
}

TEST(SongItemListTest, NewItemsStartEmpty) {
    ISongItemListPtr list = NewSongItemList();
    TSongItem& item = list->Add();
    EXPECT_EQ(item.ListID, 0);
    EXPECT_EQ(item.SongID, 0);
    EXPECT_EQ(item.SortID, 0);
    EXPECT_EQ(item.Duration, 0);
    EXPECT_EQ(item.StartTime, 0);
    EXPECT_TRUE(item.Caption.empty());
}

TEST(IntegerListTest, AddDeleteAndText) {
    TIntegerList list;
    EXPECT_EQ(IntegerListToStr(list), "");
    for (int32_t v : {4, 17, 9}) list.Add(v);
    EXPECT_EQ(IntegerListToStr(list), "4,17,9");
    list.Delete(1);
    EXPECT_EQ(IntegerListToStr(list), "4,9");
    EXPECT_THROW(list.Items(2), EListError);
    EXPECT_THROW(list.Delete(2), EListError);
}

TEST(ProgressHandlerTest, ReportsEveryTwoPercentAndHundredMilliseconds) {
    int64_t now = 1000;
    std::vector<std::pair<int, std::string>> reports;
    TProgressHandler progress(
        200, "Busy...", [&](int p, const std::string& t) { reports.emplace_back(p, t); }, [&] { return now; });
    now += 100;
    for (uint32_t pos : {1u, 2u, 3u}) progress.SetPosition(pos);
    EXPECT_TRUE(reports.empty());
    progress.SetPosition(4);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::make_pair(2, std::string("Busy...")));

    progress.SetPosition(100);  // a step of 48 %, but within 100 ms of the last report
    EXPECT_EQ(reports.size(), 1u);
    now += 100;
    progress.SetCaption("Add songlist...");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], std::make_pair(50, std::string("Add songlist...")));

    // A caption alone reports only with the next step of 2 %.
    now += 500;
    progress.SetCaption("Verify...");
    EXPECT_EQ(reports.size(), 2u);
    progress.StepIt();
    progress.StepIt();
    progress.StepIt();
    progress.StepIt();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2], std::make_pair(52, std::string("Verify...")));

    // Going back resets the last reported position.
    now += 100;
    progress.SetPosition(10);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[3].first, 5);
}

TEST(ProgressHandlerTest, ZeroTotalCountsAsOne) {
    int64_t now = 0;
    int last = -1;
    TProgressHandler progress(
        0, "x", [&](int p, const std::string&) { last = p; }, [&] { return now; });
    now = 200;
    progress.SetPosition(1);
    EXPECT_EQ(last, 100);
}

TEST(PlaylistUtilsTest, SortIDRange) {
    struct Case {
        double after, before;
        int count;
        double greatest;
        double wantAfter, wantBefore, wantStep;
    };
    for (const Case& c : {Case{0, 0, 3, 5000, 6000, 10000, 1000},   // append after the greatest
                          Case{0, 300, 2, 0, 0, 300, 100},          // before the first row
                          Case{0, 0, 2, 0, 1000, 4000, 1000},       // empty list
                          Case{500, 500, 1, 900, 500, 2500, 1000},  // no room between the neighbours
                          Case{1000, 2000, 1, 2000, 1000, 2000, 500}}) {
        double after = c.after, before = c.before, step = 0;
        SortIDRange(after, before, step, c.count, c.greatest);
        EXPECT_EQ(after, c.wantAfter);
        EXPECT_EQ(before, c.wantBefore);
        EXPECT_EQ(step, c.wantStep);
    }
}

TEST(PlaylistUtilsTest, PlainFilesNamesAndTimes) {
    EXPECT_TRUE(IsPlainFile("/music/a.mp3"));
    EXPECT_TRUE(IsPlainFile("a"));
    EXPECT_FALSE(IsPlainFile("http://host/a.mp3"));
    EXPECT_FALSE(IsPlainFile("/cd/Track01.CDA"));
    EXPECT_FALSE(IsPlainFile("/cd/Track01.cda"));

    EXPECT_EQ(SongDisplayName("Artist", "Title"), "Artist - Title");
    EXPECT_EQ(SongDisplayName("", " Title "), " Title ");

    EXPECT_EQ(TimeOfDayToMs(EncodeDateTime(2026, 3, 1, 14, 3, 5, 250)), ((14 * 3600 + 3 * 60 + 5) * 1000) + 250);
    EXPECT_EQ(TimeOfDayToMs(EncodeDateTime(2026, 3, 1, 0, 0, 0, 0)), 0);

    EXPECT_EQ(TextToIntDef0("7/12"), 0);
    EXPECT_EQ(TextToIntDef0(" 12 "), 12);
    EXPECT_EQ(TextToIntDef0("99999999999"), 0);
    EXPECT_EQ(TextToFloatDef0("12.5"), 12.5);
    EXPECT_EQ(TextToFloatDef0("12,5"), 12.5);
    EXPECT_EQ(TextToFloatDef0("web"), 0);
}

}  // namespace
}  // namespace kelvar
