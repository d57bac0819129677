// taglib-tags: the yardstick for kelvar-tags. Reads the same fields of the same files through
// TagLib and prints them in the same form; the count and the rate go to standard error.
//
//   taglib-tags FILE-OR-FOLDER...
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include "foundation/ProcessLocale.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> CollectFiles(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            std::vector<std::string> found;
            fs::recursive_directory_iterator it(argv[i], fs::directory_options::skip_permission_denied, ec), end;
            for (; !ec && it != end; it.increment(ec)) {
                std::error_code fileEc;
                if (it->is_regular_file(fileEc)) found.push_back(it->path().string());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else {
            files.emplace_back(argv[i]);
        }
    }
    return files;
}

void Add(std::vector<std::pair<std::string, std::string>>& values, const char* name, const std::string& value) {
    if (!value.empty()) values.emplace_back(name, value);
}

}  // namespace

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    if (argc < 2) {
        std::fprintf(stderr, "usage: taglib-tags FILE-OR-FOLDER...\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> files = CollectFiles(argc, argv);
    std::string out;
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& file : files) {
        values.clear();
        values.emplace_back("filename", file);
        TagLib::FileRef ref(file.c_str(), true, TagLib::AudioProperties::Average);
        if (!ref.isNull() && ref.tag()) {
            const TagLib::Tag* tag = ref.tag();
            Add(values, "artist", tag->artist().to8Bit(true));
            Add(values, "title", tag->title().to8Bit(true));
            Add(values, "album", tag->album().to8Bit(true));
            Add(values, "genre", tag->genre().to8Bit(true));
            Add(values, "info", tag->comment().to8Bit(true));
            if (tag->year()) values.emplace_back("albumyear", std::to_string(tag->year()));
            if (tag->track()) values.emplace_back("trackno", std::to_string(tag->track()));
            // The custom fields Kelvar reads too, so both sides look at the same data.
            const TagLib::PropertyMap props = ref.file()->properties();
            for (const char* key : {"BPM", "MOOD", "ISRC", "LABEL", "COMPOSER", "LYRICS", "XFADE", "RATING"}) {
                const auto it = props.find(key);
                if (it != props.end() && !it->second.isEmpty()) Add(values, key, it->second.front().to8Bit(true));
            }
        }
        if (!ref.isNull() && ref.audioProperties())
            values.emplace_back("duration", std::to_string(ref.audioProperties()->lengthInMilliseconds()));
        std::sort(values.begin(), values.end());
        out += "file=" + file + "\n";
        for (const auto& [name, value] : values) out += name + "=" + value + "\n";
        out += "\n";
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "files=%zu files_per_second=%.1f\n", files.size(),
                 seconds > 0 ? static_cast<double>(files.size()) / seconds : 0.0);
    return 0;
}
