// The album lookup against a catalogue served from loopback: the request, paging, choosing a
// result into a song row of the real database, and the replies that go wrong.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <map>

#include "LoopbackHttpServer.h"
#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "controls/FxFancyButton.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/unAmazonSearch.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using webtest::THttpReply;
using webtest::THttpRequest;
using webtest::TLoopbackHttpServer;

std::string JpegBytes() {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes.toStdString();
}

// A reply page with results First .. First + Count - 1 of Total.
std::string Page(int Total, int First, int Count, const std::string& ImageBase) {
    std::string xml = "<?xml version=\"1.0\"?><ProductInfo><TotalResults>" + std::to_string(Total) + "</TotalResults>";
    for (int i = First; i < First + Count; ++i) {
        const std::string n = std::to_string(i);
        xml += "<Details url=\"http://shop.example/p" + n + "\"><Artists><Artist>Artist " + n +
               "</Artist></Artists><ProductName>Album " + n + "</ProductName><ReleaseDate>12 May, 2003</ReleaseDate>" +
               "<ImageUrlLarge>" + ImageBase + "/img/cover" + n + ".jpg?size=L</ImageUrlLarge>" +
               "<BrowseList><BrowseNode><BrowseName>Jazz</BrowseName></BrowseNode><BrowseNode><BrowseName>Pop" +
               "</BrowseName></BrowseNode></BrowseList><Upc>0000" + n + "</Upc></Details>";
    }
    return xml + "</ProductInfo>";
}

std::map<std::string, std::string> Query(const std::string& Path) {
    std::map<std::string, std::string> keys;
    std::string rest = Path.substr(Path.find('?') + 1);
    while (!rest.empty()) {
        const std::string pair = rest.substr(0, rest.find('&'));
        keys[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
        rest = rest.find('&') == std::string::npos ? "" : rest.substr(rest.find('&') + 1);
    }
    return keys;
}

}  // namespace

// Takes the place of the desktop's browser.
class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    QStringList Urls;
public slots:
    void Open(const QUrl& Url) { Urls << Url.toString(); }
};

namespace {

class AlbumLookupTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-lookup-" + std::to_string(getpid()));
        fs::create_directories(Folder / "pictures");
        Config.SetLocalPictureDir((Folder / "pictures").string() + "/");
        Config.SetImageSize(2);
        Config.SetAmazonTag("my tag");
        Server = std::make_unique<TLoopbackHttpServer>([this](const THttpRequest& r) { return Serve(r); });
        GuiConfig = TConfigDoc_XML::Create("");
        auto section = GuiConfig->Section("AlbumLookup");
        section->WriteString("Endpoint", Server->Url("/"));
        section->WriteString("DeveloperToken", "TOKEN42");
        section->WriteInteger("TimeoutMs", 1500);
        SetMessageHandler([this](const TMessageRequest& r) {
            Messages.push_back(r.Text);
            return MsgButton::OK;
        });
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
        Server->ReleaseStalled();
        Server.reset();
        GuiConfig = nullptr;
        fs::remove_all(Folder);
        TSongDbFixture::TearDown();
    }

    THttpReply Serve(const THttpRequest& r) {
        if (r.Path.rfind("/img/", 0) == 0) {
            if (r.Path.find("cover2.") != std::string::npos) return THttpReply::Answer("not a picture at all");
            return THttpReply::Answer(JpegBytes());
        }
        const auto keys = Query(r.Path);
        const std::string words = keys.count("KeywordSearch") ? keys.at("KeywordSearch") : "";
        if (words == "stall") return THttpReply::Stall();
        if (words == "broken") return THttpReply::Answer("<ProductInfo><TotalResults>3</Total");
        if (words == "failing") return THttpReply::Answer("oops", 500, "Internal Server Error");
        if (words == "nothing") return THttpReply::Answer("<ProductInfo><TotalResults>0</TotalResults></ProductInfo>");
        const int page = std::stoi(keys.at("page"));
        // 20 matches, 8 to a page.
        return THttpReply::Answer(Page(20, (page - 1) * 8 + 1, page < 3 ? 8 : 4, Server->Url("")));
    }

    bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 8000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            Loop->ProcessPending();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    static bool AllPicturesDone(TfoAmazonSearch& d) {
        if (d.Cards().empty()) return false;
        for (auto* card : d.Cards())
            if (!card->btApply->isEnabled()) return false;
        return true;
    }
    static std::string Status(TfoAmazonSearch& d) {
        return d.pError->isVisible() ? d.pError->text().toStdString() : "";
    }

    std::unique_ptr<TfoAmazonSearch> Dialog(const std::string& Words) {
        auto d = std::make_unique<TfoAmazonSearch>(Config, ReadAlbumLookupSettings());
        d->show();
        d->eSearch->setText(QString::fromStdString(Words));
        d->NewSearch();
        return d;
    }

    fs::path Folder;
    TMetaDataConfig Config;
    std::unique_ptr<TLoopbackHttpServer> Server;
    std::vector<std::string> Messages;
};

TEST_F(AlbumLookupTest, RequestsPagesAndNumbersTheCards) {
    auto d = Dialog("Miles \"Kind\" Davis");
    ASSERT_TRUE(PumpUntil([&] { return AllPicturesDone(*d); }));
    const std::string first = Server->Requests().front().Path;
    EXPECT_EQ(first,
              "/onca/xml3?t=my%20tag&dev-t=TOKEN42&KeywordSearch=Miles%20Kind%20Davis&mode=music&type=heavy"
              "&page=1&f=xml");
    ASSERT_EQ(d->Cards().size(), 8u);
    EXPECT_EQ(d->PageSize(), 8);
    EXPECT_EQ(d->pResults->text(), "Showing 1 to 8 of 20 results");
    EXPECT_FALSE(d->btPrevious->isEnabled());
    EXPECT_TRUE(d->btNext->isEnabled());
    auto* card = d->Cards()[0];
    EXPECT_EQ(card->lbNO->text(), "1");
    EXPECT_EQ(card->lbYear->text(), "2003");
    EXPECT_EQ(card->lbGenre->text(), "Jazz");
    EXPECT_TRUE(card->PictureShown());
    // The local name carries the element's place among the reply's children and a clean extension.
    EXPECT_EQ(card->Info().LocalPicture, Config.LocalPictureDir() + "temp_1.jpg");
    // The second cover is no picture: the card stays usable without one.
    EXPECT_FALSE(d->Cards()[1]->PictureShown());
    EXPECT_EQ(d->Cards()[1]->lbPicInfo->text(), "Failed to load!");
    EXPECT_TRUE(d->Cards()[1]->Info().LocalPicture.empty());

    d->NextPage();
    ASSERT_TRUE(PumpUntil([&] { return AllPicturesDone(*d); }));
    EXPECT_EQ(d->Cards()[0]->lbNO->text(), "9");
    EXPECT_EQ(d->pResults->text(), "Showing 9 to 16 of 20 results");
    EXPECT_TRUE(d->btPrevious->isEnabled());
    EXPECT_TRUE(d->btNext->isEnabled());
    d->NextPage();
    ASSERT_TRUE(PumpUntil([&] { return AllPicturesDone(*d); }));
    EXPECT_EQ(d->pResults->text(), "Showing 17 to 20 of 20 results");
    EXPECT_FALSE(d->btNext->isEnabled());
}

TEST_F(AlbumLookupTest, RepliesThatGoWrongShowTheirStatus) {
    struct TCase {
        std::string Words;
        std::string Status;  // beginning of the status text
    };
    const TCase cases[] = {
        {"broken", "Invalid XML document: "},
        {"failing", "[500] Error retrieving page: Internal Server Error"},
        {"nothing", "Search returned zero results"},
        {"stall", "[0] Error retrieving page: "},  // the time-out ends it
    };
    for (const auto& c : cases) {
        auto d = Dialog(c.Words);
        EXPECT_EQ(Status(*d), "Searching, please wait...");
        ASSERT_TRUE(PumpUntil([&] { return !d->Searching() || Status(*d) != "Searching, please wait..."; })) << c.Words;
        EXPECT_EQ(Status(*d).substr(0, c.Status.size()), c.Status) << c.Words << ": " << Status(*d);
        EXPECT_TRUE(d->Cards().empty());
        EXPECT_FALSE(d->btNext->isEnabled());
    }
}

TEST_F(AlbumLookupTest, ChoosingAResultFillsOnlyEmptyFieldsAndStoresTheCover) {
    const int id = AddSongRow("/m/a.mp3", "My Artist", "Song");
    PoolExecSQL("UPDATE songlist SET albumyear = '0', genre = 'Blues' WHERE ID = :id", {id});
    auto row = PoolQuery("SELECT songlist.* FROM songlist WHERE ID = :id", {id}, false);
    std::string keywords;
    SetModalHandler([&](QDialog& dialog) {
        auto& d = dynamic_cast<TfoAmazonSearch&>(dialog);
        keywords = d.eSearch->text().toStdString();
        EXPECT_TRUE(PumpUntil([&] { return AllPicturesDone(d); }));
        if (d.Cards().empty()) return QDialog::Rejected;
        QTest::mouseClick(d.Cards()[0]->btApply, Qt::LeftButton);
        PumpUntil([&] { return !d.isVisible(); }, 2000);
        return QDialog::Accepted;
    });
    ASSERT_TRUE(FindAlbumCover(*row, Config));
    EXPECT_EQ(keywords, "My Artist");  // an empty album leaves just the artist
    row->Post();

    auto stored = PoolQuery("SELECT * FROM songlist WHERE ID = :id", {id});
    EXPECT_EQ(stored->GetValue("artist"), "My Artist");
    EXPECT_EQ(stored->GetValue("album"), "Album 1");
    EXPECT_EQ(stored->GetValue("genre"), "Blues");
    EXPECT_EQ(stored->GetValue("UPC"), "00001");
    EXPECT_EQ(stored->GetValue("buycd"), "http://shop.example/p1");
    EXPECT_EQ(stored->GetValue("albumyear"), "2003");
    const std::string picture = stored->GetValue("picture");
    EXPECT_EQ(picture, "az_" + std::to_string(id) + "_Album 1_Artist 1.jpg");
    EXPECT_TRUE(QImage(QString::fromStdString(Config.LocalPictureDir() + picture)).width() == 40);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(AlbumLookupTest, ClosingDuringAStalledSearchReturnsAtOnce) {
    const int id = AddSongRow("/m/a.mp3", "stall", "Song");
    auto row = PoolQuery("SELECT songlist.* FROM songlist WHERE ID = :id", {id}, false);
    fs::remove_all(Folder / "pictures");
    SetModalHandler([&](QDialog& dialog) {
        auto& d = dynamic_cast<TfoAmazonSearch&>(dialog);
        EXPECT_TRUE(Server->WaitForRequests(1));
        EXPECT_TRUE(d.Searching());
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_FALSE(d.Searching());
        return QDialog::Rejected;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FindAlbumCover(*row, Config));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].rfind("Your specified local picture directory does not exist.", 0), 0u);
    EXPECT_EQ(PoolQuery("SELECT * FROM songlist WHERE ID = :id", {id})->GetValue("picture"), "");
}

TEST(AlbumLookupParts, YearsExtensionsAndWebPages) {
    EXPECT_EQ(ReleaseYearOf("12 May, 2003"), "2003");
    EXPECT_EQ(ReleaseYearOf("x2004yz"), "2004");
    EXPECT_EQ(ReleaseYearOf(""), "");
    const std::pair<const char*, const char*> extensions[] = {
        {"http://h/a/cover.JPG", ".JPG"}, {"http://h/a/c.gif?x=..", ".gif"},
        {"http://h/a.b/c", ".jpg"},       {"http://h/a/c.toolong", ".jpg"},
        {"http://h/a/c.j%2Fg", ".jpg"},   {"http://h/a/c.", ".jpg"},
        {"http://h.example.org", ".jpg"}, {"", ".jpg"},
    };
    for (const auto& [url, ext] : extensions) EXPECT_EQ(ImageExtensionOf(url), ext) << url;

    guitest::EnsureApplication();
    TUrlRecorder opened;
    QDesktopServices::setUrlHandler("http", &opened, "Open");
    QDesktopServices::setUrlHandler("file", &opened, "Open");
    EXPECT_TRUE(OpenWebPage("http://shop.example/p1"));
    EXPECT_FALSE(OpenWebPage("file:///usr/bin/xterm"));
    EXPECT_FALSE(OpenWebPage("/usr/bin/xterm"));
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opened.Urls, QStringList{"http://shop.example/p1"});
}

}  // namespace
}  // namespace kelvar

#include "AlbumLookupTest.moc"
