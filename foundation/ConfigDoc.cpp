#include "foundation/ConfigDoc.h"

namespace kelvar {

void SaveStringsToConfig(IConfigDoc& doc, const std::vector<std::string>& lines) {
    doc.WriteInteger("LineCount", static_cast<int64_t>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) doc.WriteString("Line" + std::to_string(i), lines[i]);
}

void LoadStringsFromConfig(const IConfigDoc& doc, std::vector<std::string>& lines) {
    lines.clear();
    const int64_t count = doc.ReadInteger("LineCount", 0);
    for (int64_t i = 0; i < count; ++i) lines.push_back(doc.ReadString("Line" + std::to_string(i), ""));
}

}  // namespace kelvar
