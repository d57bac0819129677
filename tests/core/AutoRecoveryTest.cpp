#include "core/AutoRecovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

struct TMemoryLogger : ILogger {
    std::vector<TLogRec> Entries;
    void Log(const std::string& message, const std::string& source, TLogKind kind) override {
        Entries.push_back(TLogRec{{}, message, source, kind});
    }
    int CountOf(const std::string& message) const {
        int n = 0;
        for (const auto& e : Entries) n += e.Message == message;
        return n;
    }
};

struct AutoRecovery : ::testing::Test {
    uint32_t Now = 50000;
    std::shared_ptr<TMemoryLogger> Log = std::make_shared<TMemoryLogger>();
    TAutoRecovery Recovery{[this] { return Now; }};
    int Starts = 0, Started = 0, Aborts = 0, Triggers = 0;

    void SetUp() override {
        Recovery.Logger = Log;
        Recovery.OnStart = [this](TAutoRecovery&) { ++Starts; };
        Recovery.OnStarted.Add([this](TAutoRecovery&) { ++Started; });
        Recovery.OnAbort.Add([this](TAutoRecovery&) { ++Aborts; });
        Recovery.OnTrigger.Add([this](TAutoRecovery&) { ++Triggers; });
    }
    // Ticks every 100 ms for Ms milliseconds; answers how many ticks triggered.
    int IdleFor(uint32_t Ms, bool Playing = false) {
        int triggered = 0;
        for (uint32_t t = 0; t < Ms; t += 100) {
            Now += 100;
            triggered += Recovery.Tick(Playing);
        }
        return triggered;
    }
};

TEST_F(AutoRecovery, DisabledDoesNothing) {
    EXPECT_EQ(IdleFor(60000), 0);
    EXPECT_EQ(Triggers + Starts, 0);
    EXPECT_TRUE(Log->Entries.empty());
}

TEST_F(AutoRecovery, IdleTriggersThenStartsAfterTheCountdown) {
    Recovery.SetEnabled(true);
    Now += 5000;
    EXPECT_FALSE(Recovery.Tick(false));  // exactly 5000 ms: not yet
    Now += 1;
    EXPECT_TRUE(Recovery.Tick(false));
    ASSERT_EQ(Log->Entries.size(), 1u);
    EXPECT_EQ(Log->Entries[0].Message, "Players in idle too long. Auto recovery triggered...");
    EXPECT_EQ(Log->Entries[0].Source, "Zeziror IV");
    EXPECT_EQ(Log->Entries[0].Kind, LogKind::Error);
    EXPECT_EQ(Recovery.SecondsLeft(), 5);
    Now += 1999;
    EXPECT_EQ(Recovery.SecondsLeft(), 4);
    Now += 3001;
    Recovery.Tick(false);  // exactly 5000 ms of countdown
    EXPECT_EQ(Starts, 0);
    Now += 1;
    Recovery.Tick(false);
    EXPECT_EQ(Starts, 1);
    EXPECT_EQ(Started, 1);
    EXPECT_EQ(Log->CountOf("Starting auto recovery..."), 1);
    EXPECT_EQ(Recovery.SecondsLeft(), 0);
}

TEST_F(AutoRecovery, AbortHoldsUntilADeckPlays) {
    Recovery.SetEnabled(true);
    IdleFor(5100);
    ASSERT_EQ(Triggers, 1);
    Recovery.Abort();
    EXPECT_EQ(Aborts, 1);
    EXPECT_EQ(Log->CountOf("Auto recovery was aborted"), 1);
    EXPECT_EQ(IdleFor(60000), 0);
    EXPECT_EQ(Starts, 0);
    IdleFor(100, true);  // a deck played: watching again
    EXPECT_EQ(IdleFor(5100), 1);
}

TEST_F(AutoRecovery, ADeckStartingDuringTheCountdownStartsAtOnce) {
    Recovery.SetEnabled(true);
    IdleFor(5100);
    ASSERT_EQ(Triggers, 1);
    IdleFor(100, true);
    EXPECT_EQ(Starts, 1);
    EXPECT_EQ(Started, 1);
    EXPECT_FALSE(Recovery.IsTriggered());
}

TEST_F(AutoRecovery, ManualModeNeverTriggersOrStarts) {
    Recovery.SetEnabled(true);
    Recovery.DJMode = DJModes::Manual;
    EXPECT_EQ(IdleFor(60000), 0);
    Recovery.DJMode = DJModes::AutoDJ;
    IdleFor(5100);
    Recovery.DJMode = DJModes::Manual;
    IdleFor(60000);
    EXPECT_EQ(Starts, 0);
}

TEST_F(AutoRecovery, ConfigurationRoundTrip) {
    auto doc = TConfigDoc_XML::Create("");
    auto node = doc->Section("AutoRecovery");
    node->WriteInteger("DJMode", 1);
    node->WriteBool("AutoRecoveryEnabled", true);
    node->WriteInteger("MaxIdleTime", 30);
    node->WriteInteger("MaxWaitTime", 10);
    Recovery.LoadConfig(*node);
    EXPECT_EQ(Recovery.DJMode, 1);
    EXPECT_EQ(Recovery.Enabled, 1);
    EXPECT_EQ(Recovery.MaxIdleTime, 30);
    EXPECT_EQ(Recovery.MaxWaitTime, 10);
    EXPECT_EQ(Recovery.IdleSince, Now);
    auto out = doc->Section("Out");
    Recovery.SaveConfig(*out);
    EXPECT_EQ(out->ReadString("AutoRecoveryEnabled", ""), "-1");
    EXPECT_EQ(out->ReadInteger("MaxIdleTime", 0), 30);
}

// Queue mode aborts on every tick while nothing can be queued (a deck may still play): one line
// per stretch and the repeats counted when a song can play again, whether the watchdog is on or
// off.
TEST_F(AutoRecovery, RepeatedAbortsAreLoggedOncePerStretch) {
    for (bool enabled : {false, true}) {
        SCOPED_TRACE(enabled ? "watchdog on" : "watchdog off");
        Log->Entries.clear();
        Recovery.SetEnabled(enabled);
        for (int episode = 0; episode < 2; ++episode) {
            for (int i = 0; i < 70; ++i) {
                Recovery.Abort();
                IdleFor(100, i % 2 == 0);
            }
            Recovery.EndAbortEpisode();
        }
        EXPECT_EQ(Log->CountOf("Auto recovery was aborted"), 2);
        EXPECT_EQ(Log->CountOf("Auto recovery was aborted 69 more times until a song could play"), 2);
        EXPECT_EQ(Log->Entries.size(), 4u);
    }
}

TEST_F(AutoRecovery, AQueueModeSetByAFailureIsRememberedOnlyWhileItLasts) {
    auto doc = TConfigDoc_XML::Create("");
    Recovery.DJMode = DJModes::Queue;
    Recovery.QueueModeByFailure = 1;
    Recovery.SaveConfig(*doc->Section("A"));
    TAutoRecovery loaded;
    loaded.LoadConfig(*doc->Section("A"));
    EXPECT_EQ(loaded.DJMode, DJModes::Queue);
    EXPECT_EQ(loaded.QueueModeByFailure, 1);

    // The operator chose another mode (and maybe Queue mode again): the mark is gone.
    Recovery.DJMode = DJModes::AutoDJ;
    IdleFor(100);
    Recovery.DJMode = DJModes::Queue;
    Recovery.SaveConfig(*doc->Section("B"));
    loaded.LoadConfig(*doc->Section("B"));
    EXPECT_EQ(loaded.QueueModeByFailure, 0);
}

TEST_F(AutoRecovery, AnUnreadableValueKeepsItsDefaultAndTheRestLoads) {
    auto doc = TConfigDoc_XML::Create("");
    auto node = doc->Section("AutoRecovery");
    node->WriteString("DJMode", "often");
    node->WriteString("AutoRecoveryEnabled", "maybe");
    node->WriteInteger("MaxIdleTime", 30);
    node->WriteInteger("MaxWaitTime", 10);
    Recovery.LoadConfig(*node);
    EXPECT_EQ(Recovery.DJMode, DJModes::AutoDJ);
    EXPECT_EQ(Recovery.Enabled, 0);
    EXPECT_EQ(Recovery.MaxIdleTime, 30);
    EXPECT_EQ(Recovery.MaxWaitTime, 10);
}

}  // namespace
}  // namespace kelvar
