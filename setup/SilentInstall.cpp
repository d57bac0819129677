#include "setup/SilentInstall.h"

#include <filesystem>
#include <ostream>

#include "database/datalink/DLDataTypes.h"
#include "foundation/MiscFunc.h"
#include "setup/InstallSequence.h"
#include "setup/funDB_FireBird.h"
#include "setup/unTools.h"

namespace kelvar {

namespace fs = std::filesystem;

bool ParseSilentOptions(const std::vector<std::string>& args, TSilentOptions& options, std::string& error) {
    struct TValueOption {
        const char* Name;
        std::string TSilentOptions::*Field;
    };
    static const TValueOption valueOptions[] = {
        {"--dir", &TSilentOptions::Dir},           {"--mode", &TSilentOptions::Mode},
        {"--host", &TSilentOptions::Host},         {"--port", &TSilentOptions::Port},
        {"--user", &TSilentOptions::User},         {"--password", &TSilentOptions::Password},
        {"--database", &TSilentOptions::Database},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--silent") {
            options.Silent = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
            continue;
        }
        bool known = false;
        for (const TValueOption& o : valueOptions) {
            std::string name = o.Name;
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    error = "Missing value for " + name;
                    return false;
                }
                options.*o.Field = args[++i];
                known = true;
            } else if (arg.rfind(name + "=", 0) == 0) {
                options.*o.Field = arg.substr(name.size() + 1);
                known = true;
            }
            if (known) break;
        }
        if (!known) {
            error = "Unknown option " + arg;
            return false;
        }
    }
    if (!options.Mode.empty()) {
        std::string mode = LowerCase(options.Mode);
        if (mode != "embedded" && mode != "local" && mode != "server") {
            error = "Unknown database mode " + options.Mode + " (embedded, local or server)";
            return false;
        }
    }
    if (!options.Port.empty()) {
        int64_t port = 0;
        if (!TryParseInt64(options.Port, port) || port < 1 || port > 65535) {
            error = "Invalid port " + options.Port;
            return false;
        }
    }
    return true;
}

std::string SilentUsage() {
    return "Usage: Setup_NMV --silent [--dir FOLDER] [--mode embedded|local|server] [--host HOST] [--port PORT]\n"
           "                 [--user USER] [--password PASSWORD] [--database FILE]\n";
}

int RunSilentInstall(const TSilentOptions& options, const std::string& setupFolder, std::ostream& out,
                     std::ostream& err) {
    TInstallSequence install(setupFolder);
    install.OnLogLine = [&out](const std::string& line, int) { out << line << std::endl; };
    install.OnMessageBox = [&err](const std::string& text, int) { err << text << std::endl; };
    try {
        install.Init();
        install.InitPathPage();
        if (!options.Dir.empty()) install.InstallPath = fs::absolute(options.Dir).string();
        install.InstallPath = IncludeTrailingDelimiter(install.InstallPath);
        install.Log("Install path: " + install.InstallPath, lkNotice);
        install.SelectDriver("FireBird");

        auto* frame = dynamic_cast<TfrmDB_FireBird*>(install.SettingsFrame());
        std::string mode = LowerCase(options.Mode);
        if (mode == "local")
            frame->SetAccessMode(TfrmDB_FireBird::amLocal);
        else if (mode == "server")
            frame->SetAccessMode(TfrmDB_FireBird::amRemote);
        else
            frame->SetAccessMode(TfrmDB_FireBird::amEmbedded);
        if (!options.Host.empty()) frame->eHost.Text = options.Host;
        if (!options.Port.empty()) frame->ePort.Text = options.Port;
        if (!options.Database.empty()) frame->eDatabase.Text = options.Database;
        if (!options.User.empty()) frame->eUsername.Text = options.User;
        if (!options.Password.empty()) frame->ePassword.Text = options.Password;
        if (!frame->ValidateSettings()) {
            install.Log("Invalid database login details: host, port, user name and password must be given.",
                        lkFatalError);
            return 2;
        }
        // The login page fixes a local server to the standard port; the command line may name another.
        if (mode == "local" && !options.Port.empty()) {
            std::string port = options.Port;
            install.OverrideSettings = [port](IConfigDoc& section) { section.WriteString("Port", port); };
        }
        return install.RunInstall();
    } catch (const std::exception& e) {
        install.Log(TrimText(e.what()), lkFatalError);
        return 2;
    }
}

}  // namespace kelvar
