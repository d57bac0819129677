#pragma once
// Helpers of the voice window tests: an in-memory sound card mixer, and an ALSA configuration
// of the test's own whose capture PCM "kelvar_mic" reads a raw file and is listed as a device.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/alsa/MixerBackend.h"

namespace kelvar::voicetest {

// Cards named by Products; each has the playback lines Playback and the recording lines Record.
inline platform::TMemoryMixerModelPtr InstallMixer(const std::vector<std::string>& Products,
                                                   const std::vector<std::string>& Playback,
                                                   const std::vector<std::string>& Record) {
    auto model = std::make_shared<platform::TMemoryMixerModel>();
    for (const std::string& product : Products) {
        platform::TMemoryMixerModel::TDevice device;
        device.Caps.ProductName = product;
        platform::TMemoryMixerModel::TLine play, rec;
        play.Info.LineId = 0;
        play.Info.Name = "Master";
        rec.Info.LineId = 65536;
        rec.Info.Name = "Capture";
        device.Destinations = {play, rec};
        device.Sources.resize(2);
        for (size_t d = 0; d < 2; ++d) {
            const auto& names = d == 0 ? Playback : Record;
            for (size_t i = 0; i < names.size(); ++i) {
                platform::TMemoryMixerModel::TLine line;
                line.Info.LineId = static_cast<uint32_t>(d * 65536 + i + 1);
                line.Info.Name = names[i];
                device.Sources[d].push_back(line);
            }
        }
        model->Devices.push_back(device);
    }
    platform::SetMixerBackendFactory([model] { return platform::CreateMemoryMixerBackend(model); });
    return model;
}

// A stereo tone of Ms milliseconds at 44100 Hz.
inline std::vector<int16_t> Tone(int Ms, int16_t Amplitude) {
    const size_t frames = static_cast<size_t>(44100) * static_cast<size_t>(Ms) / 1000;
    std::vector<int16_t> data(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        data[2 * i] = data[2 * i + 1] =
            static_cast<int16_t>(Amplitude * std::sin(2 * 3.14159265358979 * 440.0 * static_cast<double>(i) / 44100));
    return data;
}

// While it lives, ALSA reads this configuration too: "kelvar_mic" captures Input, and the
// default PCM is a card that no machine has, so that nothing records from a real device.
class TAlsaMicConf {
public:
    explicit TAlsaMicConf(const std::vector<int16_t>& Input) {
        FFolder = std::filesystem::temp_directory_path() / ("kelvar-voice-" + std::to_string(getpid()));
        std::filesystem::create_directories(FFolder);
        {
            std::ofstream in(FFolder / "in.raw", std::ios::binary);
            in.write(reinterpret_cast<const char*>(Input.data()), static_cast<std::streamsize>(Input.size() * 2));
        }
        const auto conf = FFolder / "test.conf";
        std::ofstream out(conf);
        out << "pcm.kelvar_mic {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n  infile \""
            << (FFolder / "in.raw").string()
            << "\"\n  format \"raw\"\n  hint {\n    show on\n    description \"Test microphone\"\n  }\n}\n";
        out << "pcm.!default {\n  type hw\n  card 31\n}\n";
        out.close();
        if (const char* old = getenv("ALSA_CONFIG_PATH")) FOldPath = old, FHadPath = true;
        setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf.string()).c_str(), 1);
    }
    ~TAlsaMicConf() {
        if (FHadPath)
            setenv("ALSA_CONFIG_PATH", FOldPath.c_str(), 1);
        else
            unsetenv("ALSA_CONFIG_PATH");
        std::error_code ec;
        std::filesystem::remove_all(FFolder, ec);
    }
    TAlsaMicConf(const TAlsaMicConf&) = delete;
    TAlsaMicConf& operator=(const TAlsaMicConf&) = delete;

private:
    std::filesystem::path FFolder;
    std::string FOldPath;
    bool FHadPath = false;
};

}  // namespace kelvar::voicetest
