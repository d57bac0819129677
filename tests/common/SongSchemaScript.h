#pragma once
// The setup's schema scripts read the way its script runner reads them, for the test databases
// and the benchmarks.
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvar::songtest {

// The statements of a script: lines trimmed, a statement ends with a ";" at the end of a line
// (the ";" itself left out).
inline std::vector<std::string> SplitScript(const std::string& text) {
    auto trim = [](const std::string& s) {
        size_t b = 0, e = s.size();
        while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
        while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
        return s.substr(b, e - b);
    };
    std::vector<std::string> statements;
    std::string current;
    bool hasText = false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (!line.empty() && line.back() == ';') {
            current += line.substr(0, line.size() - 1);
            statements.push_back(current);
            current.clear();
            hasText = false;
        } else {
            current += line + "\n";
            if (!line.empty()) hasText = true;
        }
    }
    if (hasText) statements.push_back(current);
    return statements;
}

inline std::string ReadTextFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The statements of tables.sql, then those of data.sql, from Folder (ending in "/").
inline std::vector<std::string> SchemaStatements(const std::string& folder) {
    std::vector<std::string> all;
    for (const char* script : {"tables.sql", "data.sql"})
        for (std::string& s : SplitScript(ReadTextFile(folder + script))) all.push_back(std::move(s));
    return all;
}

}  // namespace kelvar::songtest
