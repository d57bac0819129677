#include "audio/nodes/Node_AGC.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "TestSignals.h"
#include "audio/graph/AudioErrors.h"
#include "common/TempFolder.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

// Our processor behind a table that records the calls the node makes.
struct TRecorder {
    static inline std::vector<int32_t> Applies;
    static inline int Processes = 0;
    static void Apply(TAGCParams* b, int32_t flags) {
        Applies.push_back(flags);
        API_AGC_Apply(b, flags);
    }
    static int32_t Process(TAGCParams* b, void* s, int32_t f, int32_t bits, int32_t ch, int32_t rate) {
        ++Processes;
        return API_AGC_Process(b, s, f, bits, ch, rate);
    }
    static TAGCLibrary Library() {
        TAGCLibrary lib = BuiltInAGCLibrary();
        lib.Apply = Apply;
        lib.Process = Process;
        Applies.clear();
        Processes = 0;
        return lib;
    }
};

TEST(Node_AGC, CreationWritesTheNodeDefaults) {
    TNode_AGC node;
    const TAGCParams& p = *node.GetParams();
    EXPECT_FALSE(node.Enabled);
    EXPECT_EQ(p.HostFlag, 1);
    EXPECT_TRUE(node.GetGatedAGCEnabled() && node.GetStereoExpanderEnabled() && node.GetBassEQEnabled() &&
                node.GetDualBandEnabled() && node.GetClipperEnabled());
    EXPECT_FALSE(node.GetPreEmphasisEnabled() || node.GetMultiBandEnabled());
    EXPECT_FLOAT_EQ(node.GetOutputLevel(), 100.0f);
    EXPECT_EQ(node.GetName(), "AGC");
}

TEST(Node_AGC, MissingProcessorMakesTheNodeFail) {
    TAGCLibrary none;
    EXPECT_THROW(TNode_AGC node(&none), EAudioError);
    TAGCLibrary noBlock = BuiltInAGCLibrary();
    noBlock.Init = [](TAGCParams** b) { *b = nullptr; };
    EXPECT_THROW(TNode_AGC node(&noBlock), EAudioError);
}

TEST(Node_AGC, EverySetterClampsAndAppliesItsStage) {
    const TAGCLibrary lib = TRecorder::Library();
    TNode_AGC node(&lib);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* Name;
        std::function<void()> Set;
        std::function<double()> Get;
        double Stored;
        int32_t Flag;  // 0: no Apply
    } cases[] = {
        {"GateLevel", [&] { node.SetGateLevel(-100); }, [&] { return node.GetGateLevel(); }, -90, 2},
        {"GateLevel+", [&] { node.SetGateLevel(5); }, [&] { return node.GetGateLevel(); }, 0, 2},
        {"MaxGain", [&] { node.SetMaxGain(40); }, [&] { return node.GetMaxGain(); }, 25, 2},
        {"Depth", [&] { node.SetStereoExpanderDepth(25); }, [&] { return node.GetStereoExpanderDepth(); }, 20, 4},
        {"Level", [&] { node.SetStereoExpanderLevel(150); }, [&] { return node.GetStereoExpanderLevel(); }, 100, 0},
        {"LevelNaN", [&] { node.SetStereoExpanderLevel(nan); }, [&] { return node.GetStereoExpanderLevel(); }, 0, 0},
        {"Threshold", [&] { node.SetStereoExpanderThreshold(-50); }, [&] { return node.GetStereoExpanderThreshold(); },
         -40, 4},
        {"BassFreq", [&] { node.SetBassEQFreq(10); }, [&] { return node.GetBassEQFreq(); }, 40, 1},
        {"BassGain", [&] { node.SetBassEQGain(30); }, [&] { return node.GetBassEQGain(); }, 20, 1},
        {"BassType", [&] { node.SetBassEqType(5); }, [&] { return node.GetBassEqType(); }, 1, 1},
        {"PreEmpType", [&] { node.SetPreEmpType(-3); }, [&] { return node.GetPreEmpType(); }, 0, 0},
        {"MBDrive", [&] { node.SetMultiBandDrive(11); }, [&] { return node.GetMultiBandDrive(); }, 10, 8},
        {"MBDriveNaN", [&] { node.SetMultiBandDrive(nan); }, [&] { return node.GetMultiBandDrive(); }, 0, 8},
        {"Link01", [&] { node.SetLink01(150); }, [&] { return node.GetLink01(); }, 100, 0},
        {"Link23", [&] { node.SetLink23(-5); }, [&] { return node.GetLink23(); }, 0, 0},
        {"Link34", [&] { node.SetLink34(55); }, [&] { return node.GetLink34(); }, 55, 0},
        {"DBDrive", [&] { node.SetDualBandDrive(-20); }, [&] { return node.GetDualBandDrive(); }, -10, 16},
        {"ClipLevel", [&] { node.SetClipperLevel(-9.5f); }, [&] { return node.GetClipperLevel(); }, -6, 32},
        {"ClipLevelInf", [&] { node.SetClipperLevel(inf); }, [&] { return node.GetClipperLevel(); }, 3, 32},
        {"Output", [&] { node.SetOutputLevel(120); }, [&] { return node.GetOutputLevel(); }, 100, 0},
        {"Clipper", [&] { node.SetClipperEnabled(false); }, [&] { return node.GetClipperEnabled(); }, 0, 0},
        {"PreEmp", [&] { node.SetPreEmphasisEnabled(true); }, [&] { return node.GetPreEmphasisEnabled(); }, 1, 0},
        {"GatedAGC", [&] { node.SetGatedAGCEnabled(false); }, [&] { return node.GetGatedAGCEnabled(); }, 0, 0},
        {"Expander", [&] { node.SetStereoExpanderEnabled(false); }, [&] { return node.GetStereoExpanderEnabled(); }, 0,
         0},
        {"BassEQ", [&] { node.SetBassEQEnabled(false); }, [&] { return node.GetBassEQEnabled(); }, 0, 0},
        {"MultiBand", [&] { node.SetMultiBandEnabled(true); }, [&] { return node.GetMultiBandEnabled(); }, 1, 0},
        {"DualBand", [&] { node.SetDualBandEnabled(false); }, [&] { return node.GetDualBandEnabled(); }, 0, 0},
    };
    for (const auto& c : cases) {
        TRecorder::Applies.clear();
        c.Set();
        EXPECT_DOUBLE_EQ(c.Get(), c.Stored) << c.Name;
        if (c.Flag) {
            EXPECT_EQ(TRecorder::Applies, std::vector<int32_t>{c.Flag}) << c.Name;
        } else {
            EXPECT_TRUE(TRecorder::Applies.empty()) << c.Name;
        }
    }
    // A switch reads as on only when it holds exactly 1.
    const_cast<TAGCParams*>(node.GetParams())->BassEQ = 2;
    EXPECT_FALSE(node.GetBassEQEnabled());
}

TEST(Node_AGC, DisabledPassesUnchangedEnabledProcessesWholeFrames) {
    const TAGCLibrary lib = TRecorder::Library();
    TNode_AGC node(&lib);
    node.SetFormat(DefaultAudioFormat);
    node.LockedStart();
    auto audio = test::Programme(0, -24, 0.5);
    auto copy = audio;
    TStreamTime time = 0;
    IChunkPtr chunk;
    EXPECT_EQ(node.LockedProcess(copy.data(), static_cast<int>(copy.size() * 2), time, chunk),
              static_cast<int>(copy.size() * 2));
    EXPECT_EQ(copy, audio);
    EXPECT_EQ(TRecorder::Processes, 0);

    node.Enabled = true;
    // 4410 frames and 3 stray bytes: the node answers the whole frames.
    EXPECT_EQ(node.LockedProcess(copy.data(), 4410 * 4 + 3, time, chunk), 4410 * 4);
    EXPECT_EQ(TRecorder::Processes, 1);
    EXPECT_NE(copy, audio);
}

TEST(Node_AGC, PresetRoundTripKeepsEveryField) {
    test::TTempFolder temp;
    TNode_AGC a;
    a.Enabled = true;
    a.SetGateLevel(-55);
    a.SetMaxGain(9);
    a.SetStereoExpanderEnabled(false);
    a.SetStereoExpanderDepth(13);
    a.SetStereoExpanderLevel(33.25f);
    a.SetStereoExpanderThreshold(-21.5f);
    a.SetBassEQFreq(120);
    a.SetBassEQGain(7);
    a.SetBassEqType(1);
    a.SetPreEmphasisEnabled(true);
    a.SetPreEmpType(1);
    a.SetMultiBandEnabled(true);
    a.SetMultiBandDrive(4.5f);
    a.SetLink01(10);
    a.SetLink23(20);
    a.SetLink34(30);
    a.SetDualBandDrive(-3.5f);
    a.SetClipperLevel(-1.25f);
    a.SetOutputLevel(87.5f);
    auto* raw = const_cast<TAGCParams*>(a.GetParams());
    for (int b = 0; b < AGCMultiBands; ++b) {
        raw->MultiBandGain[b] = 1.5f * b - 2;
        for (int p = 0; p < AGCBandProcessors; ++p)
            raw->MultiBandProc[b][p] = {
                p % 2, 1.5f + b, -30.0f + p, 1 + b, 2 + p, 300 + b, 900 + p, static_cast<uint32_t>(b * 7), {}};
    }
    for (int b = 0; b < AGCDualBands; ++b)
        for (int p = 0; p < AGCBandProcessors; ++p)
            raw->DualBandProc[b][p] = {1, 3.0f + p, -12.0f - b, 5, 50, 100 + p, 1000, 40, {}};
    const std::string file = temp.File("preset.xml");
    SaveAGCPreset(a, file);

    const TAGCLibrary lib = TRecorder::Library();
    TNode_AGC b(&lib);
    TRecorder::Applies.clear();
    LoadAGCPreset(b, file);
    EXPECT_EQ(TRecorder::Applies.back(), -1);
    EXPECT_TRUE(b.Enabled);
    const TAGCParams &pa = *a.GetParams(), &pb = *b.GetParams();
    // Every public field from offset 4 up to the processor's private tail, except the
    // processors' own private bytes.
    for (int off = 4; off < 1972; off += 4) {
        if (off == 68) continue;
        const bool inProc = (off >= 84 && off < 1404) || (off >= 1428 && off < 1956);
        const int rel = off >= 1428 ? (off - 1428) % 88 : (off - 84) % 88;
        if (inProc && rel >= 32) continue;
        EXPECT_EQ(
            std::memcmp(reinterpret_cast<const uint8_t*>(&pa) + off, reinterpret_cast<const uint8_t*>(&pb) + off, 4), 0)
            << "offset " << off;
    }
}

TEST(Node_AGC, BadPresetsLeaveTheNodeUnchanged) {
    test::TTempFolder temp;
    TNode_AGC node;
    node.SetMaxGain(7);
    const TAGCParams before = *node.GetParams();
    LoadAGCPreset(node, temp.File("missing.xml"));
    test::WriteWholeFile(temp.File("broken.xml"), "<CONFIG><AGC><GatedAGC>");
    LoadAGCPreset(node, temp.File("broken.xml"));
    // Well-formed, but a value half-way through does not read as a number.
    test::WriteWholeFile(temp.File("bad.xml"),
                         "<CONFIG><AGC><GatedAGC><MaxGain>3</MaxGain></GatedAGC>"
                         "<MultiBand><Drive>loud</Drive></MultiBand></AGC></CONFIG>");
    LoadAGCPreset(node, temp.File("bad.xml"));
    EXPECT_EQ(std::memcmp(&before, node.GetParams(), sizeof(TAGCParams)), 0);
    EXPECT_EQ(node.GetMaxGain(), 7);
}

TEST(Node_AGC, ProcessorRecordsFromConfigurationAreTakenAsTheyStand) {
    auto doc = TConfigDoc_XML::Create("");
    auto proc = doc->Section("AGC")->Section("DualBand")->Section("Bands")->Section("MBand1Proc2");
    proc->WriteFloat("Ratio", 0.0);
    proc->WriteInteger("Attack", -5);
    proc->WriteInteger("Hold", 99999999999LL);
    doc->Section("AGC")->Section("MultiBand")->WriteString("Gain3", "NaN");
    TNode_AGC node;
    node.LockedLoadConfig(*doc->Section("AGC"));
    const TAGCBandProcessor& p = node.GetParams()->DualBandProc[1][2];
    EXPECT_EQ(p.Ratio, 0.0f);
    EXPECT_EQ(p.Attack, -5);
    EXPECT_EQ(p.Hold, 4294967295u);
    // ... and the processor still runs on them without producing garbage.
    node.Enabled = true;
    node.SetFormat(DefaultAudioFormat);
    node.LockedStart();
    auto audio = test::Programme(1, -12, 2.0);
    TStreamTime time = 0;
    IChunkPtr chunk;
    node.LockedProcess(audio.data(), static_cast<int>(audio.size() * 2), time, chunk);
    const double out = test::IntegratedLoudness(audio.data() + 44100, 44100, 2, 44100);
    EXPECT_GT(out, -40.0);
    EXPECT_LT(out, 0.0);
}

}  // namespace
}  // namespace kelvar
