// kelvar-render: plays files one after another on decks A and B through the real engine and a
// silent output, and writes the on-air mix to a WAV file.
//   kelvar-render -o OUT.wav [-s SETTINGS] [-c CONFIG.xml] [-r RATE] FILE...
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "common/RenderEngine.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/ProcessLocale.h"

namespace {

const char* const Usage =
    "usage: kelvar-render -o OUT.wav [-s SETTINGS] [-c CONFIG.xml] [-r RATE] FILE...\n"
    "  -s  default song settings in their text form (keys left out keep the built-in values)\n"
    "  -c  configuration document laid out as the player's core configuration file\n"
    "  -r  clock rate of the silent output (1 = real time; default: as fast as it runs)\n";

class TStderrLogger : public kelvar::ILogger {
public:
    void Log(const std::string& message, const std::string& source, kelvar::TLogKind kind) override {
        static const char Kinds[] = "XEWNIDT";
        const char letter = kind < sizeof(Kinds) - 1 ? Kinds[kind] : '?';
        std::fprintf(stderr, "%c [%s] %s\n", letter, source.c_str(), message.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    kelvar::render::TRenderOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs %s\n%s", arg.c_str(), what, Usage);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "-o") {
            options.Output = value("a file name");
        } else if (arg == "-s") {
            options.Settings = value("a settings text");
            options.HasSettings = true;
        } else if (arg == "-c") {
            options.Config = value("a file name");
        } else if (arg == "-r") {
            const std::string text = value("a rate");
            if (!kelvar::TryParseDouble(text, options.ClockRate) || !(options.ClockRate > 0)) {
                std::fprintf(stderr, "invalid rate %s\n%s", text.c_str(), Usage);
                return 2;
            }
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "unknown option %s\n%s", arg.c_str(), Usage);
            return 2;
        } else {
            options.Files.push_back(arg);
        }
    }
    if (options.Output.empty() || options.Files.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }

    kelvar::SetCoreLogger(std::make_shared<TStderrLogger>());
    const kelvar::render::TRenderResult result = kelvar::render::Render(options);
    kelvar::SetCoreLogger(nullptr);
    if (!result.Ok) std::fprintf(stderr, "kelvar-render: %s\n", result.Error.c_str());
    std::fprintf(stderr, "files=%d failed=%d seconds=%.3f wall=%.3f cpu=%.3f peak=%d\n", result.Loaded, result.Failed,
                 result.AudioSeconds, result.WallSeconds, result.CpuSeconds, result.Peak);
    const double factor = result.WallSeconds > 0 ? result.AudioSeconds / result.WallSeconds : 0;
    std::printf("realtime=%.2f\n", factor);
    return result.Ok ? 0 : 1;
}
