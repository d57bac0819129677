#include "audio/nodes/Node_WinampDSPList.h"

#include <gtest/gtest.h>

#include "WinampTestKit.h"
#include "audio/graph/AudioErrors.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

struct TChainFixture : ::testing::Test {
    test::TPluginFolder Folder;
    TWinampDSPListPtr List;
    std::unique_ptr<TNode_WinampDSPList> Node;

    void Install(std::initializer_list<std::pair<const char*, const char*>> plugins) {
        for (const auto& [from, as] : plugins) Folder.Add(from, as);
        List = std::make_shared<TWinampDSPList>(TWinampDSPFolders{Folder.Plugins, "", Folder.Cache});
        Node = std::make_unique<TNode_WinampDSPList>(List);
        Node->SetFormat(DefaultAudioFormat);
    }
    TWinampDSPPtr Plugin(const char* as) { return List->FindByFile(Folder.Plugins + as); }

    // Runs Frames of a ramp through the node; the output samples.
    std::vector<int16_t> Run(int frames, int extraBytes = 0) {
        auto in = test::Ramp(frames + 1);
        TStreamTime time = 0;
        IChunkPtr chunk;
        const int n = Node->LockedProcess(in.data(), frames * 4 + extraBytes, time, chunk);
        if (n > 0) return std::vector<int16_t>(in.begin(), in.begin() + n / 2);
        if (!chunk) return {};
        auto* s = reinterpret_cast<int16_t*>(chunk->GetData());
        return std::vector<int16_t>(s, s + chunk->GetSize() / 2);
    }
};

TEST_F(TChainFixture, EmptyChainPassesWholeFramesInPlace) {
    Install({});
    EXPECT_EQ(Run(100, 3).size(), 200u);
    TStreamTime time = 0;
    IChunkPtr chunk;
    EXPECT_EQ(Node->LockedProcess(nullptr, 0, time, chunk), 0);
    EXPECT_EQ(Node->GetName(), "WinampDSP");
}

TEST_F(TChainFixture, ChainRunsInTheInstalledOrder) {
    Install({{"dsp_gain.so", "dsp_a.so"}, {"dsp_offset.so", "dsp_b.so"}});
    Node->AddDSP(Plugin("dsp_b.so"));
    Node->AddDSP(Plugin("dsp_a.so"));
    Node->Sort();
    auto out = Run(10);
    EXPECT_EQ(out[2 * 4], 4 * 10 / 2 + 1000);  // halved, then offset
    List->Exchange(0, 1);
    Node->Sort();
    out = Run(10);
    EXPECT_EQ(out[2 * 4], (4 * 10 + 1000) / 2);  // offset, then halved
    EXPECT_EQ(Plugin("dsp_a.so")->GetOwner(), Node.get());
    Node->RemoveDSP(Plugin("dsp_b.so"));
    EXPECT_FALSE(Plugin("dsp_b.so")->IsActive());
    EXPECT_FALSE(Plugin("dsp_b.so")->GetInUse());
    EXPECT_EQ(Node->GetChain().size(), 1u);
}

TEST_F(TChainFixture, GrowingPluginsGetRoomAndAbsurdCountsAreCut) {
    Install({{"dsp_double.so", "dsp_1.so"}, {"dsp_double.so", "dsp_2.so"}, {"dsp_double.so", "dsp_3.so"}});
    Node->AddDSP(Plugin("dsp_1.so"));
    auto out = Run(1000);
    ASSERT_EQ(out.size(), 2u * 2000);  // twice as long as the block
    EXPECT_EQ(out[2 * 1], out[2 * 0]);
    EXPECT_EQ(out[2 * 2], 10);
    // Three doublers in a row: eight times the block, every sample where it belongs.
    Node->AddDSP(Plugin("dsp_2.so"));
    Node->AddDSP(Plugin("dsp_3.so"));
    out = Run(1000);
    ASSERT_EQ(out.size(), 2u * 8000);
    EXPECT_EQ(out[2 * 8 * 999], 9990);
    EXPECT_EQ(out[2 * 8 * 999 + 15], -9990);
}

TEST_F(TChainFixture, AbsurdFrameCountIsCutToTheWorkChunk) {
    Install({{"dsp_absurd.so", "dsp_x.so"}});
    Node->AddDSP(Plugin("dsp_x.so"));
    const auto out = Run(100);
    EXPECT_GT(out.size(), 0u);
    EXPECT_LE(out.size(), 2u * 100 * 2 * 2);  // at most the chunk's capacity
}

TEST_F(TChainFixture, ConfigurationPicksModulesAndSkipsWhatIsGone) {
    Install({{"dsp_multi.so", "dsp_m.so"}, {"dsp_gain.so", "dsp_g.so"}});
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("WinampDSP");
    section->WriteInteger("Count", 3);
    section->WriteString("DSP_Filename1", Folder.Plugins + "dsp_gone.so");
    section->WriteString("DSP_Filename2", Folder.Plugins + "dsp_m.so");
    section->WriteInteger("DSP_ModNo2", 2);
    section->WriteString("DSP_Filename3", Folder.Plugins + "dsp_g.so");
    Node->LockedLoadConfig(*section);
    ASSERT_EQ(Node->GetChain().size(), 2u);
    Node->LockedStop();
    EXPECT_FALSE(Plugin("dsp_m.so")->IsActive());
    Node->LockedStart();
    EXPECT_TRUE(Plugin("dsp_m.so")->IsActive());
    const auto out = Run(10);
    EXPECT_EQ(out[2 * 4], 40 / 2 + 7);  // installed order: the gain halves, then module 2 adds seven

    auto saved = TConfigDoc_XML::Create("")->Section("WinampDSP");
    Node->LockedSaveConfig(*saved);
    EXPECT_EQ(saved->ReadInteger("Count", 0), 2);
    EXPECT_EQ(saved->ReadString("DSP_Filename1", ""), Folder.Plugins + "dsp_g.so");
    EXPECT_EQ(saved->ReadString("DSP_Filename2", ""), Folder.Plugins + "dsp_m.so");
    EXPECT_EQ(saved->ReadInteger("DSP_ModNo2", 0), 2);
    EXPECT_EQ(saved->ReadString("DSP_Description2", ""), "Test multi");

    // A damaged count ends at the entries the section holds (and returns at once).
    section->WriteInteger("Count", 2000000000);
    Node->LockedLoadConfig(*section);
    EXPECT_EQ(Node->GetChain().size(), 2u);
}

TEST_F(TChainFixture, ModuleWhoseInitFailsIsSkippedAndNotSaved) {
    Install({{"dsp_multi.so", "dsp_m.so"}, {"dsp_gain.so", "dsp_g.so"}});
    Plugin("dsp_m.so")->SetModuleIndex(3);
    Node->AddDSP(Plugin("dsp_m.so"));
    Node->AddDSP(Plugin("dsp_g.so"));
    EXPECT_FALSE(Plugin("dsp_m.so")->IsActive());
    EXPECT_EQ(Run(10)[2 * 4], 20);
    auto saved = TConfigDoc_XML::Create("")->Section("WinampDSP");
    Node->LockedSaveConfig(*saved);
    EXPECT_EQ(saved->ReadInteger("Count", 0), 1);
    EXPECT_EQ(saved->ReadString("DSP_Filename1", ""), Folder.Plugins + "dsp_g.so");
}

TEST_F(TChainFixture, PluginInUseWithoutModuleRaisesOnTheAudioThread) {
    Install({{"dsp_gain.so", "dsp_g.so"}});
    Node->AddDSP(Plugin("dsp_g.so"));
    // A chain entry that is active but whose module went away underneath (unloaded by force).
    EXPECT_THROW(Plugin("dsp_g.so")->Unload(), EAudioError);
    EXPECT_EQ(Run(10).size(), 20u);  // inactive entries are skipped
}

TEST_F(TChainFixture, DestroyedChainLetsGoOfItsPlugins) {
    Install({{"dsp_gain.so", "dsp_g.so"}});
    auto plugin = Plugin("dsp_g.so");
    Node->AddDSP(plugin);
    Node.reset();
    EXPECT_EQ(plugin->GetOwner(), nullptr);
    EXPECT_FALSE(plugin->GetInUse());
}

}  // namespace
}  // namespace kelvar
