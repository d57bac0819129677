// The SBR code tables and QMF window in the encoder's sources against the data files they came from.
#include "encoder/SbrHuffmanTables.h"
#include "encoder/SbrQmfWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace brannoc;

namespace {

const std::filesystem::path kDataDir = KELVAR_SBR_DATA_DIR;

struct CodeRow {
    int value, length;
    std::string codeword;
};

std::map<std::string, std::vector<CodeRow>> ReadHuffman() {
    std::map<std::string, std::vector<CodeRow>> tables;
    std::ifstream in(kDataDir / "huffman.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        std::string name;
        int index = 0;
        CodeRow row;
        fields >> name >> index >> row.value >> row.length >> row.codeword;
        EXPECT_EQ(index, static_cast<int>(tables[name].size())) << name;
        tables[name].push_back(row);
    }
    return tables;
}

std::string Bits(uint32_t code, int length) {
    std::string s;
    for (int i = length - 1; i >= 0; --i) s += ((code >> i) & 1) ? '1' : '0';
    return s;
}

}  // namespace

TEST(SbrTables, HuffmanTablesEqualTheDataFile) {
    if (!std::filesystem::exists(kDataDir / "huffman.tsv"))
        GTEST_SKIP() << "no SBR data files at " << kDataDir << " (set KELVAR_SBR_DATA_DIR)";
    const auto file = ReadHuffman();
    ASSERT_EQ(file.size(), static_cast<size_t>(kSbrHuffmanTableCount));
    for (int t = 0; t < kSbrHuffmanTableCount; ++t) {
        const auto id = static_cast<SbrHuffmanTableId>(t);
        const std::string name = SbrStandardTableName(id);
        const SbrHuffmanTable& table = SbrStandardTable(id);
        ASSERT_TRUE(file.count(name)) << name;
        const std::vector<CodeRow>& rows = file.at(name);
        ASSERT_EQ(static_cast<int>(rows.size()), 2 * table.lav + 1) << name;
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].value, static_cast<int>(i) - table.lav) << name << " row " << i;
            EXPECT_EQ(table.lengths[i], rows[i].length) << name << " value " << rows[i].value;
            EXPECT_EQ(Bits(table.codes[i], table.lengths[i]), rows[i].codeword) << name << " value " << rows[i].value;
        }
    }
}

TEST(SbrTables, QmfWindowEqualsTheDataFile) {
    if (!std::filesystem::exists(kDataDir / "qmf_window.tsv"))
        GTEST_SKIP() << "no SBR data files at " << kDataDir << " (set KELVAR_SBR_DATA_DIR)";
    std::ifstream in(kDataDir / "qmf_window.tsv");
    std::string line;
    std::getline(in, line);
    int count = 0;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        int index = -1;
        std::string text;
        fields >> index >> text;
        ASSERT_EQ(index, count);
        ASSERT_LT(index, 640);
        EXPECT_EQ(kSbrQmfWindow[index], std::stof(text)) << "c[" << index << "]";
        ++count;
    }
    EXPECT_EQ(count, 640);
}
