#pragma once
// The command line of the setup program: "--silent" runs the install sequence with the wizard's
// defaults, printing the install log, and answers the install result as the exit status.
#include <iosfwd>
#include <string>
#include <vector>

namespace kelvar {

struct TSilentOptions {
    bool Silent = false;
    bool Help = false;
    std::string Dir;
    std::string Mode;  // "embedded", "local" or "server"
    std::string Host;
    std::string Port;
    std::string User;
    std::string Password;
    std::string Database;
};

// Reads the arguments after the program name; false with a message for an unknown option or a
// missing value.
bool ParseSilentOptions(const std::vector<std::string>& args, TSilentOptions& options, std::string& error);

std::string SilentUsage();

// Runs the install; log lines go to out, boxes to err. 0 installed, 1 with errors, 2 failed.
int RunSilentInstall(const TSilentOptions& options, const std::string& setupFolder, std::ostream& out,
                     std::ostream& err);

}  // namespace kelvar
