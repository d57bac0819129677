// The event log window's rows (newest first, coloured by kind) over a real logger, the log
// item's refusal of a logger without entries, and the clock's hour pie and narrow layouts.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTableView>
#include <ctime>

#include "common/GuiTestKit.h"
#include "controls/KcGraphs.h"
#include "controls/KcLcd.h"
#include "core/CoreTestKit.h"
#include "foundation/Clock.h"
#include "foundation/Logger_imp.h"
#include "gui/decks/DeckWindowItems.h"
#include "gui/decks/funClock.h"
#include "gui/decks/unEventLog.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {
namespace {

TEST(EventLogWindow, NewestFirstWithKindsAndColours) {
    guitest::EnsureApplication();
    auto logger = std::make_shared<TLogger>("");
    GuiLogger = logger;
    TwiLog item;
    std::string name;
    item.GetName(name);
    EXPECT_EQ(name, "EventLog");
    EXPECT_TRUE(item.GetSizeable());
    logger->Log("first", "CORE", 3);
    item.Activate();
    auto* table = item.Frame()->findChild<QTableView*>("vtLogEvents");
    ASSERT_TRUE(table);
    // A cell draws its text inside a few pixels of margin on each side.
    EXPECT_GE(table->columnWidth(0), table->fontMetrics().horizontalAdvance("23:59:59") + 8);
    TEventLogModel& model = *item.Frame()->Model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 1);
    logger->Log("broken", "DB", 1);
    logger->Log("careful", "DECK A", 2);
    EXPECT_EQ(model.rowCount(), 1);  // until the refresh
    item.Frame()->Refresh();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Message");
    struct {
        int Row;
        const char *Source, *Type, *Message;
        QColor Colour;
    } rows[] = {{0, "DECK A", "Warning", "careful", QColor(0, 0, 255)},
                {1, "DB", "Error", "broken", QColor(255, 0, 0)},
                {2, "CORE", "Notice", "first", QColor(128, 128, 128)}};
    for (const auto& r : rows) {
        EXPECT_EQ(model.index(r.Row, 1).data().toString(), r.Source);
        EXPECT_EQ(model.index(r.Row, 2).data().toString(), r.Type);
        EXPECT_EQ(model.index(r.Row, 3).data().toString(), r.Message);
        EXPECT_EQ(model.index(r.Row, 3).data(Qt::ForegroundRole).value<QColor>(), r.Colour);
    }
    EXPECT_EQ(model.index(0, 0).data().toString().size(), 8);  // hh:mm:ss
    logger->Clear();
    item.Frame()->Refresh();
    EXPECT_EQ(model.rowCount(), 0);
    item.Deactivate();

    // A logger that keeps no entries: the window stays closed.
    GuiLogger = std::make_shared<coretest::TMemoryLogger>();
    TwiLog plain;
    try {
        plain.Activate();
        FAIL();
    } catch (const EWindowItemError& e) {
        EXPECT_STREQ(e.what(), "Logger does not support Extended interface");
    }
    EXPECT_FALSE(plain.IsActive());
    GuiLogger = nullptr;
}

class TFixedClock : public IClock {
public:
    int64_t MsSinceStart() const override { return 0; }
    std::chrono::system_clock::time_point Now() const override { return At; }
    std::chrono::system_clock::time_point At;
};

std::chrono::system_clock::time_point LocalTime(int h, int m, int s) {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 10;
    tm.tm_hour = h;
    tm.tm_min = m;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

TEST(ClockWindow, HourPieAndNarrowLayouts) {
    guitest::EnsureApplication();
    TFixedClock clock;
    SetClock(&clock);
    TfrmClock f;
    f.show();
    struct {
        int H, M, S;
        double Elapsed;
    } cases[] = {{12, 34, 0, 34 * 60 + 1}, {9, 0, 30, 30}, {23, 59, 59, 3599}};
    for (const auto& c : cases) {
        clock.At = LocalTime(c.H, c.M, c.S);
        f.Refresh();
        EXPECT_EQ(f.eDigital->Hours(), c.H);
        EXPECT_EQ(f.eDigital->Minutes(), c.M);
        EXPECT_EQ(f.eDigital->Seconds(), c.S);
        EXPECT_EQ(f.eChart->Segments().Items(0).Value(), c.Elapsed);
        EXPECT_EQ(f.eChart->Segments().Items(1).Value(), 3600 - c.Elapsed);
    }
    struct {
        int Width;
        bool Seconds, Pie;
    } widths[] = {{197, true, true}, {163, true, true}, {162, false, true}, {123, false, true}, {122, false, false}};
    for (const auto& w : widths) {
        f.resize(w.Width, 208);
        EXPECT_EQ(f.eDigital->ShowSeconds(), w.Seconds) << w.Width;
        EXPECT_EQ(!f.pChart->isHidden(), w.Pie) << w.Width;
    }
    SetClock(nullptr);
}

}  // namespace
}  // namespace kelvar
