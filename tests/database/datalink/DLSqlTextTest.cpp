// SQL text helpers, value comparison and filter expressions: no server involved.
#include <gtest/gtest.h>

#include <map>

#include "database/datalink/DLCommon.h"

namespace kelvar {
namespace {

TEST(DLSqlText, RecognisesSelectsAndAggregates) {
    EXPECT_TRUE(IsSelectStatement("  select * from x"));
    EXPECT_TRUE(IsSelectStatement("\r\nSELECT ID from x"));
    EXPECT_FALSE(IsSelectStatement("SELECT\nID from x"));  // the space belongs to the keyword
    EXPECT_FALSE(IsSelectStatement("update x set a = 1"));
    EXPECT_TRUE(IsAggregateExpr("count(*)"));
    EXPECT_TRUE(IsAggregateExpr(" Sum (weight)"));
    EXPECT_FALSE(IsAggregateExpr("MIN(ID)"));
    EXPECT_FALSE(IsAggregateExpr("COUNT"));
    EXPECT_TRUE(StartsWithText("old_ID", "OLD_"));
    EXPECT_FALSE(StartsWithText("OLD_", "old_"));
    EXPECT_FALSE(StartsWithText("ID", "OLD_"));
}

TEST(DLSqlText, FindsTheSingleTableOfASelect) {
    const std::map<std::string, std::string> cases = {
        {"select * from songlist where ID = 1 order by title", "songlist"},
        {"select s.title from songlist s where s.ID = :ID", "songlist"},
        {"select * from songlist, queuelist where 1=1", ""},
        {"select * from songlist INNER JOIN queuelist on a = b", ""},
        {"select artist, count(*) from songlist", ""},
        {"select artist from songlist group by artist", ""},
        {"select ID from a union select ID from b", ""},
        {"update songlist set a = 1", ""},
        {"select MIN(ID) from songlist", "songlist"},
        {"select * from \"SongList\"", "SongList"},
    };
    for (const auto& [sql, table] : cases) EXPECT_EQ(GetTableNameFromSQL(sql), table) << sql;
}

TEST(DLSqlText, CreatesOneParameterPerMarkerOutsideQuotes) {
    TParams params;
    DLCreateParams(&params, "where a = ':x' and b = :y and c = ::z");
    ASSERT_EQ(params.Count(), 1);
    EXPECT_EQ(params[0].Name, "y");
    EXPECT_EQ(params[0].ParamType, ptInput);

    TParams twice;
    DLCreateParams(&twice, "ID = :ID or PARENT = :id or NAME = :\"full name\"\n");
    ASSERT_EQ(twice.Count(), 3);
    EXPECT_EQ(twice[0].ParamType, ptInput);
    EXPECT_EQ(twice[1].ParamType, ptUnknown);  // only the first of a name is marked
    EXPECT_EQ(twice[2].Name, "full name");
    DLCreateParams(nullptr, "a = :b");  // no list: nothing to do, no failure
}

TEST(DLSqlText, ReplacesMacrosOnlyAsWholeNamesOutsideQuotes) {
    std::string sql = "select IDX, 'ID' from t where ID = 1 and x = ID";
    EXPECT_TRUE(DLReplaceMacro(false, "ID", "42", sql));
    EXPECT_EQ(sql, "select IDX, 'ID' from t where 42 = 1 and x = 42");
    std::string first = "a ID, b ID";
    EXPECT_TRUE(DLReplaceMacro(true, "id", "X", first));
    EXPECT_EQ(first, "a X, b ID");
    std::string none = "IDX";
    EXPECT_FALSE(DLReplaceMacro(false, "ID", "X", none));
}

TEST(DLSqlText, SmallNameHelpers) {
    EXPECT_EQ(StripQualifier("s.title"), "title");
    EXPECT_EQ(QuoteIdentifier("a.b", true), "\"a\".\"b\"");
    EXPECT_EQ(QuoteIdentifier("a.b", false), "a.b");
    EXPECT_EQ(PosText("From", "select * FROM x"), 10);
    EXPECT_EQ(PosText("from", "from a from b", 2), 8);
    EXPECT_EQ(PosText("x", "abc"), 0);
    EXPECT_EQ(StripQuotes("'abc\""), "abc");
    std::string owner, name;
    SplitObjectName("SYSDBA.SONGLIST", owner, name);
    EXPECT_EQ(owner, "SYSDBA");
    EXPECT_EQ(name, "SONGLIST");
    SplitObjectName("SONGLIST", owner, name);
    EXPECT_EQ(owner, "%");
    EXPECT_EQ(name, "SONGLIST");
    char text[] = "ab  ";
    RTrimText(text);
    EXPECT_STREQ(text, "ab");
}

TEST(DLSqlText, GeneratesWriteBackStatements) {
    TDLUpdateField id{"ID", true, false, false, true, TDLVariant(7), TDLVariant(7)};
    TDLUpdateField title{"TITLE", true, false, false, false, TDLVariant("new"), TDLVariant("old")};
    TDLUpdateField artist{"ARTIST", true, false, false, false, TDLVariant(), TDLVariant("x")};
    TDLUpdateField calc{"CALC", false, false, false, false, TDLVariant(1), TDLVariant(2)};
    TDLStrings origins{"ID=SONGLIST.ID", "TITLE=SONGLIST.TITLE", "ARTIST=SONGLIST.ARTIST"};

    EXPECT_EQ(GenerateUpdateSQL(ukModify, upWhereKeyOnly, "SONGLIST", false, {id, title}, origins),
              "update SONGLIST set   TITLE = :TITLE where   ID = :OLD_ID");
    EXPECT_EQ(GenerateUpdateSQL(ukModify, upWhereKeyOnly, "SONGLIST", false, {id, title, artist, calc}, origins),
              "update SONGLIST set   TITLE = :TITLE,   ARTIST = NULL where   ID = :OLD_ID");
    EXPECT_EQ(GenerateUpdateSQL(ukModify, upWhereChanged, "SONGLIST", false, {id, title}, origins),
              "update SONGLIST set   TITLE = :TITLE where   ID = :OLD_ID and  TITLE = :OLD_TITLE");
    EXPECT_EQ(GenerateUpdateSQL(ukDelete, upWhereAll, "SONGLIST", true, {id, artist}, origins),
              "delete from \"SONGLIST\" where   \"ID\" = :OLD_ID and  \"ARTIST\" = :OLD_ARTIST");
    TDLUpdateField newId{"ID", true, false, false, true, TDLVariant(8), TDLVariant()};
    TDLUpdateField newTitle{"TITLE", true, false, false, false, TDLVariant("t"), TDLVariant()};
    EXPECT_EQ(GenerateUpdateSQL(ukInsert, upWhereKeyOnly, "SONGLIST", false, {newId, newTitle}, origins),
              "insert into SONGLIST (ID, TITLE) values(:ID, :TITLE)");
    EXPECT_EQ(GenerateUpdateSQL(ukRefresh, upWhereKeyOnly, "SONGLIST", false, {id, title}, origins),
              "select ID, TITLE from SONGLIST where   ID = :OLD_ID");
    // Nothing identifies the row: no refresh statement.
    TDLUpdateField noKey = title;
    EXPECT_EQ(GenerateUpdateSQL(ukRefresh, upWhereKeyOnly, "SONGLIST", false, {noKey}, origins), "");
    // Nothing changed: no update statement.
    TDLUpdateField same{"TITLE", true, false, false, false, TDLVariant("a"), TDLVariant("a")};
    EXPECT_EQ(GenerateUpdateSQL(ukModify, upWhereKeyOnly, "SONGLIST", false, {id, same}, origins), "");
}

TEST(DLSqlText, FindsFieldOrigins) {
    TDLStrings origins, tables;
    GetFieldOrigins("select s.title, a.name as artist from songlist s, artists a", {"TITLE", "ARTIST"}, origins,
                    tables);
    EXPECT_EQ(origins.Values("title"), "songlist.title");
    EXPECT_EQ(origins.Values("artist"), "artists.name");
    EXPECT_EQ(tables.Values("S"), "songlist");

    GetFieldOrigins("select * from songlist where ID = 1", {"ID", "TITLE"}, origins, tables);
    EXPECT_EQ(origins.Values("ID"), "songlist.ID");
    EXPECT_EQ(origins.Values("TITLE"), "songlist.TITLE");

    GetFieldOrigins("select q.ID, s.ID from queuelist q left outer join songlist s on q.songID = s.ID", {"ID", "ID_1"},
                    origins, tables);
    EXPECT_EQ(origins.Values("ID"), "queuelist.ID");
    EXPECT_EQ(origins.Values("ID_1"), "songlist.ID");

    EXPECT_THROW(GetFieldOrigins("select * from x", {}, origins, tables), EDatabaseError);
}

TEST(DLValues, ComparesAndMatchesValues) {
    EXPECT_EQ(VarCompareValues(TDLVariant(), TDLVariant(), false), 0);
    EXPECT_EQ(VarCompareValues(TDLVariant(), TDLVariant(1), false), -1);
    EXPECT_EQ(VarCompareValues(TDLVariant(1), TDLVariant(), false), 1);
    EXPECT_EQ(VarCompareValues(TDLVariant(2), TDLVariant(10), false), -1);
    EXPECT_EQ(VarCompareValues(TDLVariant("b"), TDLVariant("A"), true), 1);
    EXPECT_EQ(VarCompareValues(TDLVariant("abc"), TDLVariant("ABC"), true), 0);
    TDLVariant::TArray a{TDLVariant(1), TDLVariant("x")}, b{TDLVariant(1), TDLVariant("y")};
    EXPECT_EQ(VarCompareValues(TDLVariant(a), TDLVariant(b), false), -1);
    EXPECT_THROW(VarCompareValues(TDLVariant("abc"), TDLVariant(1), false), EVariantError);

    // Locate's rules: the row value first, the key second.
    EXPECT_TRUE(VarEqualValues(TDLVariant("abba"), TDLVariant("ABBA"), true, true, false));
    EXPECT_FALSE(VarEqualValues(TDLVariant("abba"), TDLVariant("ABBA"), false, true, false));
    EXPECT_TRUE(VarEqualValues(TDLVariant("abba"), TDLVariant("AB"), true, true, true));
    EXPECT_FALSE(VarEqualValues(TDLVariant("abba"), TDLVariant("AB"), true, true, false));
    EXPECT_FALSE(VarEqualValues(TDLVariant("ab"), TDLVariant("abba"), true, true, true));
    EXPECT_TRUE(VarEqualValues(TDLVariant(12), TDLVariant("1"), false, true, true));
    EXPECT_TRUE(VarEqualValues(TDLVariant(), TDLVariant(), false, false, false));
    EXPECT_FALSE(VarEqualValues(TDLVariant(), TDLVariant(""), false, false, false));
    EXPECT_TRUE(VarEqualValues(TDLVariant(a), TDLVariant(a), false, false, false));
    EXPECT_FALSE(VarEqualValues(TDLVariant(a), TDLVariant(b), false, false, false));
}

TEST(DLValues, DatesCountDaysAndMilliseconds) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
    TDateTime t = EncodeDateTime(2004, 2, 29, 13, 45, 30, 750);
    TDLTimeStamp ts = DateTimeToTimeStamp(t);
    EXPECT_EQ(ts.Time, ((13 * 60 + 45) * 60 + 30) * 1000 + 750);
    int y, m, d, h, n, s, ms;
    DecodeDate(t, y, m, d);
    DecodeTime(t, h, n, s, ms);
    EXPECT_EQ(std::vector<int>({y, m, d, h, n, s, ms}), std::vector<int>({2004, 2, 29, 13, 45, 30, 750}));
    EXPECT_EQ(TimeStampToDateTime(MSecsToTimeStamp(TimeStampToMSecs(ts))), t);
    EXPECT_THROW(EncodeDate(2003, 2, 29), EConvertError);
    TParam p("D", ftDate, ptInput);
    int32_t day = ts.Date;
    p.SetData(&day, 4);
    EXPECT_EQ(p.Value.AsDateTime(), EncodeDate(2004, 2, 29));
}

// A dataset of one row for the filter tests.
class TRow : public IDLExprDataSource {
public:
    std::vector<std::pair<std::string, TDLVariant>> Fields;
    int Lookups = 0;
    int FindFieldIndex(const std::string& name) override {
        ++Lookups;
        for (size_t i = 0; i < Fields.size(); ++i)
            if (SameText(Fields[i].first, name)) return static_cast<int>(i);
        return -1;
    }
    TDLVariant GetFieldValue(int index) override { return Fields.at(static_cast<size_t>(index)).second; }
};

bool Accepts(TRow& row, const std::string& filter, TDLFilterOptions options = {}) {
    TDLExprParser parser(row, filter, options);
    return parser.EvaluateBoolean();
}

TEST(DLFilter, EvaluatesExpressionsOnTheRow) {
    TRow row;
    row.Fields = {
        {"NAME", TDLVariant("abc")}, {"ID", TDLVariant(5)},
        {"WEIGHT", TDLVariant(2.5)}, {"ADDED", TDLVariant::FromDateTime(EncodeDateTime(2004, 2, 29, 13, 45, 30, 0))},
        {"EMPTY", TDLVariant()},     {"Full Name", TDLVariant("Ab Cd")}};
    const std::vector<std::pair<std::string, bool>> cases = {
        {"ID = 5", true},
        {"ID <> 5", false},
        {"ID >= 5 and WEIGHT < 3", true},
        {"ID > 5 or NAME = 'abc'", true},
        {"not (ID = 5)", false},
        {"ID * 2 - 1 = 9", true},
        {"WEIGHT * 2 = 5", true},
        {"ID mod 2 = 1", true},
        {"-ID = -5", true},
        {"ID in (1, 5, 7)", true},
        {"ID in (1, 7)", false},
        {"NAME in ('x', '', 'abc')", false},  // the walk ends at the first empty element
        {"EMPTY is null", true},
        {"NAME is not null", true},
        {"EMPTY = NULL", true},
        {"UPPER(NAME) = 'ABC'", true},
        {"LOWER('XY') = 'xy'", true},
        {"[Full Name] = 'Ab Cd'", true},
        {"SUBSTRING(NAME, 2, 5) = 'bc'", true},
        {"SUBSTRING(NAME, 2) = ''", true},
        {"TRIM('  a ') = 'a'", true},
        {"TRIMLEFT('  a ') = 'a '", true},
        {"YEAR(ADDED) = 2004 and MONTH(ADDED) = 2 and DAY(ADDED) = 29", true},
        {"HOUR(ADDED) = 13 and MINUTE(ADDED) = 45 and SECOND(ADDED) = 30", true},
        {"YEAR(EMPTY) = 0", true},
        {"NAME = 'ab*'", true},  // partial comparison
        {"NAME = 'ABC'", false},
    };
    for (const auto& [filter, expected] : cases) EXPECT_EQ(Accepts(row, filter), expected) << filter;
    EXPECT_TRUE(Accepts(row, "NAME = 'ABC'", {true, false}));
    EXPECT_FALSE(Accepts(row, "NAME = 'ab*'", {false, true}));
}

TEST(DLFilter, LikeMatchesTheTextBeforeTheStar) {
    TRow row;
    row.Fields = {{"NAME", TDLVariant("")}};
    for (const auto& [value, partial, strict] : std::vector<std::tuple<std::string, bool, bool>>{
             {"abc", true, false}, {"ab", true, false}, {"xab", false, false}, {"ab*", true, true}}) {
        row.Fields[0].second = TDLVariant(value);
        EXPECT_EQ(Accepts(row, "NAME LIKE 'ab*'"), partial) << value;
        EXPECT_EQ(Accepts(row, "NAME LIKE 'ab*'", {false, true}), strict) << value;
    }
    row.Fields[0].second = TDLVariant("ABC");
    EXPECT_TRUE(Accepts(row, "NAME LIKE 'ab*'", {true, false}));
}

TEST(DLFilter, ReportsBadExpressionsAndLooksFieldsUpOnce) {
    TRow row;
    row.Fields = {{"ID", TDLVariant(1)}};
    TDLExprParser parser(row, "ID = 1 and ID < 2 and ID > 0", {});
    EXPECT_TRUE(parser.EvaluateBoolean());
    EXPECT_TRUE(parser.EvaluateBoolean());
    EXPECT_EQ(row.Lookups, 1);
    try {
        Accepts(row, "NOSUCHFUNC(ID) = 1");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Expression expected but NOSUCHFUNC found");
    }
    EXPECT_THROW(Accepts(row, "ID = "), EDatabaseError);
    EXPECT_THROW(Accepts(row, "ID = (1"), EDatabaseError);
    EXPECT_THROW(Accepts(row, "MISSING = 1"), EDatabaseError);

    // Nesting without end is refused instead of running out of stack; long flat lists are fine.
    const size_t n = 100000;
    std::string list = "ID in (0";
    for (size_t i = 0; i < n; ++i) list += ", 2";
    EXPECT_FALSE(Accepts(row, list + ")"));
    std::string chain = "ID = 2", nots;
    for (size_t i = 0; i < n; ++i) {
        chain += " or ID = 2";
        nots += "not ";
    }
    for (const std::string& deep : {std::string(n, '(') + "ID = 1" + std::string(n, ')'), chain, nots + "ID = 1",
                                    "ID = " + std::string(n, '-') + "1"}) {
        try {
            Accepts(row, deep);
            FAIL();
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("nested too deeply"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace kelvar
