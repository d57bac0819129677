// The auto-recovery countdown over a real auto recovery on a hand-driven tick clock: the seconds
// shown, the operator's Recover and Cancel in all their forms, and a close by the program that
// neither starts nor aborts; the about box's texts and the uptime arithmetic.
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "controls/KcLabel.h"
#include "core/AutoRecovery.h"
#include "core/CoreTestKit.h"
#include "database/SQLPool.h"
#include "foundation/Clock.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/tools/unAbout.h"
#include "gui/tools/unAutoRecovery.h"

namespace kelvar {
namespace {

class Countdown : public guitest::GuiTest {
protected:
    void SetUp() override {
        Recovery.Logger = Log;
        Recovery.MaxWaitTime = 5;
        Recovery.SetEnabled(true);
    }
    void TearDown() override {
        CloseAutoRecoveryDialog();
        Settle();
    }

    // Runs the posted closes and the deletions they cause.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TfoAutoRecovery& Show() {
        ShowAutoRecoveryDialog(Recovery);
        EXPECT_NE(AutoRecoveryDialog(), nullptr);
        return *AutoRecoveryDialog();
    }
    int Started() const { return Log->Count("Starting auto recovery..."); }
    int Aborted() const { return Log->Count("Auto recovery was aborted"); }

    uint32_t Ticks = 1000;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    TAutoRecovery Recovery{[this] { return Ticks; }};
};

TEST_F(Countdown, CountsTheSecondsDownToZeroAndStaysThere) {
    Recovery.Trigger();
    TfoAutoRecovery& d = Show();
    EXPECT_EQ(d.windowTitle(), "Automated recovery");
    EXPECT_TRUE(d.Timer1->isActive());
    EXPECT_EQ(d.Timer1->interval(), 500);
    EXPECT_EQ(d.lbTime->text(), "5 seconds");
    Ticks += 2100;
    d.Timer1Timer();
    EXPECT_EQ(d.lbTime->text(), "3 seconds");
    Ticks += 10000;
    d.Timer1Timer();
    EXPECT_EQ(d.lbTime->text(), "0 seconds");

    // A second trigger while it shows reuses it.
    Recovery.Trigger();
    EXPECT_EQ(&Show(), &d);
    EXPECT_EQ(d.lbTime->text(), "5 seconds");
}

TEST_F(Countdown, OperatorRecoversOrCancelsByButtonKeyOrClosingTheWindow) {
    struct TCase {
        const char* Name;
        std::function<void(TfoAutoRecovery&)> Act;
        int Starts, Aborts;
    } cases[] = {
        {"Recover now", [](TfoAutoRecovery& d) { QTest::mouseClick(d.btOK, Qt::LeftButton); }, 1, 0},
        {"Enter", [](TfoAutoRecovery& d) { QTest::keyClick(&d, Qt::Key_Return); }, 1, 0},
        {"Cancel", [](TfoAutoRecovery& d) { QTest::mouseClick(d.btClose, Qt::LeftButton); }, 0, 1},
        {"Escape", [](TfoAutoRecovery& d) { QTest::keyClick(&d, Qt::Key_Escape); }, 0, 1},
        {"window closed", [](TfoAutoRecovery& d) { d.close(); }, 0, 1},
    };
    for (const TCase& c : cases) {
        Log = std::make_shared<coretest::TMemoryLogger>();
        Recovery.Logger = Log;
        Recovery.Trigger();
        QPointer<TfoAutoRecovery> d = &Show();
        c.Act(*d);
        Settle();
        EXPECT_EQ(Started(), c.Starts) << c.Name;
        EXPECT_EQ(Aborted(), c.Aborts) << c.Name;
        EXPECT_EQ(Recovery.Aborted, c.Aborts) << c.Name;
        EXPECT_TRUE(d.isNull()) << c.Name << ": the dialog frees itself";
        EXPECT_EQ(AutoRecoveryDialog(), nullptr) << c.Name;
        Recovery.SetEnabled(true);
    }
}

TEST_F(Countdown, ClosedByTheProgramItNeitherStartsNorAborts) {
    // As the main window hooks it: the recovery's start and abort close the countdown.
    Recovery.OnStarted.Add([](TAutoRecovery&) { CloseAutoRecoveryDialog(); });
    Recovery.OnAbort.Add([](TAutoRecovery&) { CloseAutoRecoveryDialog(); });

    Recovery.Trigger();
    QPointer<TfoAutoRecovery> d = &Show();
    Ticks += 6000;
    Recovery.Tick(false);  // the wait is over: the core starts the players itself
    Settle();
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(Started(), 1);
    EXPECT_EQ(Aborted(), 0);
    EXPECT_EQ(Recovery.Aborted, 0);

    Recovery.Trigger();
    d = &Show();
    Recovery.Abort();  // aborted elsewhere: logged once, not a second time by the close
    Settle();
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(Aborted(), 1);

    // The operator's Recover with the hooks in place: one start, no abort.
    Recovery.SetEnabled(true);
    Recovery.Trigger();
    d = &Show();
    QTest::mouseClick(d->btOK, Qt::LeftButton);
    Settle();
    EXPECT_EQ(Started(), 2);
    EXPECT_EQ(Aborted(), 1);
}

TEST(Uptime, WholeUnitsFromMilliseconds) {
    struct TCase {
        int64_t Ms;
        int64_t Days;
        int Hours, Minutes, Seconds, Milliseconds;
    } cases[] = {
        {(25 * 60 + 3) * 60000LL, 1, 1, 3, 0, 0},
        {(25 * 60 + 3) * 60000LL - 1, 1, 1, 2, 59, 999},
        {59999, 0, 0, 0, 59, 999},
        {86400000LL * 400 + 61000, 400, 0, 1, 1, 0},
        {-5, 0, 0, 0, 0, 0},
    };
    for (const TCase& c : cases) {
        const TUptime up = GetUptime(1000, 1000 + c.Ms);
        EXPECT_EQ(up.Days, c.Days) << c.Ms;
        EXPECT_EQ(up.Hours, c.Hours) << c.Ms;
        EXPECT_EQ(up.Minutes, c.Minutes) << c.Ms;
        EXPECT_EQ(up.Seconds, c.Seconds) << c.Ms;
        EXPECT_EQ(up.Milliseconds, c.Milliseconds) << c.Ms;
    }
}

class TFixedClock : public IClock {
public:
    int64_t MsSinceStart() const override { return Ms; }
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
    int64_t Ms = 0;
};

class AboutBox : public guitest::GuiTest {
protected:
    void TearDown() override {
        SetModalHandler(nullptr);
        SetClock(nullptr);
        SQLDriverType = Saved;
    }
    TSQLDriverType Saved = SQLDriverType.load();
};

TEST_F(AboutBox, ShowsNameVersionDriverAndUptime) {
    TFixedClock clock;
    clock.Ms = (25 * 60 + 3) * 60000LL + 59999;
    SetClock(&clock);
    const std::pair<TSQLDriverType, const char*> drivers[] = {
        {dtNone, "Unknown"}, {dtFirebird, "FireBird"}, {dtSQLite, "SQLite"}, {dtADO, "MSSQL"}};
    for (const auto& [type, name] : drivers) {
        SQLDriverType = type;
        bool shown = false;
        SetModalHandler([&](QDialog& d) {
            auto& about = dynamic_cast<TfoAbout&>(d);
            shown = true;
            EXPECT_EQ(about.windowTitle(), "About Kelvar");
            EXPECT_EQ(about.lbCaption->Caption(), "Kelvar Zorvik");
            EXPECT_EQ(about.lbVersion->text(), "v3.4.2");
            EXPECT_EQ(about.lbVersion->x(), about.lbCaption->x());
            EXPECT_EQ(about.lbVersion->width(), about.lbCaption->width());
            EXPECT_EQ(about.lbDatabase->text().toStdString(), std::string("Database driver: ") + name);
            EXPECT_EQ(about.lbUptime->text(), "Uptime: 1 days, 1 hours and 3 minutes");
            return int(QDialog::Accepted);
        });
        ShowAboutBox();
        EXPECT_TRUE(shown);
    }
}

}  // namespace
}  // namespace kelvar
