#pragma once
// A real core over the test database for the editor tests, and songs written as WAV files.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QCoreApplication>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "media/SongInfo_imp.h"

namespace kelvar::editortest {

namespace fs = std::filesystem;

// A stereo 44.1 kHz WAV of decaying clicks at Bpm.
inline void WriteClickWav(const std::string& Path, double Bpm, double Seconds) {
    const int rate = 44100;
    const size_t frames = static_cast<size_t>(Seconds * rate);
    std::vector<int16_t> out(frames * 2, 0);
    const double period = 60.0 / Bpm * rate;
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (double start = 0; start < static_cast<double>(frames); start += period) {
        const size_t s = static_cast<size_t>(start);
        for (size_t i = 0; i < static_cast<size_t>(0.05 * rate) && s + i < frames; ++i) {
            const double env = std::exp(-static_cast<double>(i) / (0.008 * rate));
            const double v = (0.6 * std::sin(2 * M_PI * 80.0 * i / rate) + 0.3 * noise(gen)) * env * 30000.0;
            out[2 * (s + i)] = out[2 * (s + i) + 1] = static_cast<int16_t>(std::lround(v));
        }
    }
    const uint32_t dataBytes = static_cast<uint32_t>(out.size() * 2);
    std::ofstream f(Path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    f.write(reinterpret_cast<const char*>(out.data()), dataBytes);
}

class TCoreFixture : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-editors-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }
    void TearDown() override {
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    ISongInfoPtr Song(int N, int Ms) {
        const std::string file = (Folder / ("song" + std::to_string(N) + ".wav")).string();
        coretest::WriteToneWav(file, Ms, 300);
        const int id = AddSongRow(file, "Artist " + std::to_string(N), "Title " + std::to_string(N), Ms);
        auto song = TSongInfo::Create(id, file);
        song->SetArtist("Artist " + std::to_string(N));
        song->SetTitle("Title " + std::to_string(N));
        song->SetDuration(Ms);
        return song;
    }

    static void Settle() { QCoreApplication::processEvents(); }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
};

}  // namespace kelvar::editortest
