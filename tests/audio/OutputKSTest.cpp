// The direct-hardware output and its driver binding, with a driver that records what it is
// given and plays a packet only when the test says so.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>

#include "OutputTestKit.h"
#include "audio/graph/AudioErrors.h"
#include "audio/outputs/DirectKS_API.h"
#include "audio/outputs/OutputKS.h"

namespace kelvar {
namespace {

using testkit::WaitUntil;

class TRecordingDriver : public IKSDriver {
public:
    struct TPacket {
        std::vector<int16_t> Samples;
        uint32_t DataUsed = 0;
        uint32_t FrameExtent = 0;
    };

    // Devices listed by the enumeration: names longer than the driver's 250-byte buffers are
    // handed back without their end.
    std::vector<std::string> DeviceNames;
    bool FailPin = false;

    int32_t Filters_Create(TKSHandle& List) override {
        List = 1;
        return 0;
    }
    void Filters_Destroy(TKSHandle& List) override {
        ++ListsDestroyed;
        List = 0;
    }
    int32_t Filters_Count(TKSHandle) override { return static_cast<int32_t>(DeviceNames.size()); }
    bool Filters_GetNextAudRenFilter(TKSHandle, int32_t& Position, TKSHandle& Filter) override {
        if (Position >= static_cast<int32_t>(DeviceNames.size())) return false;
        Filter = static_cast<TKSHandle>(100 + Position);
        ++Position;
        return true;
    }
    int32_t Filters_Enumerate(TKSHandle, int32_t, const TGuid* Categories, int32_t Count, int32_t, int32_t,
                              int32_t) override {
        EXPECT_EQ(Count, 2);
        EXPECT_EQ(Categories[0], KSCATEGORY_AUDIO);
        return 0;
    }
    void Filter_Destroy(TKSHandle& Filter) override {
        ++FiltersDestroyed;
        Filter = 0;
    }
    int32_t Filter_GetInfo(TKSHandle Filter, char* Path, uint32_t& PathLength, char* Name,
                           uint32_t& NameLength) override {
        const std::string& name = DeviceNames[Filter - 100];
        const std::string path = "hw:" + std::to_string(Filter - 100);
        // Like a careless library: copies up to the length and adds no end when it is full.
        std::memcpy(Name, name.data(), std::min<size_t>(name.size(), NameLength));
        if (name.size() < NameLength) Name[name.size()] = '\0';
        std::memcpy(Path, path.c_str(), std::min<size_t>(path.size() + 1, PathLength));
        return 0;
    }
    int32_t Filter_Instantiate(TKSHandle) override { return 0; }
    int32_t Filter_EnumerateNodes(TKSHandle) override { return 0; }
    int32_t Filter_EnumeratePins(TKSHandle) override { return 0; }
    int32_t FilterRender_Create(TKSHandle& Filter, const char* Path) override {
        OpenedPath = Path;
        Filter = 7;
        return 0;
    }
    int32_t FilterRender_CreatePin(TKSHandle, TWaveFormatExtensible Format, TKSHandle& Pin) override {
        PinFormat = Format;
        Pin = FailPin ? 0 : 9;
        return 0;
    }
    int32_t FilterCapture_Create(TKSHandle& Filter, const char*) override {
        Filter = 0;
        return E_FAIL;
    }
    int32_t FilterCapture_CreatePin(TKSHandle, TWaveFormatExtensible, TKSHandle& Pin) override {
        Pin = 0;
        return E_FAIL;
    }
    int32_t Pin_WriteData(TKSHandle, TKSStreamHeader& Header, TKSOverlapped& Overlapped) override {
        std::lock_guard<std::mutex> guard(Lock);
        TPacket packet;
        packet.DataUsed = Header.DataUsed;
        packet.FrameExtent = Header.FrameExtent;
        const auto* samples = static_cast<const int16_t*>(Header.Data);
        packet.Samples.assign(samples, samples + Header.DataUsed / 2);
        Written.push_back(std::move(packet));
        Pending.push_back(&Overlapped);
        return 0;
    }
    int32_t Pin_ReadData(TKSHandle, TKSStreamHeader&, TKSOverlapped&) override { return E_FAIL; }
    int32_t Pin_SetState(TKSHandle, int32_t State) override {
        std::lock_guard<std::mutex> guard(Lock);
        States.push_back(State);
        // A stop completes every queued packet before it returns.
        if (State == KSState::Stop) {
            for (auto* overlapped : Pending) overlapped->Signal();
            Pending.clear();
        }
        return 0;
    }
    void Pin_ClosePin(TKSHandle) override { ++PinsClosed; }

    // Plays every queued packet: their events are set.
    void PlayPending() {
        std::lock_guard<std::mutex> guard(Lock);
        for (auto* overlapped : Pending) overlapped->Signal();
        Pending.clear();
    }
    size_t WrittenCount() {
        std::lock_guard<std::mutex> guard(Lock);
        return Written.size();
    }
    std::vector<int32_t> StatesSeen() {
        std::lock_guard<std::mutex> guard(Lock);
        return States;
    }

    std::mutex Lock;
    std::vector<TPacket> Written;
    std::vector<TKSOverlapped*> Pending;
    std::vector<int32_t> States;
    std::string OpenedPath;
    TWaveFormatExtensible PinFormat{};
    std::atomic<int> PinsClosed{0};
    std::atomic<int> FiltersDestroyed{0};
    std::atomic<int> ListsDestroyed{0};
};

class OutputKSTest : public ::testing::Test {
protected:
    void SetUp() override {
        Driver = std::make_shared<TRecordingDriver>();
        SetKSDriverFactory([this] { return Driver; });
    }
    void TearDown() override { SetKSDriverFactory(nullptr); }

    static TWaveFormatExtensible Stereo() {
        TWaveFormatExtensible f;
        f.Format = DefaultAudioFormat;
        f.ValidBitsPerSample = 16;
        f.ChannelMask = 3;
        return f;
    }

    std::shared_ptr<TRecordingDriver> Driver;
};

TEST_F(OutputKSTest, RunFromStoppedQueuesEveryPacketAtTheSourceLevel) {
    const auto tone = testkit::MakeTone(441 * 8, 1000, 16000);
    testkit::TToneFeed feed(tone);
    TOutput_KS out;
    out.SetOnGetData([&](void* Buffer, int Length) { return feed(Buffer, Length); });
    ASSERT_TRUE(out.Open("hw:CARD=x,DEV=0", Stereo(), 10, 4));
    EXPECT_EQ(Driver->OpenedPath, "hw:CARD=x,DEV=0");
    EXPECT_EQ(Driver->PinFormat.Format.Channels, 2);
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 4; }));
    EXPECT_EQ(Driver->StatesSeen(), std::vector<int32_t>{KSState::Run});
    // Each played packet is refilled with the next part of the stream.
    Driver->PlayPending();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 8; }));
    out.Shutdown();
    std::vector<int16_t> played;
    for (const auto& p : Driver->Written) {
        EXPECT_EQ(p.DataUsed, 1764u);
        EXPECT_EQ(p.FrameExtent, 1764u);
        played.insert(played.end(), p.Samples.begin(), p.Samples.end());
    }
    EXPECT_EQ(played, tone);  // volume 255 without mute leaves the samples alone
    EXPECT_EQ(Driver->StatesSeen(), (std::vector<int32_t>{KSState::Run, KSState::Pause, KSState::Stop}));
    EXPECT_EQ(Driver->PinsClosed, 1);
    EXPECT_EQ(Driver->FiltersDestroyed, 1);
}

TEST_F(OutputKSTest, HalfPacketsVolumeMuteAndUnderruns) {
    std::atomic<int> mode{0};
    TOutput_KS out;
    out.SetOnGetData([&](void* Buffer, int) {
        auto* s = static_cast<int16_t*>(Buffer);
        if (mode == 2) return 0;
        // About half a packet, in whole frames.
        for (int i = 0; i < 440; ++i) s[i] = 10000;
        return 880;
    });
    ASSERT_TRUE(out.Open("hw:0", Stereo(), 10, 3));
    out.SetVolume(51);  // a factor of 0.2
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 3; }));
    out.SetMute(true);
    Driver->PlayPending();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 6; }));
    mode = 2;
    Driver->PlayPending();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 9; }));
    out.Shutdown();
    const auto& w = Driver->Written;
    EXPECT_EQ(w[0].DataUsed, 880u);
    EXPECT_EQ(testkit::Peak(w[0].Samples.data(), w[0].Samples.size()), 2000);
    EXPECT_EQ(w[3].DataUsed, 880u);
    EXPECT_EQ(testkit::Peak(w[3].Samples.data(), w[3].Samples.size()), 0);
    // Nothing delivered: a whole packet of silence, counted.
    EXPECT_EQ(w[6].DataUsed, 1764u);
    EXPECT_EQ(out.GetUnderruns(), 3);
}

TEST_F(OutputKSTest, ResetWhileRunningRequeuesEveryPacket) {
    TOutput_KS out;
    out.SetOnGetData([](void*, int Length) { return Length; });
    ASSERT_TRUE(out.Open("hw:0", Stereo(), 10, 5));
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 5; }));
    out.Reset();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 10; }));
    EXPECT_EQ(Driver->StatesSeen(), (std::vector<int32_t>{KSState::Run, KSState::Stop, KSState::Run}));
    EXPECT_EQ(out.GetState(), OutputState::Running);
    // The packets a stop hands back are refilled once by the run that follows, not twice.
    out.Stop();
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return Driver->WrittenCount() == 15; }));
    out.Shutdown();
    EXPECT_EQ(Driver->WrittenCount(), 15u);
}

TEST_F(OutputKSTest, BlockMisalignedDeliveriesAreErrors) {
    std::atomic<int> calls{0};
    TOutput_KS out;
    out.SetOnGetData([&](void*, int) {
        ++calls;
        return 3;
    });
    ASSERT_TRUE(out.Open("hw:0", Stereo(), 10, 3));
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return calls == 3; }));
    out.Shutdown();
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_EQ(code, E_INVALIDARG);
    EXPECT_EQ(text, "Data size not a valid block size!");
    EXPECT_EQ(Driver->WrittenCount(), 0u);
}

TEST_F(OutputKSTest, OpenFailures) {
    Driver->FailPin = true;
    TOutput_KS out;
    EXPECT_FALSE(out.Open("hw:0", Stereo(), 10, 3));
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_EQ(code, static_cast<int32_t>(0x80040294));
    EXPECT_EQ(text, "Unable to create KS pin on filter");
    EXPECT_EQ(Driver->FiltersDestroyed, 1);

    SetKSDriverFactory([] { return IKSDriverPtr(); });
    TOutput_KS none;
    EXPECT_FALSE(none.Open("hw:0", Stereo(), 10, 3));
    none.GetLastError(code, text);
    EXPECT_EQ(code, E_UNEXPECTED);
    EXPECT_EQ(text, "Unable to load DirectKS driver");
    std::vector<std::string> names{"stale"}, paths{"stale"};
    try {
        ListKSRenderDevices(names, paths);
        FAIL() << "no driver, no list";
    } catch (const EAudioError& e) {
        EXPECT_STREQ(e.what(), "Unable to load KS Driver");
    }
    EXPECT_TRUE(names.empty());
}

TEST_F(OutputKSTest, EnumerationKeepsNamesAndPathsInStepAndBounded) {
    Driver->DeviceNames = {"Card One", std::string(300, 'x')};
    std::vector<std::string> names, paths;
    ListKSRenderDevices(names, paths);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "Card One");
    EXPECT_EQ(paths[0], "hw:0");
    EXPECT_EQ(names[1], std::string(250, 'x'));
    EXPECT_EQ(paths[1], "hw:1");
    EXPECT_EQ(Driver->ListsDestroyed, 1);
}

TEST(KSDriverAlsa, NoCardsMeansEmptyLists) {
    SetKSDriverFactory(nullptr);
    // Cards show as /dev/snd/controlC<n>; the test machines have none.
    bool cards = false;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error))
        cards = cards || entry.path().filename().string().rfind("controlC", 0) == 0;
    for (auto list : {&ListKSRenderDevices, &ListKSCaptureDevices}) {
        std::vector<std::string> names{"stale"}, paths{"stale"};
        list(names, paths);
        EXPECT_EQ(names.size(), paths.size());
        if (!cards) {
            EXPECT_TRUE(names.empty());
            EXPECT_TRUE(paths.empty());
        }
    }
    // A device that does not exist gives no pin.
    TOutput_KS out;
    TWaveFormatExtensible f;
    f.Format = DefaultAudioFormat;
    EXPECT_FALSE(out.Open("hw:CARD=NoSuchCard,DEV=0", f, 10, 3));
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_EQ(text, "Unable to create KS pin on filter");
}

}  // namespace
}  // namespace kelvar
