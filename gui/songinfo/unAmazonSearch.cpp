#include "gui/songinfo/unAmazonSearch.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <filesystem>
#include <pugixml.hpp>
#include <stdexcept>

#include "controls/FxFancyButton.h"
#include "core/playlist/SongFiles.h"
#include "core/web/unGetWeb.h"
#include "foundation/MiscFunc.h"
#include "foundation/UrlCoding.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/DataBinder.h"
#include "gui/songinfo/unSongApplyList.h"

namespace kelvar {

namespace {

QString Text(const std::string& Value) { return QString::fromStdString(Value); }

// A page fetch that remembers whether the transfer itself failed, so that the text of a broken
// or oversized answer is never read as a reply page.
class TPageFetch : public TGetWeb {
public:
    using TGetWeb::TGetWeb;
    std::atomic<bool> Failed{false};

protected:
    std::string Perform(THttpClient& client) override {
        try {
            return TGetWeb::Perform(client);
        } catch (...) {
            Failed = true;
            throw;
        }
    }
};

// The named child's text; false for a missing or empty one.
bool GetChildText(const pugi::xml_node& Node, const char* Name, std::string& Value) {
    Value = Node.child(Name).text().as_string();
    return !Value.empty();
}

int ToIntDef(const std::string& Text, int Def) {
    int64_t value = 0;
    if (!TryParseInt64(Text, value) || value < INT32_MIN || value > INT32_MAX) return Def;
    return static_cast<int>(value);
}

}  // namespace

TAlbumLookupSettings ReadAlbumLookupSettings() {
    TAlbumLookupSettings settings;
    if (!GuiConfig) return settings;
    auto section = GuiConfig->Section("AlbumLookup");
    settings.Endpoint = section->ReadString("Endpoint", "");
    settings.DeveloperToken = section->ReadString("DeveloperToken", "");
    const int64_t timeout = section->ReadInteger("TimeoutMs", settings.Timeouts.TotalMs);
    if (timeout > 0 && timeout <= 600000) {
        settings.Timeouts.TotalMs = static_cast<int>(timeout);
        settings.Timeouts.ConnectMs = std::min(settings.Timeouts.ConnectMs, settings.Timeouts.TotalMs);
        settings.Timeouts.IdleMs = std::min(settings.Timeouts.IdleMs, settings.Timeouts.TotalMs);
    }
    return settings;
}

std::string AmazonRequestURL(const TAlbumLookupSettings& Settings, const std::string& Tag, const std::string& Keywords,
                             int Page) {
    std::string endpoint = TrimText(Settings.Endpoint);
    while (!endpoint.empty() && endpoint.back() == '/') endpoint.pop_back();
    std::string keywords;
    for (char c : Keywords)
        if (c != '"') keywords += c;
    return endpoint + "/onca/xml3" + "?t=" + URLEncode(Tag) + "&dev-t=" + URLEncode(Settings.DeveloperToken) +
           "&KeywordSearch=" + URLEncode(keywords) + "&mode=music&type=heavy" + "&page=" + std::to_string(Page) +
           "&f=xml";
}

std::string ReleaseYearOf(const std::string& Date) {
    const size_t comma = Date.find(',');
    const size_t start = comma == std::string::npos ? 1 : comma + 2;
    return start < Date.size() ? Date.substr(start, 4) : std::string();
}

std::string ImageExtensionOf(const std::string& Url) {
    std::string path = Url.substr(0, Url.find_first_of("?#"));
    const size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        const size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? std::string() : path.substr(slash);
    }
    const std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return ".jpg";
    const std::string ext = name.substr(dot + 1);
    if (ext.empty() || ext.size() > 5) return ".jpg";
    for (char c : ext)
        if (!std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80) return ".jpg";
    return "." + ext;
}

TAmazonReply ReadAmazonReply(const std::string& Text, uint8_t ImageSize, const std::string& PictureDir) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(Text.data(), Text.size());
    if (!parsed) throw std::runtime_error(parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (!root) throw std::runtime_error("No document element");
    TAmazonReply reply;
    std::string total;
    reply.Total = GetChildText(root, "TotalResults", total) ? ToIntDef(total, 0) : 0;
    const char* imageElement = ImageSize == 0 ? "ImageUrlSmall" : ImageSize == 2 ? "ImageUrlLarge" : "ImageUrlMedium";
    int index = 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const int position = index++;
        if (std::string(child.name()) != "Details") continue;
        TAmazonInfo info;
        info.URL = child.attribute("url").as_string();
        info.Artist = child.child("Artists").child("Artist").text().as_string();
        GetChildText(child, "ProductName", info.Album);
        std::string date;
        if (GetChildText(child, "ReleaseDate", date)) info.Year = ReleaseYearOf(date);
        GetChildText(child, imageElement, info.ImageURL);
        info.Genre = child.child("BrowseList").child("BrowseNode").child("BrowseName").text().as_string();
        GetChildText(child, "Upc", info.UPC);
        info.LocalPicture = PictureDir + "temp_" + std::to_string(position) + ImageExtensionOf(info.ImageURL);
        reply.Results.push_back(std::move(info));
    }
    return reply;
}

TfoAmazonSearch::TfoAmazonSearch(const TMetaDataConfig& Config, TAlbumLookupSettings Settings, QWidget* Parent)
    : QDialog(Parent), FConfig(Config), FSettings(std::move(Settings)) {
    setWindowTitle("Online music catalogue album information search");
    setWindowFlag(Qt::Tool);
    setSizeGripEnabled(true);
    setModal(true);
    SetFormTag(this, 2);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* top = new QWidget(this);
    auto* topRow = new QHBoxLayout(top);
    topRow->setContentsMargins(6, 4, 6, 4);
    btPrevious = new TFxFancyButton("<- Previous", top);
    btNext = new TFxFancyButton("Next ->", top);
    pResults = new QLabel("Showing page 1 of 1", top);
    pResults->setAlignment(Qt::AlignCenter);
    for (auto* b : {btPrevious, btNext}) {
        b->setFixedSize(90, 25);
        b->setEnabled(false);
    }
    topRow->addWidget(btPrevious);
    topRow->addWidget(pResults, 1);
    topRow->addWidget(btNext);
    column->addWidget(top);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setWidgetResizable(true);
    FCardBox = new QWidget();
    FCardColumn = new QVBoxLayout(FCardBox);
    FCardColumn->setContentsMargins(2, 2, 2, 2);
    FCardColumn->addStretch(1);
    ScrollBox1->setWidget(FCardBox);
    column->addWidget(ScrollBox1, 1);

    pError = new QLabel(this);
    pError->setAlignment(Qt::AlignCenter);
    pError->setWordWrap(true);
    pError->hide();
    column->addWidget(pError, 1);

    auto* bottom = new QWidget(this);
    auto* bottomRow = new QHBoxLayout(bottom);
    bottomRow->setContentsMargins(6, 6, 6, 6);
    bottomRow->addWidget(new QLabel("Keywords", bottom));
    eSearch = new QLineEdit(bottom);
    bottomRow->addWidget(eSearch, 1);
    btSearch = new TFxFancyButton("Search", bottom);
    btCancel = new TFxFancyButton("Cancel", bottom);
    for (auto* b : {btSearch, btCancel}) {
        b->setFixedSize(75, 25);
        bottomRow->addWidget(b);
    }
    column->addWidget(bottom);

    btSearch->OnClick = [this](TFxFancyButton&) { RunGuarded([this] { NewSearch(); }); };
    btCancel->OnClick = [this](TFxFancyButton&) {
        SetFormTag(this, 2);
        close();
    };
    btNext->OnClick = [this](TFxFancyButton&) { RunGuarded([this] { NextPage(); }); };
    btPrevious->OnClick = [this](TFxFancyButton&) { RunGuarded([this] { PreviousPage(); }); };

    resize(560, 520);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfoAmazonSearch::~TfoAmazonSearch() {
    StopSearch();
    ClearResults();
}

void TfoAmazonSearch::NewSearch() {
    ClearResults();
    RequestPage();
}

void TfoAmazonSearch::RequestPage() {
    Fetch(AmazonRequestURL(FSettings, FConfig.AmazonTag(), eSearch->text().toStdString(), FRequestedPage));
    FCurrentPage = FRequestedPage;
    ShowStatus("Searching, please wait...");
    pResults->setText("Searching...");
}

void TfoAmazonSearch::Fetch(const std::string& URL) {
    StopSearch();
    auto fetch = std::make_unique<TPageFetch>(URL);
    fetch->Timeouts = FSettings.Timeouts;
    fetch->MaxMemorySize = MaxReplyPage;
    TPageFetch* page = fetch.get();
    fetch->SetOnResultSync([this, page](TWebThread&, int status, const std::string& text) {
        // A transfer that broke off is an error whatever status line came before.
        RunGuarded([&] { SearchResult(page->Failed && status == 200 ? 0 : status, text); });
    });
    FFetch = std::move(fetch);
    FFetch->Resume();
}

void TfoAmazonSearch::StopSearch() {
    if (!FFetch) return;
    FFetch->Stop();
    FFetch.reset();
}

void TfoAmazonSearch::SearchResult(int StatusCode, const std::string& Text) {
    pError->hide();
    if (StatusCode != 200) {
        ShowStatus("[" + std::to_string(StatusCode) + "] Error retrieving page: " + Text);
        return;
    }
    try {
        TAmazonReply reply = ReadAmazonReply(Text, FConfig.ImageSize(), FConfig.LocalPictureDir());
        FTotal = reply.Total;
        if (FTotal < 1) {
            ShowStatus("Search returned zero results");
            return;
        }
        pResults->setText(QString::number(FTotal));
        ScrollBox1->hide();
        for (const TAmazonInfo& info : reply.Results) {
            const int number = (FCurrentPage - 1) * FPageSize + static_cast<int>(FCards.size()) + 1;
            AddCard(CreateAmazonInfoFrame(info, number, FSettings.Timeouts));
        }
    } catch (const std::exception& e) {
        ShowStatus(std::string("Invalid XML document: ") + e.what());
    }
    if (!FCards.empty()) {
        ScrollBox1->show();
        ScrollBox1->verticalScrollBar()->setValue(0);
    }
    if (FCurrentPage == 1) FPageSize = static_cast<int>(FCards.size());
    UpdateNavigation();
}

void TfoAmazonSearch::ClearResults() {
    ScrollBox1->hide();
    for (TfrmAmazonInfo* card : FCards) delete card;  // each stops its picture download
    FCards.clear();
    ScrollBox1->show();
    FRequestedPage = 1;
    FTotal = 0;
    btPrevious->setEnabled(false);
    btNext->setEnabled(false);
    UpdateNavigation();
}

void TfoAmazonSearch::ShowStatus(const std::string& Text) {
    ClearResults();
    ScrollBox1->hide();
    pError->setText(QString::fromStdString(Text));
    pError->show();
}

void TfoAmazonSearch::AddCard(TfrmAmazonInfo* Card) {
    FCards.push_back(Card);
    Card->OnApply = [this](TfrmAmazonInfo& chosen) { CardChosen(chosen); };
    // Above the stretch that keeps the cards at the top.
    FCardColumn->insertWidget(FCardColumn->count() - 1, Card);
    Card->setParent(FCardBox);
    Card->show();
}

void TfoAmazonSearch::CardChosen(TfrmAmazonInfo& Card) {
    FChosen = Card.Info();
    SetFormTag(this, 1);
    // Closed from the event loop: closing frees the cards, and this one is still clicking.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TfoAmazonSearch::UpdateNavigation() {
    const int first = (FCurrentPage - 1) * FPageSize;
    const int cards = static_cast<int>(FCards.size());
    btPrevious->setEnabled(FCurrentPage > 1);
    btNext->setEnabled(first + cards < FTotal);
    if (FTotal > 0)
        pResults->setText(QString("Showing %1 to %2 of %3 results").arg(first + 1).arg(first + cards).arg(FTotal));
    else
        pResults->setText("Search did not find any matches");
}

void TfoAmazonSearch::NextPage() {
    const int page = FCurrentPage + 1;
    ClearResults();
    FRequestedPage = page;
    RequestPage();
}

void TfoAmazonSearch::PreviousPage() {
    const int page = FCurrentPage - 1;
    ClearResults();
    FRequestedPage = page;
    RequestPage();
}

void TfoAmazonSearch::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        Event->accept();
        RunGuarded([this] { NewSearch(); });
        return;
    }
    QDialog::keyPressEvent(Event);  // Esc closes
}

void TfoAmazonSearch::closeEvent(QCloseEvent* Event) {
    ClearResults();
    StopSearch();
    QDialog::closeEvent(Event);
}

void TfoAmazonSearch::done(int Result) {
    ClearResults();
    StopSearch();
    QDialog::done(Result);
}

bool FindAlbumCover(IDataset& Data, const TMetaDataConfig& Config) {
    std::error_code ec;
    if (!std::filesystem::is_directory(Config.LocalPictureDir(), ec))
        MessageDlg(
            "Your specified local picture directory does not exist. Please go to Config->General and specify "
            "a valid local picture directory. The Album covers will not display until this is fixed.",
            TMsgDlgType::Warning, MsgButton::OK);
    TAmazonInfo chosen;
    {
        TfoAmazonSearch dialog(Config, ReadAlbumLookupSettings());
        dialog.SetPageSize(10);
        dialog.eSearch->setText(Text(TrimText(Data.GetValue("artist") + " " + Data.GetValue("album"))));
        dialog.NewSearch();
        ExecModal(dialog);
        if (GetFormTag(&dialog) != 1) return false;
        chosen = dialog.Chosen();
    }
    Data.Edit();
    const auto fillEmpty = [&Data](const char* field, const std::string& value) {
        if (Data.GetValue(field).empty()) Data.SetFieldValue(field, value);
    };
    fillEmpty("artist", chosen.Artist);
    fillEmpty("album", chosen.Album);
    fillEmpty("genre", chosen.Genre);
    fillEmpty("UPC", chosen.UPC);
    fillEmpty("buyCD", chosen.URL);
    // A NULL year reads as the empty text, which is no number either.
    int64_t stored = 0;
    if (!TryParseInt64(Data.GetValue("albumyear"), stored) || stored <= 0)
        Data.SetFieldValue("albumyear", std::to_string(ToIntDef(chosen.Year, 0)));
    if (!chosen.LocalPicture.empty()) {
        const std::string ext = std::filesystem::path(chosen.LocalPicture).extension().string();
        const std::string target =
            SongPictureFileName(Data.GetFieldValue("ID").AsInteger(), chosen.Artist, chosen.Album, ext);
        std::filesystem::copy_file(chosen.LocalPicture, target, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec)
            MessageDlg("Unable to copy picture. Please make sure your picture directory is valid.",
                       TMsgDlgType::Warning, MsgButton::OK);
        Data.SetFieldValue("picture", std::filesystem::path(target).filename().string());
    }
    return true;
}

}  // namespace kelvar
