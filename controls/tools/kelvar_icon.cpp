// kelvar-icon FOLDER: writes the program's picture as the desktop's icon theme wants it,
// FOLDER/<N>x<N>/apps/kelvar-zorvik.png for every size a menu or launcher asks for.
#include <QGuiApplication>
#include <QImage>

#include <filesystem>
#include <iostream>
#include <string>

#include "controls/KcResources.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kelvar-icon FOLDER\n";
        return 2;
    }
    QGuiApplication app(argc, argv);
    const std::filesystem::path folder = argv[1];
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string box = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path file = folder / box / "apps" / "kelvar-zorvik.png";
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        if (!kelvar::KcProgramIconImage(size).save(QString::fromStdString(file.string()), "PNG")) {
            std::cerr << "kelvar-icon: cannot write " << file << "\n";
            return 1;
        }
    }
    return 0;
}
