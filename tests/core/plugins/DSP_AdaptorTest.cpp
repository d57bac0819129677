#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/plugins/DSP_Adaptor.h"
#include "foundation/ConfigDoc_XML.h"
#include "tests/core/plugins/PluginTestKit.h"

using namespace kelvar;

namespace {

TFilterFormat Format(int rate, int bits, int channels) {
    TFilterFormat f;
    f.SampleRate = rate;
    f.BitsPerSample = bits;
    f.Channels = channels;
    return f;
}

// The counters of the test library the adaptor has mapped (held mapped while this lives).
class TLibraryProbe {
public:
    explicit TLibraryProbe(const std::string& file) : FHandle(dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD)) {}
    ~TLibraryProbe() {
        if (FHandle) dlclose(FHandle);
    }
    bool Mapped() const { return FHandle != nullptr; }
    int Counter(const char* name) const { return *static_cast<int*>(dlsym(FHandle, name)); }
    void* Instance() const { return *static_cast<void**>(dlsym(FHandle, "DspTestInstance")); }

private:
    void* FHandle;
};

int32_t Feed(IFilter& filter, std::vector<int16_t>& samples, int32_t bytes) {
    void* data = samples.data();
    return filter.Process(data, bytes);
}

// Configuration object of the tests: records what the adaptor hands over and answers as told.
struct TConfigSpy : public IPluginConfig {
    static inline bool Answer = true;
    static inline bool SawLibrary = false;
    static inline bool SawModule = false;
    static inline int Calls = 0;
    bool Configure(IConfigDoc& Node) override {
        ++Calls;
        SawLibrary = DSPAdaptorHandOver().Library.Handle != nullptr;
        SawModule = DSPAdaptorHandOver().Module != nullptr;
        if (Answer) Node.WriteInteger("Module", 1);
        return Answer;
    }
};
void CreateSpy(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TConfigSpy>(); }
TPluginInfo SpyInfo = {"spy", "spy", 1, "{spy}", CreateSpy};
TPluginInfo* SpyInfoFunction() { return &SpyInfo; }

class DSPAdaptor : public plugintest::PluginFolder {
protected:
    void TearDown() override {
        SetDSPAdaptorConfigInfo(nullptr);
        PluginFolder::TearDown();
    }
};

}  // namespace

TEST(DSPAdaptorRecord, NamesTheDefaultFileAndCreatesAdaptors) {
    TPluginInfo* info = DSPAdaptorGetPluginInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Version, 0x0120);
    EXPECT_EQ(std::string(info->Description).rfind("Loads Winamp DSP plugins.", 0), 0u);
    IInterfacePtr instance;
    info->CreateInstance(&instance, nullptr);
    auto filter = std::dynamic_pointer_cast<IFilter>(instance);
    ASSERT_TRUE(filter);
    EXPECT_TRUE(std::dynamic_pointer_cast<IPluginConfig>(instance));
    // The running program with the first four characters of its file name removed.
    const std::string program = std::filesystem::path(DefaultDSPFile()).filename().string();
    EXPECT_EQ(program, std::string("plugins_tests").substr(4));
    EXPECT_EQ(std::string(filter->GetInfo()->Name), "DSP Adaptor (" + program + ")");
    EXPECT_EQ(filter->GetInfo()->Name, filter->GetInfo()->GUID);
    // Without a library it opens and passes audio unchanged.
    EXPECT_TRUE(filter->Open(Format(44100, 16, 2)));
    std::vector<int16_t> samples{100, -100, 50, -50};
    EXPECT_EQ(Feed(*filter, samples, 8), 8);
    EXPECT_EQ(samples[0], 100);
}

TEST_F(DSPAdaptor, RunsTheChosenModuleOnWholeFrames) {
    const std::string file = Install("dsp_test.so");
    TDSP_Adaptor adaptor(file);
    ASSERT_TRUE(adaptor.Open(Format(44100, 16, 2)));
    TLibraryProbe probe(file);
    ASSERT_TRUE(probe.Mapped());
    EXPECT_EQ(probe.Counter("DspTestInits"), 1);
    EXPECT_NE(probe.Instance(), nullptr);  // the library's handle is handed to the module
    EXPECT_EQ(std::string(adaptor.GetInfo()->Name), "Test DSP library");

    std::vector<int16_t> samples{100, -100, 50, -50, 8, 8};
    // 11 bytes hold two whole stereo frames; the partial third one is dropped.
    EXPECT_EQ(Feed(adaptor, samples, 11), 8);
    EXPECT_EQ(samples, (std::vector<int16_t>{50, -50, 25, -25, 8, 8}));
    EXPECT_EQ(Feed(adaptor, samples, 3), 0);

    // A new module while running: the old one quits, the new one starts in the same library.
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteInteger("Module", 1);
    adaptor.LoadConfig(*doc);
    EXPECT_EQ(probe.Counter("DspTestQuits"), 1);
    EXPECT_EQ(probe.Counter("DspTestInits"), 2);
    EXPECT_EQ(Feed(adaptor, samples, 4), 4);
    EXPECT_EQ(samples[0], -50);
    adaptor.LoadConfig(*doc);  // the same module again changes nothing
    EXPECT_EQ(probe.Counter("DspTestInits"), 2);

    auto saved = TConfigDoc_XML::Create("");
    adaptor.SaveConfig(*saved);
    EXPECT_EQ(saved->ReadInteger("Module", -1), 1);
    adaptor.Close();
    EXPECT_FALSE(adaptor.GetActive());
    EXPECT_EQ(probe.Counter("DspTestQuits"), 2);
}

TEST_F(DSPAdaptor, AModuleWhoseInitFailsStillRunsAndCannotOverrunTheBlock) {
    const std::string file = Install("dsp_test.so");
    TDSP_Adaptor adaptor(file);
    adaptor.Module = 2;  // fails its Init and claims twice the frames
    EXPECT_TRUE(adaptor.Open(Format(48000, 16, 1)));
    EXPECT_TRUE(adaptor.HasModule());
    std::vector<int16_t> samples(10, 1);
    EXPECT_EQ(Feed(adaptor, samples, 20), 20);
    EXPECT_EQ(samples[9], 7);
}

TEST_F(DSPAdaptor, ModuleSwitchesAndProcessingNeverOverlap) {
    TDSP_Adaptor adaptor(Install("dsp_test.so"));
    ASSERT_TRUE(adaptor.Open(Format(44100, 16, 2)));
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<int16_t> samples(512, 100);
        while (!stop) {
            EXPECT_EQ(Feed(adaptor, samples, 1024), 1024);
        }
    });
    auto doc = TConfigDoc_XML::Create("");
    for (int i = 0; i < 200; ++i) {
        doc->WriteInteger("Module", i % 2);
        adaptor.LoadConfig(*doc);
    }
    stop = true;
    audio.join();
    adaptor.Close();
    EXPECT_FALSE(adaptor.GetActive());
}

TEST_F(DSPAdaptor, UnusableLibrariesAndFormats) {
    // A library that can't be loaded: active without a module, audio unchanged, an error logged.
    TDSP_Adaptor missing(Dir() + "dsp_gone.so");
    EXPECT_TRUE(missing.Open(Format(44100, 16, 2)));
    EXPECT_FALSE(missing.HasModule());
    std::vector<int16_t> samples{100, 100};
    EXPECT_EQ(Feed(missing, samples, 4), 4);
    EXPECT_EQ(samples[0], 100);
    EXPECT_TRUE(Log->Contains("Unable to load DSP plugin"));

    // A library without the entry point raises and leaves the adaptor closed.
    TDSP_Adaptor noEntry(Install("dsp_noentry.so"));
    EXPECT_THROW(noEntry.Open(Format(44100, 16, 2)), EPluginError);
    EXPECT_FALSE(noEntry.GetActive());
    EXPECT_FALSE(noEntry.HasModule());

    // Formats without whole frames are refused; processing then changes nothing.
    TDSP_Adaptor adaptor(Install("dsp_test.so"));
    for (const auto& format : {Format(44100, 16, 0), Format(44100, 0, 2), Format(44100, 4, 1), Format(44100, 16, -2)}) {
        EXPECT_FALSE(adaptor.Open(format));
        EXPECT_FALSE(adaptor.HasModule());
        EXPECT_EQ(Feed(adaptor, samples, 4), 4);
    }
    // A module index the library does not have runs nothing.
    adaptor.Module = 7;
    EXPECT_TRUE(adaptor.Open(Format(44100, 16, 2)));
    EXPECT_FALSE(adaptor.HasModule());
    EXPECT_EQ(Feed(adaptor, samples, 4), 4);
    EXPECT_EQ(samples[0], 100);
}

TEST_F(DSPAdaptor, ConfigureOpensAClosedAdaptorAroundTheDialog) {
    const std::string file = Install("dsp_test.so");
    TDSP_Adaptor adaptor(file);
    auto doc = TConfigDoc_XML::Create("");
    EXPECT_FALSE(adaptor.Configure(*doc));  // no dialog registered

    SetDSPAdaptorConfigInfo(SpyInfoFunction);
    TConfigSpy::Answer = true;
    TConfigSpy::Calls = 0;
    EXPECT_TRUE(adaptor.Configure(*doc));
    EXPECT_EQ(TConfigSpy::Calls, 1);
    EXPECT_TRUE(TConfigSpy::SawLibrary);
    EXPECT_TRUE(TConfigSpy::SawModule);
    EXPECT_EQ(doc->ReadInteger("Module", 0), 1);
    EXPECT_FALSE(adaptor.GetActive());  // closed again
    EXPECT_EQ(DSPAdaptorHandOver().Library.Handle, nullptr);
    EXPECT_EQ(adaptor.GetFormat().SampleRate, 44100);
    EXPECT_EQ(adaptor.GetFormat().BitsPerSample, 16);
    EXPECT_EQ(adaptor.GetFormat().Channels, 2);

    // A running adaptor stays open and keeps its module.
    ASSERT_TRUE(adaptor.Open(Format(22050, 16, 1)));
    TLibraryProbe probe(file);
    TConfigSpy::Answer = false;
    EXPECT_FALSE(adaptor.Configure(*doc));
    EXPECT_TRUE(adaptor.GetActive());
    EXPECT_TRUE(adaptor.HasModule());
    EXPECT_EQ(probe.Counter("DspTestQuits"), 0);
    EXPECT_EQ(adaptor.GetFormat().SampleRate, 22050);
}
