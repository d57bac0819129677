// The setup program: the wizard when there is a display, the install from the command line with
// "--silent".
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "foundation/MiscFunc.h"
#include "foundation/ProcessLocale.h"
#include "setup/SilentInstall.h"
#include "setup/wizard/unMain.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Install folders and database paths may hold any letters.
    kelvar::UseEnvironmentLocale();
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
    if (options.Silent) return kelvar::RunSilentInstall(options, kelvar::ProgramFolder(), std::cout, std::cerr);
    if (!HasDisplay()) {
        std::cerr << "Kelvar Installer: no display for the wizard; run the install with --silent.\n"
                  << kelvar::SilentUsage();
        return 2;
    }
    QApplication app(argc, argv);
    kelvar::UseEnvironmentLocale();  // the application object sets the locale again
    QApplication::setApplicationName("Kelvar Installer");
    kelvar::TfoMain wizard(kelvar::ProgramFolder());
    wizard.show();
    return app.exec();
}
