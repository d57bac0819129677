#include "foundation/ConfigDoc.h"

#include "foundation/Errors.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

// Stands for a missing value: XML text cannot hold this control character.
const std::string kMissing("\x01");

bool ReadPresent(const IConfigDoc& doc, const std::string& name, std::string& value) {
    value = doc.ReadString(name, kMissing);
    return value != kMissing;
}

// More lines than any list of the program needs; a damaged count must not eat the memory.
constexpr size_t MaxLines = 100000;

}  // namespace

void SaveStringsToConfig(IConfigDoc& doc, const std::vector<std::string>& lines) {
    doc.WriteInteger("LineCount", static_cast<int64_t>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) doc.WriteString("Line" + std::to_string(i), lines[i]);
}

// Reads at most "LineCount" lines and stops at the first missing one (or at MaxLines); a count the
// document does not bear out is logged once.
void LoadStringsFromConfig(const IConfigDoc& doc, std::vector<std::string>& lines) {
    lines.clear();
    int64_t count = 0;
    try {
        count = doc.ReadInteger("LineCount", 0);
    } catch (const EConvertError& e) {
        LogMessage(std::string("String list: line count ignored (") + e.what() + ")", "CONFIG", LogKind::Error);
    }
    if (count <= 0) return;
    // The count is only a claim: the list ends at the first line the document does not hold.
    const auto wanted = static_cast<uint64_t>(count);
    std::string line;
    while (lines.size() < wanted && lines.size() < MaxLines &&
           ReadPresent(doc, "Line" + std::to_string(lines.size()), line))
        lines.push_back(std::move(line));
    if (lines.size() < wanted)
        LogMessage("String list: " + std::to_string(count) + " lines stored, " + std::to_string(lines.size()) + " read",
                   "CONFIG", LogKind::Error);
}

}  // namespace kelvar
