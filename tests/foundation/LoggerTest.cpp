#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "common/AllocCount.h"
#include "common/TempFolder.h"
#include "foundation/Errors.h"
#include "foundation/Logger_imp.h"
#include "foundation/MiscFunc.h"

namespace kelvar {
namespace {

using test::ReadWholeFile;
using test::TTempFolder;
using test::WriteWholeFile;

std::vector<std::string> Lines(const std::string& file) {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(file));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Logger, LineFormatUsesLocalTimeAndTheKindLetter) {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 1;
    tm.tm_hour = 8;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    TLogRec entry{std::chrono::system_clock::from_time_t(std::mktime(&tm)), "Logger created", "CORE", LogKind::Init};
    EXPECT_EQ(TLogger::FormatLine(entry), "I 2026-03-01 08:05:09 [CORE] Logger created");

    const std::string letters = "XEWNIDT";
    for (int kind = 0; kind < 7; ++kind) EXPECT_EQ(TLogger::KindLetter(static_cast<TLogKind>(kind)), letters[kind]);
    EXPECT_EQ(TLogger::KindLetter(7), '?');
    EXPECT_EQ(TLogger::KindLetter(255), '?');
}

TEST(Logger, WritesInBatchesOfFifty) {
    TTempFolder tmp;
    const std::string file = tmp.File("EventLog.log");
    TLogger logger(file);
    for (int i = 0; i < 49; ++i) logger.Log("m" + std::to_string(i), "TEST", LogKind::Warning);
    logger.Sync();
    EXPECT_FALSE(std::filesystem::exists(file));
    logger.Log("m49", "TEST", LogKind::Warning);
    logger.Sync();
    auto lines = Lines(file);
    ASSERT_EQ(lines.size(), 51u);
    EXPECT_EQ(lines[0], "~ Event Log created");
    EXPECT_EQ(lines[1].substr(0, 2), "W ");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 10), " [TEST] m0");
    EXPECT_EQ(lines[50].substr(lines[50].size() - 11), " [TEST] m49");
    EXPECT_EQ(logger.PendingCount(), 0u);
}

TEST(Logger, AppendsToAnExistingFileAndFlushesTheRestWhenDestroyed) {
    TTempFolder tmp;
    const std::string file = tmp.File("EventLog.log");
    WriteWholeFile(file, "earlier\n");
    {
        TLogger logger(file);
        for (int i = 0; i < 3; ++i) logger.Log("m", "S", LogKind::Notice);
        logger.Sync();
        EXPECT_EQ(ReadWholeFile(file), "earlier\n");
    }
    auto lines = Lines(file);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier");
    EXPECT_EQ(lines[3].substr(0, 2), "N ");
}

TEST(Logger, KeepsTheLastMaxCountEntries) {
    TLogger logger("");
    for (int i = 0; i < 201; ++i) logger.Log(std::to_string(i), "S", LogKind::Debug);
    EXPECT_EQ(logger.Count(), 200);
    EXPECT_EQ(logger.GetItem(0).Message, "1");
    EXPECT_EQ(logger.GetItem(199).Message, "200");
    EXPECT_EQ(logger.GetItem(199).Source, "S");
    EXPECT_EQ(logger.GetItem(199).Kind, LogKind::Debug);
    EXPECT_THROW(logger.GetItem(200), EListError);
    EXPECT_THROW(logger.GetItem(-1), EListError);

    logger.SetMaxCount(5);
    EXPECT_EQ(logger.Count(), 200);  // trimmed at the next Log
    logger.Log("x", "S", LogKind::Debug);
    EXPECT_EQ(logger.Count(), 5);
    logger.Clear();
    EXPECT_EQ(logger.Count(), 0);
}

TEST(Logger, WithoutLogToFileKeepsEntriesButNeverTouchesTheFile) {
    TTempFolder tmp;
    const std::string file = tmp.File("EventLog.log");
    {
        TLogger logger(file);
        logger.SetLogToFile(false);
        for (int i = 0; i < 250; ++i) logger.Log("m", "S", LogKind::Error);
        EXPECT_EQ(logger.Count(), 200);
        EXPECT_EQ(logger.PendingCount(), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(Logger, ClearKeepsThePendingLines) {
    TTempFolder tmp;
    const std::string file = tmp.File("EventLog.log");
    {
        TLogger logger(file);
        logger.Log("kept", "S", LogKind::Error);
        logger.Clear();
    }
    EXPECT_EQ(Lines(file).size(), 2u);
}

TEST(Logger, DeletesAFileOverFiveMegabytesOnly) {
    TTempFolder tmp;
    const std::string big = tmp.File("big.log");
    const std::string limit = tmp.File("limit.log");
    WriteWholeFile(big, std::string(5242881, 'x'));
    WriteWholeFile(limit, std::string(5242880, 'x'));
    {
        TLogger logger(big);
        EXPECT_FALSE(std::filesystem::exists(big));
        WriteWholeFile(big, std::string(5242881, 'x'));
        logger.SetFileName(limit);
        EXPECT_TRUE(std::filesystem::exists(limit));
        logger.SetFileName(big);
        EXPECT_FALSE(std::filesystem::exists(big));
        EXPECT_EQ(logger.GetFileName(), big);
        logger.Log("fresh", "S", LogKind::Init);
    }
    EXPECT_EQ(Lines(big).front(), "~ Event Log created");
    EXPECT_EQ(std::filesystem::file_size(limit), 5242880u);
}

// While the file can't be written the pending lines stay bounded, newest kept, and the next
// batch writes them once it can.
TEST(Logger, PendingLinesAreBoundedWhileTheFileCannotBeWritten) {
    TTempFolder tmp;
    const std::string folder = tmp.File("later");
    const std::string file = folder + "/EventLog.log";
    TLogger logger(file);
    for (int i = 0; i < 6000; ++i) logger.Log(std::to_string(i), "S", LogKind::Trace);
    logger.Sync();  // the writer's attempts at the burst are over
    EXPECT_EQ(logger.PendingCount(), TLogger::MaxPendingLines);

    std::filesystem::create_directory(folder);
    logger.Log("6000", "S", LogKind::Trace);
    logger.Sync();
    EXPECT_EQ(logger.PendingCount(), 0u);
    auto lines = Lines(file);
    ASSERT_EQ(lines.size(), 1u + TLogger::MaxPendingLines);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 8), "[S] 1001");
    EXPECT_EQ(lines.back().substr(lines.back().size() - 8), "[S] 6000");
}

// A batch that fails part-way (here: at the file size limit) leaves the file as it was, and the
// retry writes every line exactly once, after the first line of a new file.
TEST(Logger, FailedBatchIsTakenBackAndWrittenOnceLater) {
    for (const bool existing : {true, false}) {
        TTempFolder tmp;
        const std::string file = tmp.File("EventLog.log");
        if (existing) WriteWholeFile(file, "earlier\n");
        TLogger logger(file);

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 200;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        for (int i = 0; i < 50; ++i) logger.Log("m" + std::to_string(i), "S", LogKind::Notice);
        logger.Sync();
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

        EXPECT_EQ(logger.PendingCount(), 50u) << existing;
        if (existing)
            EXPECT_EQ(ReadWholeFile(file), "earlier\n");
        else
            EXPECT_FALSE(std::filesystem::exists(file));

        logger.Log("m50", "S", LogKind::Notice);
        logger.Sync();
        EXPECT_EQ(logger.PendingCount(), 0u);
        const auto lines = Lines(file);
        ASSERT_EQ(lines.size(), 52u) << existing;
        EXPECT_EQ(lines[0], existing ? "earlier" : "~ Event Log created");
        for (int i = 0; i <= 50; ++i) {
            const std::string tail = " [S] m" + std::to_string(i);
            EXPECT_EQ(lines[1 + i].substr(lines[1 + i].size() - tail.size()), tail);
        }
    }
}

TEST(Logger, NoLogSwitchTurnsTheFileOff) {
    struct {
        std::vector<std::string> Args;
        bool LogToFile;
    } cases[] = {
        {{}, true},
        {{"/opt/kelvar/KelvarZorvik"}, true},
        {{"/opt/kelvar/KelvarZorvik", "/NOLOG"}, false},
        {{"/opt/kelvar/KelvarZorvik", "-SERVICE", "/NoLog"}, false},
        {{"/opt/kelvar/KelvarZorvik", "/NOLOGS"}, true},
        {{"/home/u/nolog/KelvarZorvik"}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TLogger::LogToFileFromCommandLine(c.Args), c.LogToFile) << ::testing::PrintToString(c.Args);
}

TEST(Logger, ManyThreadsLoseNoLine) {
    TTempFolder tmp;
    const std::string file = tmp.File("EventLog.log");
    {
        TLogger logger(file);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&logger, t] {
                for (int i = 0; i < 120; ++i) logger.Log(std::to_string(t) + ":" + std::to_string(i), "T", 3);
            });
        for (auto& th : threads) th.join();
    }
    EXPECT_EQ(Lines(file).size(), 1u + 4 * 120);
}

// An output thread that reports a burst of errors while the file can't take them (a FIFO nobody
// reads: the writer waits in open) neither waits nor allocates; every line still reaches the file,
// in order, once the file can be written.
TEST(Logger, ABurstFromAnOutputThreadNeverWaitsOnTheFile) {
    TTempFolder tmp;
    const std::string fifo = tmp.File("EventLog.log");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    constexpr int Early = 50, Burst = 200;
    std::vector<std::string> messages;
    for (int i = 0; i < Early + Burst; ++i) messages.push_back("ALSA error " + std::to_string(i));
    const std::string source = "OUTPUT";

    std::string received;
    std::thread reader;
    {
        auto logger = std::make_shared<TLogger>(fifo);
        SetCoreLogger(logger);
        // A full batch: the writer now opens the FIFO and stays there until a reader comes.
        for (int i = 0; i < Early; ++i) LogMessage(messages[i], source, LogKind::Error);

        int64_t allocations = -1;
        std::thread output([&] {
            const int64_t before = testkit::ThreadAllocations();
            for (int i = Early; i < Early + Burst; ++i) LogMessage(messages[i], source, LogKind::Error);
            allocations = testkit::ThreadAllocations() - before;
        });
        output.join();
        EXPECT_EQ(allocations, 0);
        SetCoreLogger(nullptr);

        // The writer opens the FIFO once per batch: read each batch to its end.
        reader = std::thread([&] {
            while (std::count(received.begin(), received.end(), '\n') < Early + Burst) {
                const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) return;
                char buffer[4096];
                for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
                    received.append(buffer, static_cast<size_t>(n));
                ::close(fd);
            }
        });
    }  // the logger writes what is left when it goes
    reader.join();

    std::vector<std::string> lines;
    std::istringstream in(received);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), static_cast<size_t>(Early + Burst));
    for (int i = 0; i < Early + Burst; ++i) {
        const std::string tail = "[OUTPUT] " + messages[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail) << i;
    }
}

TEST(Logger, DefaultFileIsInTheProgramFolder) {
    TLogger logger;
    logger.SetLogToFile(false);  // leave the build tree alone
    EXPECT_EQ(logger.GetFileName(), ProgramFolder() + "EventLog.log");
    EXPECT_EQ(logger.GetMaxCount(), 200);
}

TEST(Logger, CoreLoggerReceivesLogMessage) {
    auto logger = std::make_shared<TLogger>("");
    SetCoreLogger(logger);
    LogMessage("hello", "CORE", LogKind::Init);
    SetCoreLogger(nullptr);
    LogMessage("dropped", "CORE", LogKind::Init);
    ASSERT_EQ(logger->Count(), 1);
    EXPECT_EQ(logger->GetItem(0).Message, "hello");
}

}  // namespace
}  // namespace kelvar
