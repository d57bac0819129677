#pragma once
// Helpers of the capture tests: an ALSA configuration of the test's own with a capture PCM
// "kelvar_in" that reads a raw file (a "file" PCM with an input file over "null"), and a
// direct-hardware driver that refuses packets after a given number.
#include <unistd.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "audio/outputs/KSDriver.h"

namespace kelvar::testkit {

// Samples 1, 2, 3, ... (wrapping below 32000), so any stretch of the file is recognisable.
inline std::vector<int16_t> MakeRamp(size_t Samples) {
    std::vector<int16_t> data(Samples);
    for (size_t i = 0; i < Samples; ++i) data[i] = static_cast<int16_t>(1 + i % 32000);
    return data;
}

// What "default" is while the configuration is in force.
enum class TDefaultPcm { AsSystem, SameAsInput, Unusable };

class TAlsaInputConf {
public:
    // Input: what "kelvar_in" delivers.
    explicit TAlsaInputConf(const std::vector<int16_t>& Input, TDefaultPcm Default = TDefaultPcm::Unusable) {
        FFolder = std::filesystem::temp_directory_path() /
                  ("kelvar-live-" + std::to_string(getpid()) + "-" + std::to_string(++Counter()));
        std::filesystem::create_directories(FFolder);
        {
            std::ofstream in(FFolder / "in.raw", std::ios::binary);
            in.write(reinterpret_cast<const char*>(Input.data()), static_cast<std::streamsize>(Input.size() * 2));
        }
        const auto conf = FFolder / "test.conf";
        std::ofstream out(conf);
        const std::string body = "{\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n  infile \"" +
                                 (FFolder / "in.raw").string() + "\"\n  format \"raw\"\n}\n";
        out << "pcm.kelvar_in " << body;
        if (Default == TDefaultPcm::SameAsInput) out << "pcm.!default " << body;
        // A card that no machine has, so that a test never records from a real one.
        if (Default == TDefaultPcm::Unusable) out << "pcm.!default {\n  type hw\n  card 31\n}\n";
        out.close();
        if (const char* old = getenv("ALSA_CONFIG_PATH")) FOldPath = old, FHadPath = true;
        setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf.string()).c_str(), 1);
    }
    ~TAlsaInputConf() {
        if (FHadPath)
            setenv("ALSA_CONFIG_PATH", FOldPath.c_str(), 1);
        else
            unsetenv("ALSA_CONFIG_PATH");
        std::error_code ec;
        std::filesystem::remove_all(FFolder, ec);
    }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    std::filesystem::path FFolder;
    std::string FOldPath;
    bool FHadPath = false;
};

// The built-in driver, except that the capture pin refuses every packet after the first
// Allowed ones.
class TFailingKSDriver : public IKSDriver {
public:
    explicit TFailingKSDriver(int Allowed) : FInner(CreateAlsaKSDriver()), FAllowed(Allowed) {}
    int32_t Filters_Create(TKSHandle& List) override { return FInner->Filters_Create(List); }
    void Filters_Destroy(TKSHandle& List) override { FInner->Filters_Destroy(List); }
    int32_t Filters_Count(TKSHandle List) override { return FInner->Filters_Count(List); }
    bool Filters_GetNextAudRenFilter(TKSHandle List, int32_t& Position, TKSHandle& Filter) override {
        return FInner->Filters_GetNextAudRenFilter(List, Position, Filter);
    }
    int32_t Filters_Enumerate(TKSHandle List, int32_t Flags, const TGuid* Categories, int32_t Count, int32_t A1,
                              int32_t A2, int32_t A3) override {
        return FInner->Filters_Enumerate(List, Flags, Categories, Count, A1, A2, A3);
    }
    void Filter_Destroy(TKSHandle& Filter) override { FInner->Filter_Destroy(Filter); }
    int32_t Filter_GetInfo(TKSHandle Filter, char* Path, uint32_t& PathLength, char* Name,
                           uint32_t& NameLength) override {
        return FInner->Filter_GetInfo(Filter, Path, PathLength, Name, NameLength);
    }
    int32_t Filter_Instantiate(TKSHandle Filter) override { return FInner->Filter_Instantiate(Filter); }
    int32_t Filter_EnumerateNodes(TKSHandle Filter) override { return FInner->Filter_EnumerateNodes(Filter); }
    int32_t Filter_EnumeratePins(TKSHandle Filter) override { return FInner->Filter_EnumeratePins(Filter); }
    int32_t FilterRender_Create(TKSHandle& Filter, const char* Path) override {
        return FInner->FilterRender_Create(Filter, Path);
    }
    int32_t FilterRender_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) override {
        return FInner->FilterRender_CreatePin(Filter, Format, Pin);
    }
    int32_t FilterCapture_Create(TKSHandle& Filter, const char* Path) override {
        return FInner->FilterCapture_Create(Filter, Path);
    }
    int32_t FilterCapture_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) override {
        return FInner->FilterCapture_CreatePin(Filter, Format, Pin);
    }
    int32_t Pin_WriteData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) override {
        return FInner->Pin_WriteData(Pin, Header, Overlapped);
    }
    int32_t Pin_ReadData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) override {
        if (FReads.fetch_add(1) >= FAllowed) return E_FAIL;
        return FInner->Pin_ReadData(Pin, Header, Overlapped);
    }
    int32_t Pin_SetState(TKSHandle Pin, int32_t State) override { return FInner->Pin_SetState(Pin, State); }
    void Pin_ClosePin(TKSHandle Pin) override { FInner->Pin_ClosePin(Pin); }

private:
    IKSDriverPtr FInner;
    const int FAllowed;
    std::atomic<int> FReads{0};
};

}  // namespace kelvar::testkit
