// The setup program. The wizard's pages are not part of this build: the install runs from the
// command line with "--silent".
#include <iostream>
#include <string>
#include <vector>

#include "foundation/MiscFunc.h"
#include "setup/SilentInstall.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kelvar::TSilentOptions options;
    std::string error;
    if (!kelvar::ParseSilentOptions(args, options, error)) {
        std::cerr << error << "\n" << kelvar::SilentUsage();
        return 2;
    }
    if (options.Help) {
        std::cout << kelvar::SilentUsage();
        return 0;
    }
    if (!options.Silent) {
        std::cerr << "Kelvar Installer: the wizard is not available in this build; run the install with --silent.\n"
                  << kelvar::SilentUsage();
        return 2;
    }
    return kelvar::RunSilentInstall(options, kelvar::ProgramFolder(), std::cout, std::cerr);
}
