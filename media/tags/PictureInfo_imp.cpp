#include "media/tags/PictureInfo_imp.h"

#include <atomic>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>

#include "foundation/Errors.h"
#include "foundation/TextUtil.h"
#include "media/tags/AtomicFile.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar {

namespace {

std::atomic<int> gPictureCounter{0};

// The part of an extension a file name may carry: letters, digits, "_" and "-", at most 10.
std::string CleanExtension(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
            out += c;
            if (out.size() == 10) break;
        }
    }
    return out;
}

}  // namespace

TPictureInfo::TPictureInfo(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EFileError("Cannot open file " + fileName);
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<uint32_t>::max())
        throw EFileError("Cannot read file " + fileName);
    in.seekg(0);
    FData.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(FData.data()), size))
        throw EFileError("Cannot read file " + fileName);
    std::filesystem::path path(fileName);
    FDescription = path.filename().string();
    std::string ext = path.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    FMimeType = UpperAscii(ext) == "JPG" ? "jpeg" : ext;
}

bool TPictureInfo::SaveToStream(std::ostream& stream) const {
    if (FData.empty()) return false;
    stream.write(reinterpret_cast<const char*>(FData.data()), static_cast<std::streamsize>(FData.size()));
    return static_cast<bool>(stream);
}

bool TPictureInfo::SaveToFile(const std::string& fileName) const {
    if (FData.empty()) return false;
    TAtomicFile file(fileName);
    file.Write(FData.data(), FData.size());
    file.Commit();
    return true;
}

std::string TPictureInfo::GetFileExt() const {
    std::string rest = FMimeType;
    if (StartsWithText(rest, "image/")) rest.erase(0, 6);
    if (rest.empty()) return ".na";
    std::string upper = UpperAscii(rest);
    if (upper == "JPEG" || upper == "JPG") return ".jpg";
    if (upper == "PNG") return ".png";
    if (upper == "GIF") return ".gif";
    // The MIME type comes from the file's tag: only harmless characters may reach a file name.
    std::string clean = CleanExtension(rest);
    return clean.empty() ? ".na" : "." + clean;
}

std::string SafeFileNamePart(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        bool keep = (u < 0x80 && std::isalnum(u)) || c == ' ' || c == '&' || c == '\'' || c == '(' || c == ')' ||
                    c == ',' || c == '-' || c == '.' || c == '[' || c == ']' || c == '_';
        if (keep) out += c;
    }
    return out;
}

int NextPictureCounter() { return ++gPictureCounter; }

std::string MakePictureFileName(int64_t id, const std::string& artist, const std::string& album,
                                const std::string& ext) {
    std::string folder = PictureDir();
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    std::string idPart;
    if (id > 0) {
        idPart = std::to_string(id);
    } else {
        int counter = NextPictureCounter();
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        idPart = "B" + std::to_string(local.tm_mon + 1) + std::to_string(local.tm_mday) + std::to_string(counter);
    }
    // The extension normally comes from GetFileExt; keep a caller's own one as harmless.
    std::string cleanExt = ext.empty() ? "" : "." + CleanExtension(ext.substr(ext[0] == '.' ? 1 : 0));
    return folder + "/az_" + idPart + "_" + SafeFileNamePart(album) + "_" + SafeFileNamePart(artist) + cleanExt;
}

}  // namespace kelvar
