#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>

#include "common/TempFolder.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Errors.h"
#include "foundation/Logger.h"
#include "foundation/Version.h"

namespace kelvar {
namespace {

using test::ReadWholeFile;
using test::TTempFolder;
using test::WriteWholeFile;

std::shared_ptr<TConfigDoc_XML> MemoryDoc() { return TConfigDoc_XML::Create(""); }

// Installed as the core logger for its lifetime; keeps the messages.
class TMemoryLogger : public ILogger {
public:
    TMemoryLogger() : FPrevious(GetCoreLogger()) {
        SetCoreLogger(std::shared_ptr<ILogger>(this, [](ILogger*) {}));
    }
    ~TMemoryLogger() override { SetCoreLogger(FPrevious); }
    void Log(const std::string& message, const std::string&, TLogKind) override { FLines.push_back(message); }
    int Count(const std::string& text) const {
        return static_cast<int>(std::count_if(FLines.begin(), FLines.end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

private:
    ILoggerPtr FPrevious;
    std::vector<std::string> FLines;
};

// The message of the exception of type E that call raises ("" when none).
template <class E, class F>
std::string MessageOf(F&& call) {
    try {
        call();
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

TEST(ConfigDocXml, WritesTheDocumentedTextForms) {
    auto doc = MemoryDoc();
    auto s = doc->Section("Sec");
    s->WriteBool("T", true);
    s->WriteBool("F", false);
    s->WriteInteger("I", -9223372036854775807LL - 1);
    s->WriteFloat("D", 1.5);
    const unsigned char bytes[] = {0x0A, 0xFF};
    s->WriteBinary("B", bytes, 2);
    s->WriteBinary("Empty", bytes, 0);
    s->WriteString("S", "a<b & c>");

    const std::string xml = doc->GetXML();
    EXPECT_NE(xml.find("<CONFIG>"), std::string::npos) << xml;
    for (const char* form : {"<T>-1</T>", "<F>0</F>", "<I>-9223372036854775808</I>", "<D>1.5</D>", "<B>0AFF</B>",
                             "<Empty />", "<S>a&lt;b &amp; c&gt;</S>"})
        EXPECT_NE(xml.find(form), std::string::npos) << form << "\n" << xml;
}

TEST(ConfigDocXml, FloatsUseAPointAndReadBackExactly) {
    auto doc = MemoryDoc();
    const double values[] = {0.1,
                             -123.456,
                             1.0 / 3.0,
                             1e-300,
                             6.02214076e23,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             0.0};
    for (double v : values) {
        doc->WriteFloat("V", v);
        EXPECT_EQ(doc->ReadString("V", "").find(','), std::string::npos);
        EXPECT_EQ(doc->ReadFloat("V", 99), v);
    }
}

TEST(ConfigDocXml, ReadRulesForMissingAndEmptyValues) {
    auto doc = MemoryDoc();
    doc->SetXML("<CONFIG><E/><Sp> </Sp></CONFIG>");
    EXPECT_EQ(doc->ReadString("Missing", "def"), "def");
    EXPECT_EQ(doc->ReadInteger("Missing", 7), 7);
    EXPECT_EQ(doc->ReadString("E", "def"), "");
    EXPECT_EQ(doc->ReadWideString("E", L"def"), L"");
    EXPECT_EQ(doc->ReadInteger("E", 7), 7);
    EXPECT_EQ(doc->ReadFloat("E", 2.5), 2.5);
    EXPECT_TRUE(doc->ReadBool("E", true));
    unsigned char buf[2] = {1, 2};
    EXPECT_EQ(doc->ReadBinary("E", buf, 2), 0u);
    EXPECT_EQ(doc->ReadString("Sp", "def"), " ");
    // Reading never creates an element.
    EXPECT_EQ(doc->GetXML().find("Missing"), std::string::npos);
}

// Of several elements of one name the first is read and written; writing moves nothing.
TEST(ConfigDocXml, FirstElementOfANameIsTheValue) {
    auto doc = MemoryDoc();
    doc->SetXML("<CONFIG><A>1</A><B>b</B><A>2</A></CONFIG>");
    EXPECT_EQ(doc->ReadInteger("A", 0), 1);
    doc->WriteInteger("A", 3);
    doc->WriteString("C", "c");
    EXPECT_EQ(doc->ReadInteger("a", 7), 7);  // names are case-sensitive
    std::string xml = doc->GetXML();
    xml.erase(
        std::remove_if(xml.begin(), xml.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
        xml.end());
    EXPECT_NE(xml.find("<CONFIG><A>3</A><B>b</B><A>2</A><C>c</C></CONFIG>"), std::string::npos) << xml;
}

TEST(ConfigDocXml, ConvertsTextsOnRead) {
    struct {
        const char* Text;
        bool Bool;
    } bools[] = {{"-1", true}, {"0", false},  {"True", true}, {"FALSE", false},
                 {"5", true},  {" 1 ", true}, {"0.0", false}, {"0,5", true}};
    auto doc = MemoryDoc();
    for (const auto& c : bools) {
        doc->WriteString("B", c.Text);
        EXPECT_EQ(doc->ReadBool("B", !c.Bool), c.Bool) << c.Text;
    }
    struct {
        const char* Text;
        double Value;
    } floats[] = {{"1.5", 1.5}, {"1,5", 1.5}, {"-2", -2.0}, {" 3.25 ", 3.25}, {"1e3", 1000.0}};
    for (const auto& c : floats) {
        doc->WriteString("D", c.Text);
        EXPECT_EQ(doc->ReadFloat("D", 0), c.Value) << c.Text;
    }
    doc->WriteString("I", " 42 ");
    EXPECT_EQ(doc->ReadInteger("I", 0), 42);
    doc->WriteString("I", "+7");
    EXPECT_EQ(doc->ReadInteger("I", 0), 7);
}

TEST(ConfigDocXml, UnconvertibleTextsRaiseInsteadOfDefaulting) {
    auto doc = MemoryDoc();
    for (const char* text : {"abc", "1.5", "12abc", "99999999999999999999", "+-1", " - "}) {
        doc->WriteString("V", text);
        EXPECT_THROW(doc->ReadInteger("V", 0), EConvertError) << text;
    }
    for (const char* text : {"abc", "1.5.2", "1e999"}) {
        doc->WriteString("V", text);
        EXPECT_THROW(doc->ReadFloat("V", 0), EConvertError) << text;
    }
    for (const char* text : {"yes", "tru"}) {
        doc->WriteString("V", text);
        EXPECT_THROW(doc->ReadBool("V", false), EConvertError) << text;
    }
    doc->WriteString("V", "abc");
    EXPECT_EQ(MessageOf<EConvertError>([&] { doc->ReadInteger("V", 0); }), "'abc' is not a valid integer value");
}

TEST(ConfigDocXml, BinaryValues) {
    auto doc = MemoryDoc();
    unsigned char buf[4] = {};
    doc->WriteString("V", "0aff");
    EXPECT_EQ(doc->ReadBinary("V", buf, 4), 2u);
    EXPECT_EQ(buf[0], 0x0A);
    EXPECT_EQ(buf[1], 0xFF);

    doc->WriteString("V", "0AFF");
    EXPECT_EQ(doc->ReadBinary("V", buf, 1), 1u);

    std::memset(buf, 0, sizeof buf);
    doc->WriteString("V", "0AF");
    EXPECT_EQ(MessageOf<EConfigError>([&] { doc->ReadBinary("V", buf, 4); }),
              "ConfigDoc: Binary string invalid length");
    EXPECT_EQ(buf[0], 0x0A);  // the byte before the fault stays

    doc->WriteString("V", "0AG1");
    EXPECT_EQ(MessageOf<EConfigError>([&] { doc->ReadBinary("V", buf, 4); }),
              "ConfigDoc: Invalid character in binary string");

    unsigned char all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
    doc->WriteBinary("All", all, sizeof all);
    unsigned char back[256] = {};
    EXPECT_EQ(doc->ReadBinary("All", back, sizeof back), 256u);
    EXPECT_EQ(std::memcmp(all, back, sizeof all), 0);
}

TEST(ConfigDocXml, SectionsShareTheirElementAndCopyLiveApplyOnce) {
    auto doc = MemoryDoc();
    auto before = doc->Section("Player1");
    doc->SetLiveApply(true);
    auto after = doc->Section("Player1");
    EXPECT_FALSE(before->GetLiveApply());
    EXPECT_TRUE(after->GetLiveApply());
    after->SetLiveApply(false);
    EXPECT_TRUE(doc->GetLiveApply());

    before->Section("Sub")->WriteInteger("X", 3);
    EXPECT_EQ(after->Section("Sub")->ReadInteger("X", 0), 3);
    // One element, created once.
    const std::string xml = doc->GetXML();
    EXPECT_EQ(xml.find("<Player1>"), xml.rfind("<Player1>"));
}

TEST(ConfigDocXml, SectionOutlivesItsRootAndDocumentReplacement) {
    auto doc = MemoryDoc();
    auto section = doc->Section("S");
    section->WriteString("A", "1");
    doc->SetXML("<CONFIG><S><A>2</A></S></CONFIG>");
    EXPECT_EQ(section->ReadString("A", ""), "1");  // still on the old document
    EXPECT_EQ(doc->Section("S")->ReadString("A", ""), "2");
    doc.reset();
    section->WriteString("B", "x");
    EXPECT_EQ(section->ReadString("B", ""), "x");
}

// A section object keeps its element usable after the element leaves the document (its parent
// cleared, or its name overwritten by a value); the document no longer shows it.
TEST(ConfigDocXml, SectionOutlivesTheRemovalOfItsElement) {
    auto doc = MemoryDoc();
    auto outer = doc->Section("S");
    // Enough values that whole memory pages of the XML library hold nothing but this subtree.
    for (int i = 0; i < 3000; ++i) outer->WriteString("Filler" + std::to_string(i), "x");
    auto inner = outer->Section("Sub");
    for (int i = 0; i < 3000; ++i) inner->WriteString("Filler" + std::to_string(i), "x");
    inner->WriteString("A", "1");
    auto overwritten = doc->Section("T")->Section("U");
    overwritten->WriteString("B", "2");
    outer->Clear();
    doc->WriteString("T", "value");
    doc->Clear();
    doc->WriteString("Fresh", "f");

    inner->WriteString("A2", "3");
    inner->Section("Deeper")->WriteString("C", "4");
    overwritten->WriteString("B2", "5");
    EXPECT_EQ(inner->ReadString("A", ""), "1");
    EXPECT_EQ(inner->ReadString("A2", ""), "3");
    EXPECT_EQ(overwritten->ReadString("B", ""), "2");
    EXPECT_EQ(overwritten->ReadString("B2", ""), "5");
    outer->WriteString("Again", "x");
    inner.reset();
    overwritten.reset();
    doc->Clear();

    auto doc2 = TConfigDoc_XML::Create("");
    doc2->SetXML(doc->GetXML());
    EXPECT_EQ(doc2->GetXML(), doc->GetXML());
    for (const char* gone : {"Sub", "A2", "Deeper", "B2", "Again", "Fresh"})
        EXPECT_EQ(doc->GetXML().find(gone), std::string::npos) << gone << "\n" << doc->GetXML();
}

TEST(ConfigDocXml, SectionRefusesRootOnlyOperations) {
    auto section = MemoryDoc()->Section("S");
    const std::string raw =
        "Can not work with the raw text within a sub-section. You need to work with the root configuration file.";
    EXPECT_EQ(MessageOf<EConfigError>([&] { section->Save(); }),
              "Can not save a sub-section. You need to save the complete configuration file.");
    EXPECT_EQ(MessageOf<EConfigError>([&] { section->GetXML(); }), raw);
    EXPECT_EQ(MessageOf<EConfigError>([&] { section->SetXML("<CONFIG/>"); }), raw);
}

TEST(ConfigDocXml, LoadOnASectionMakesAnEmptyRootAndLeavesTheElement) {
    auto doc = MemoryDoc();
    auto section = doc->Section("S");
    section->WriteString("A", "1");
    section->Load();
    EXPECT_NE(section->GetXML().find("<CONFIG"), std::string::npos);
    EXPECT_EQ(section->ReadString("A", "none"), "none");
    EXPECT_EQ(doc->Section("S")->ReadString("A", ""), "1");
}

TEST(ConfigDocXml, ClearRemovesEveryChild) {
    auto doc = MemoryDoc();
    auto s = doc->Section("S");
    s->WriteString("A", "1");
    s->Section("Sub");
    s->Clear();
    EXPECT_EQ(s->ReadString("A", "gone"), "gone");
    EXPECT_EQ(doc->GetXML().find("Sub"), std::string::npos);
}

TEST(ConfigDocXml, MalformedTextRaisesAndKeepsTheDocument) {
    auto doc = MemoryDoc();
    doc->WriteString("A", "1");
    EXPECT_THROW(doc->SetXML("<CONFIG><A>"), EConfigError);
    EXPECT_EQ(doc->ReadString("A", ""), "1");
}

TEST(ConfigDocXml, ValidNamesAreWrittenUnchanged) {
    for (const char* name : {"Player1", "Output.Device-2", "_private", "Größe", "x_y"})
        EXPECT_EQ(TConfigDoc_XML::EncodeName(name), name);
    EXPECT_EQ(TConfigDoc_XML::EncodeName("My Song"), "My_x20_Song");
    EXPECT_EQ(TConfigDoc_XML::EncodeName("1st"), "_x31_st");
    EXPECT_THROW(TConfigDoc_XML::EncodeName(""), EConfigError);
}

// Every name, however odd, must survive a save and a fresh load of the file.
TEST(ConfigDocXml, AnyNameReadsBackFromTheFile) {
    const std::string names[] = {"My Song.mp3", "1abc",  "-lead",  ".lead",       "a:b",          "_x41_",    "_x",
                                 "a_x",         "_",     "x",      "Über Straße", "tab\tname",    "\xff\xfe", "a/b\\c",
                                 "<&>\"'",      "_x5F_", "__x20_", "x\xc3",       "\xe2\x82\xac", "CONFIG"};
    TTempFolder tmp;
    const std::string file = tmp.File("names.xml");
    {
        auto doc = TConfigDoc_XML::Create(file);
        for (const auto& n : names) {
            doc->WriteString(n, "v:" + n);
            doc->Section(n)->WriteString(n, "s:" + n);
        }
        doc->Save();
    }
    auto doc = TConfigDoc_XML::Create(file);
    for (const auto& n : names) {
        EXPECT_EQ(doc->ReadString(n, "missing"), "v:" + n) << n;
        EXPECT_EQ(doc->Section(n)->ReadString(n, "missing"), "s:" + n) << n;
        EXPECT_EQ(TConfigDoc_XML::DecodeName(TConfigDoc_XML::EncodeName(n)), n);
    }
}

TEST(ConfigDocXml, EverythingWrittenReadsBackFromTheFile) {
    TTempFolder tmp;
    const std::string file = tmp.File("core.xml");
    const std::string awkward = "  lead and trail  \r\n<tag> & \"quotes\" \t\x01 end";
    const std::wstring wide = L"Gr\u00fc\u00dfe \u20ac \U0001D11E";
    {
        auto doc = TConfigDoc_XML::Create(file);
        auto s = doc->Section("Kelvar")->Section("Player1");
        s->WriteString("Text", awkward);
        s->WriteString("Blank", " ");
        s->WriteWideString("Wide", wide);
        s->WriteInteger("Int", 1234567890123LL);
        s->WriteFloat("Float", -0.125);
        s->WriteBool("Bool", true);
        doc->Section("EmptySection");
        doc->Save();
    }
    EXPECT_NE(ReadWholeFile(file).find("EmptySection"), std::string::npos);
    auto doc = TConfigDoc_XML::Create(file);
    auto s = doc->Section("Kelvar")->Section("Player1");
    EXPECT_EQ(s->ReadString("Text", ""), awkward);
    EXPECT_EQ(s->ReadString("Blank", ""), " ");
    EXPECT_EQ(s->ReadWideString("Wide", L""), wide);
    EXPECT_EQ(s->ReadInteger("Int", 0), 1234567890123LL);
    EXPECT_EQ(s->ReadFloat("Float", 0), -0.125);
    EXPECT_TRUE(s->ReadBool("Bool", false));
}

TEST(ConfigDocXml, MissingFileGivesAnEmptyDocumentAndWritesNothing) {
    TTempFolder tmp;
    const std::string file = tmp.File("none.xml");
    auto doc = TConfigDoc_XML::Create(file);
    EXPECT_NE(doc->GetXML().find("<CONFIG"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ConfigDocXml, LoadRereadsTheFileAndDropsUnsavedChanges) {
    TTempFolder tmp;
    const std::string file = tmp.File("core.xml");
    WriteWholeFile(file, "<CONFIG><A>1</A></CONFIG>");
    auto doc = TConfigDoc_XML::Create(file);
    doc->WriteString("Unsaved", "x");
    WriteWholeFile(file, "<CONFIG><A>2</A></CONFIG>");
    doc->Load();
    EXPECT_EQ(doc->ReadInteger("A", 0), 2);
    EXPECT_EQ(doc->ReadString("Unsaved", "gone"), "gone");
    std::filesystem::remove(file);
    doc->Load();  // a file gone meanwhile gives an empty document again
    EXPECT_EQ(doc->ReadInteger("A", 0), 0);
}

TEST(ConfigDocXml, MalformedFileRaises) {
    TTempFolder tmp;
    const std::string file = tmp.File("bad.xml");
    WriteWholeFile(file, "<CONFIG><A>1</B></CONFIG>");
    EXPECT_THROW(TConfigDoc_XML::Create(file), EConfigError);
}

TEST(ConfigDocXml, SaveSetsTheRootAttributesEveryTime) {
    TTempFolder tmp;
    const std::string file = tmp.File("a.xml");
    WriteWholeFile(file, "<CONFIG application=\"Other\" version=\"1.0\"><A>1</A></CONFIG>");
    auto doc = TConfigDoc_XML::Create(file);
    doc->Save();
    doc->Save();
    const std::string text = ReadWholeFile(file);
    EXPECT_NE(text.find("<CONFIG application=\"Kelvar\" version=\"" + std::string(KelvarVersion) + "\">"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Other"), std::string::npos);
    EXPECT_EQ(doc->ReadInteger("A", 0), 1);
}

TEST(ConfigDocXml, SaveReplacesTheFileKeepingItsModeAndLeavesNoTemporaryFile) {
    TTempFolder tmp;
    const std::string file = tmp.File("mode.xml");
    WriteWholeFile(file, "<CONFIG/>");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    auto doc = TConfigDoc_XML::Create(file);
    doc->WriteString("A", "1");
    doc->Save();
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Path()), std::filesystem::directory_iterator()), 1);
}

TEST(ConfigDocXml, SaveThroughASymbolicLinkReplacesItsTarget) {
    TTempFolder tmp;
    const std::string target = tmp.File("real.xml");
    const std::string link = tmp.File("link.xml");
    WriteWholeFile(target, "<CONFIG/>");
    std::filesystem::create_symlink(target, link);
    auto doc = TConfigDoc_XML::Create(link);
    doc->WriteString("A", "1");
    doc->Save();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ReadWholeFile(target).find("<A>1</A>"), std::string::npos);
}

// A write that fails half-way (here: the file size limit) must leave the old file as it was.
TEST(ConfigDocXml, FailedSaveLeavesTheOldFileIntactAndRaises) {
    TTempFolder tmp;
    const std::string file = tmp.File("core.xml");
    const std::string old = "<CONFIG><A>old</A></CONFIG>";
    WriteWholeFile(file, old);
    auto doc = TConfigDoc_XML::Create(file);
    doc->WriteString("Big", std::string(4096, 'x'));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(doc->Save(), EFileError);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

    EXPECT_EQ(ReadWholeFile(file), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Path()), std::filesystem::directory_iterator()), 1);
    doc->Save();  // and works once the disk takes it
    EXPECT_EQ(TConfigDoc_XML::Create(file)->ReadString("Big", "").size(), 4096u);
}

TEST(ConfigDocXml, SaveIntoAMissingFolderOrWithoutANameRaises) {
    TTempFolder tmp;
    EXPECT_THROW(TConfigDoc_XML::Create(tmp.File("no/such/folder.xml"))->Save(), EFileError);
    EXPECT_THROW(MemoryDoc()->Save(), EFileError);
}

TEST(ConfigDocXml, StringListsStoreLineCountAndLines) {
    auto doc = MemoryDoc();
    auto s = doc->Section("Recent");
    SaveStringsToConfig(*s, {"a", "", "c d"});
    EXPECT_EQ(s->ReadInteger("LineCount", 0), 3);
    EXPECT_EQ(s->ReadString("Line2", ""), "c d");
    SaveStringsToConfig(*s, {"only"});
    std::vector<std::string> lines{"stale"};
    LoadStringsFromConfig(*s, lines);
    EXPECT_EQ(lines, std::vector<std::string>{"only"});
    EXPECT_EQ(s->ReadString("Line2", ""), "c d");  // left over, ignored by the reader
}

TEST(ConfigDocXml, StringListsEndAtTheLinesTheFileHolds) {
    TMemoryLogger log;
    auto doc = TConfigDoc_XML::Create("");
    doc->SetXML(
        "<Config><AddURL><MRU><LineCount>504062993</LineCount><Line0>a</Line0><Line1></Line1>"
        "<Line3>after a gap</Line3></MRU></AddURL></Config>");
    std::vector<std::string> lines;
    LoadStringsFromConfig(*doc->Section("AddURL")->Section("MRU"), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(log.Count("504062993 lines stored, 2 read"), 1);

    auto s = doc->Section("Other");
    SaveStringsToConfig(*s, {"x", "y", "z"});
    s->WriteString("LineCount", "maybe");
    LoadStringsFromConfig(*s, lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(log.Count("line count ignored"), 1);
}

}  // namespace
}  // namespace kelvar
