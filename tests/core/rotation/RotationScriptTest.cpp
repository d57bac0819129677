#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/rotation/RotationScript.h"

namespace kelvar {
namespace {

using TTokens = std::vector<std::string>;

TEST(RotationScriptTest, LinesBecomeTokens) {
    struct TCase {
        std::string Line;
        TTokens Tokens;
    } cases[] = {
        {"Cat['Hits'].QueueBottom(smLRP, EnforceRules);", {"CAT", "Hits", "QueueBottom", "smLRP", "EnforceRules"}},
        {"  cat[ 'Hits' ].QueueTop(4,NoRules);  ", {"CAT", "Hits", "QueueTop", "4", "NoRules"}},
        // The closing ")" at the very end is never looked at: the rules argument is lost.
        {"Cat['Hits'].QueueBottom(smLRP, EnforceRules)", {"CAT", "Hits", "QueueBottom", "smLRP"}},
        {"Cat.QueueBottom('Hits', smLRP, EnforceRules);", {"CAT", "Hits", "QueueBottom", "smLRP", "EnforceRules"}},
        {"Cat['Rock ''n'' Roll'].QueueBottom(smLRP, EnforceRules);",
         {"CAT", "Rock 'n' Roll", "QueueBottom", "smLRP", "EnforceRules"}},
        {"Cat['A, (B)'].QueueBottom('x,y', 'it''s)');", {"CAT", "A, (B)", "QueueBottom", "x,y", "it's)"}},
        {"Dir['/srv/music/'].Rescan;", {"DIR", "/srv/music/", "Rescan"}},
        {"SubDir['/srv/music/'].QueueBottom(smRandom, NoRules, Rescan);",
         {"SUBDIR", "/srv/music/", "QueueBottom", "smRandom", "NoRules", "Rescan"}},
        {"Request;", {"", ""}},
        {"Req.Play;", {"REQ", ""}},
        {"", {"", ""}},
        {"// a comment", {"", ""}},
        // Damaged lines still end; they just give tokens no command uses.
        {"Cat['unterminated", {"CAT", "", ""}},
        {"Cat[']'.x('a", {"CAT", "", ".x"}},
        {"((((,,,,''''", {"", "(((", "", "", "", ""}},
    };
    for (const TCase& c : cases) EXPECT_EQ(ParseRotationLine(c.Line), c.Tokens) << c.Line;
}

TEST(RotationScriptTest, MethodAndFlagTexts) {
    struct TMethod {
        std::string Text;
        int Method;
    } methods[] = {{"7", 7},  {"smShuffleLogic", 7}, {"SMLRP", 4}, {"smweighted", 0},    {"smPriority", 1}, {"42", 42},
                   {"-1", 0}, {"junk", 0},           {"", 0},      {"99999999999999", 0}};
    for (const TMethod& m : methods) EXPECT_EQ(RotationMethodFromText(m.Text), m.Method) << m.Text;

    const std::vector<std::string> rules{"prEnforceRules", "EnforceRules"};
    for (const char* yes : {"TRUE", "yes", "1", "enforcerules", "PRENFORCERULES"})
        EXPECT_TRUE(RotationFlagFromText(yes, rules)) << yes;
    for (const char* no : {"NoRules", "false", "0", "", "Rescan"}) EXPECT_FALSE(RotationFlagFromText(no, rules)) << no;
}

}  // namespace
}  // namespace kelvar
