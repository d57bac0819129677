#include "core/rotation/RotationScript.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

// A quoted text loses its quotes and each doubled quote inside becomes one; what follows the
// closing quote is dropped. Any other text stays as it is.
std::string Unquote(const std::string& text) {
    if (text.empty() || text[0] != '\'') return text;
    std::string out;
    size_t i = 1;
    while (i < text.size()) {
        if (text[i] == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            break;
        }
        out += text[i++];
    }
    return out;
}

std::string TrimUnquote(const std::string& text) { return Unquote(TrimText(text)); }

// Position of c counted from 1, 0 when absent.
size_t Pos(char c, const std::string& s) {
    const size_t p = s.find(c);
    return p == std::string::npos ? 0 : p + 1;
}

// The text before position p (counted from 1; nothing for 0) is the answer; the first count
// characters leave s.
std::string Take(std::string& s, size_t p, size_t count) {
    std::string head = p > 1 ? s.substr(0, p - 1) : std::string();
    s.erase(0, std::min(count, s.size()));
    return head;
}

}  // namespace

std::vector<std::string> ParseRotationLine(const std::string& line) {
    std::vector<std::string> tokens;
    std::string s = TrimText(line);
    const bool bracketForm = s.find('[') != std::string::npos;
    if (bracketForm) {
        size_t p = Pos('[', s);
        tokens.push_back(Take(s, p, p));
        p = Pos(']', s);
        tokens.push_back(TrimUnquote(Take(s, p, p + 1)));  // the "." after the "]" goes too
        p = Pos('(', s);
        if (p == 0) p = Pos(';', s);
        tokens.push_back(Take(s, p, p));
    } else {
        size_t p = Pos('.', s);
        tokens.push_back(Take(s, p, p));
        p = Pos('(', s);
        tokens.push_back(Take(s, p, p));
    }

    // Arguments. The last character is never looked at, so a closing ")" at the very end of a
    // line does not end the last argument (written lines end in ";").
    bool inQuote = false;
    size_t i = 0;
    while (!s.empty() && i + 1 < s.size()) {
        const char c = s[i];
        if (c == '\'') {
            if (!inQuote) {
                inQuote = true;
            } else if (s[i + 1] != '\'') {
                inQuote = false;
            } else {
                ++i;
            }
            ++i;
        } else if (c == ',' && !inQuote) {
            tokens.push_back(TrimUnquote(s.substr(0, i)));
            s.erase(0, i + 1);
            i = 0;
        } else if (c == ')' && !inQuote) {
            tokens.push_back(TrimUnquote(s.substr(0, i)));
            s.clear();
        } else {
            ++i;
        }
    }

    if (!bracketForm && tokens.size() > 2) std::swap(tokens[1], tokens[2]);
    for (char& c : tokens[0]) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tokens;
}

int RotationMethodFromText(const std::string& text) {
    static const char* const names[] = {"smWeighted", "smPriority", "smRandom", "smMRP",
                                        "smLRP",      "smMRPA",     "smLRPA",   "smShuffleLogic"};
    int64_t number = 0;
    if (TryParseInt64(text, number)) return number >= 0 && number <= INT32_MAX ? static_cast<int>(number) : 0;
    for (int m = 0; m < 8; ++m) {
        if (SameText(text, names[m])) return m;
    }
    return 0;
}

bool RotationFlagFromText(const std::string& text, const std::vector<std::string>& names) {
    if (SameText(text, "TRUE") || SameText(text, "YES") || text == "1") return true;
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(text, n); });
}

}  // namespace kelvar
