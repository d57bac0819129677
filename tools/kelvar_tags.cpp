// kelvar-tags: reads the song information of music files through the song information manager
// and prints each record, for benchmarks and acceptance checks.
//
//   kelvar-tags [--pictures FOLDER] FILE-OR-FOLDER...
//
// Per file: "file=<path>", the record's name=value lines sorted by name, an empty line. Folders
// are walked recursively. A line break or backslash in a value is written escaped (backslash n,
// backslash r, two backslashes), so every value stays on its line. Cover pictures are only
// extracted when a picture folder is given. The count and the rate go to standard error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/ProcessLocale.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace {

namespace fs = std::filesystem;

void Usage() { std::fprintf(stderr, "usage: kelvar-tags [--pictures FOLDER] FILE-OR-FOLDER...\n"); }

// Files in the order given; a folder's files sorted, so that runs compare line by line.
std::vector<std::string> CollectFiles(const std::vector<std::string>& args, int& errors) {
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<std::string> found;
            fs::recursive_directory_iterator it(arg, fs::directory_options::skip_permission_denied, ec), end;
            for (; !ec && it != end; it.increment(ec)) {
                std::error_code fileEc;
                if (it->is_regular_file(fileEc)) found.push_back(it->path().string());
            }
            if (ec) {
                std::fprintf(stderr, "kelvar-tags: %s: %s\n", arg.c_str(), ec.message().c_str());
                ++errors;
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "kelvar-tags: %s: no such file or folder\n", arg.c_str());
            ++errors;
        }
    }
    return files;
}

std::string Escaped(const std::string& value) {
    if (value.find_first_of("\\\n\r") == std::string::npos) return value;
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pictures") {
            if (i + 1 >= argc) {
                Usage();
                return 2;
            }
            std::string folder = argv[++i];
            if (!folder.empty() && folder.back() != '/') folder += '/';
            kelvar::SetPictureDir(folder);
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty()) {
        Usage();
        return 2;
    }

    int errors = 0;  // arguments that name nothing; damaged files are only reported
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> files = CollectFiles(args, errors);
    // The program's providers without the decoders: Windows Media attributes are read whether or
    // not this build can play such files.
    kelvar::TSongInfoManager manager;
    kelvar::RegisterFileProviders(manager);
    manager.Register(std::make_shared<kelvar::TWMAInfoProvider>());

    std::string out;
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& file : files) {
        kelvar::TSongInfo info;
        try {
            manager.ReadInfo(file, info);
        } catch (const std::exception& e) {
            // A damaged file is reported and the scan goes on with what was read.
            std::fprintf(stderr, "kelvar-tags: %s: %s\n", file.c_str(), e.what());
        }
        values.clear();
        for (int i = 0; i < info.GetCount(); ++i) {
            std::string name = info.GetValue(i);
            std::string value = info.GetValue(name);
            values.emplace_back(std::move(name), std::move(value));
        }
        std::sort(values.begin(), values.end());
        out += "file=" + file + "\n";
        for (const auto& [name, value] : values) out += name + "=" + Escaped(value) + "\n";
        out += "\n";
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = seconds > 0 ? static_cast<double>(files.size()) / seconds : 0.0;
    std::fprintf(stderr, "files=%zu files_per_second=%.1f\n", files.size(), rate);
    return errors ? 1 : 0;
}
