#include "setup/DesktopEntries.h"

#include <filesystem>
#include <fstream>

#include "setup/unTools.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// Escapes of a desktop entry's string values (the Exec key adds its own quoting before these).
std::string EscapeValue(const std::string& Text) {
    std::string out;
    for (char c : Text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

bool WriteEntry(const fs::path& File, const std::string& Text) {
    std::error_code ec;
    fs::create_directories(File.parent_path(), ec);
    std::ofstream out(File, std::ios::binary | std::ios::trunc);
    out << Text;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

std::string DesktopExecQuote(const std::string& Program) {
    static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string path;
    // A field code starts with "%": a literal one is doubled.
    for (char c : Program) path += c == '%' ? std::string("%%") : std::string(1, c);
    if (path.find_first_of(kReserved) == std::string::npos) return EscapeValue(path);
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return EscapeValue(quoted);
}

std::string DesktopEntryText(const std::string& Name, const std::string& Comment, const std::string& Program,
                             const std::string& WorkFolder) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=" +
           EscapeValue(Name) + "\nComment=" + EscapeValue(Comment) + "\nExec=" + DesktopExecQuote(Program) +
           "\nPath=" + EscapeValue(WorkFolder) +
           "\nIcon=kelvar-zorvik\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Audio;Player;\n";
}

bool InstallDesktopEntries(const std::string& InstallFolder, const std::string& SetupFolder, std::string& Error) {
    const fs::path data = ProgramFilesDir();
    const fs::path applications = data / "applications";
    const struct {
        const char* File;
        std::string Text;
    } entries[] = {
        {"kelvar-zorvik.desktop", DesktopEntryText("Kelvar Zorvik", "Automated DJ and radio playout",
                                                   InstallFolder + "KelvarZorvik", InstallFolder)},
        {"kelvar-setup.desktop", DesktopEntryText("Kelvar Zorvik Setup", "Install Kelvar and set up its song database",
                                                  SetupFolder + "Setup_NMV", SetupFolder)},
    };
    for (const auto& entry : entries) {
        if (!WriteEntry(applications / entry.File, entry.Text)) {
            Error = "Unable to write " + (applications / entry.File).string();
            return false;
        }
    }
    std::error_code ec;
    const std::string icons = InstallFolder + "icons/hicolor";
    if (fs::is_directory(icons, ec) && !CopyDir(icons, (data / "icons" / "hicolor").string())) {
        Error = "Unable to copy the icons into " + (data / "icons" / "hicolor").string();
        return false;
    }
    return true;
}

}  // namespace kelvar
