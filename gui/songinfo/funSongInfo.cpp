#include "gui/songinfo/funSongInfo.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "controls/BoxButton.h"
#include "controls/KcTrackBar.h"
#include "core/KelvarApi.h"
#include "core/playlist/CategorySelection.h"
#include "core/playlist/SongFiles.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "foundation/UrlCoding.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/editors/funSongSettings.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/PlaylistDialogs.h"
#include "gui/songinfo/DataBinder.h"
#include "gui/songinfo/funAmazonInfo.h"
#include "gui/songinfo/unAmazonSearch.h"
#include "gui/songinfo/unSongApplyList.h"
#include "media/SongInfo_imp.h"
#include "media/SongSettings.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar {

namespace fs = std::filesystem;

const char* const SongGenres[133] = {"50s",
                                     "60s",
                                     "70s",
                                     "80s",
                                     "90s",
                                     "00s",
                                     "Acapella",
                                     "Acid",
                                     "Acid Jazz",
                                     "Acid Punk",
                                     "Acoustic",
                                     "Alternative",
                                     "AlternRock",
                                     "Ambient",
                                     "Avantgarde",
                                     "Ballad",
                                     "Bass",
                                     "Bebob",
                                     "Big Band",
                                     "Bluegrass",
                                     "Blues",
                                     "Booty Bass",
                                     "Cabaret",
                                     "Celtic",
                                     "Chamber Music",
                                     "Chanson",
                                     "Chorus",
                                     "Christian Rap",
                                     "Classic Rock",
                                     "Classical",
                                     "Club",
                                     "Comedy",
                                     "Country",
                                     "Cult",
                                     "Dance",
                                     "Dance Hall",
                                     "Darkwave",
                                     "Death Metal",
                                     "Disco",
                                     "Dream",
                                     "Drum Solo",
                                     "Duet",
                                     "Easy Listening",
                                     "Electronic",
                                     "Ethnic",
                                     "Eurodance",
                                     "Euro-House",
                                     "Euro-Techno",
                                     "Fast Fusion",
                                     "Folk",
                                     "Folklore",
                                     "Folk-Rock",
                                     "Freestyle",
                                     "Funk",
                                     "Fusion",
                                     "Game",
                                     "Gangsta",
                                     "Gospel",
                                     "Gothic",
                                     "Gothic Rock",
                                     "Grunge",
                                     "Hard Rock",
                                     "Hip-Hop",
                                     "House",
                                     "Humour",
                                     "Independent",
                                     "Industrial",
                                     "Instrumental",
                                     "Instrumental Pop",
                                     "Instrumental Rock",
                                     "Jazz",
                                     "Jazz+Funk",
                                     "Jungle",
                                     "Latin",
                                     "Lo-Fi",
                                     "Meditative",
                                     "Metal",
                                     "Musical",
                                     "National Folk",
                                     "Native American",
                                     "New Age",
                                     "New Wave",
                                     "Noise",
                                     "Oldies",
                                     "Opera",
                                     "Other",
                                     "Polka",
                                     "Pop",
                                     "Pop/Funk",
                                     "Pop-Folk",
                                     "Porn Groove",
                                     "Power Ballad",
                                     "Pranks",
                                     "Primus",
                                     "Progressive Rock",
                                     "Psychadelic",
                                     "Psychedelic Rock",
                                     "Punk",
                                     "Punk Rock",
                                     "R&B",
                                     "Rap",
                                     "Rave",
                                     "Reggae",
                                     "Retro",
                                     "Revival",
                                     "Rhythmic Soul",
                                     "Rock",
                                     "Rock & Roll",
                                     "Samba",
                                     "Satire",
                                     "Showtunes",
                                     "Ska",
                                     "Slow Jam",
                                     "Slow Rock",
                                     "Sonata",
                                     "Soul",
                                     "Sound Clip",
                                     "Soundtrack",
                                     "Southern Rock",
                                     "Space",
                                     "Speech",
                                     "Swing",
                                     "Symphonic Rock",
                                     "Symphony",
                                     "Tango",
                                     "Techno",
                                     "Techno-Industrial",
                                     "Top 40",
                                     "Trailer",
                                     "Trance",
                                     "Tribal",
                                     "Trip-Hop",
                                     "Vocal"};

namespace {

// The web search engine of the lyrics and picture searches.
constexpr const char* SearchSite = "https://www.google.com";

QString Text(const std::string& Value) { return QString::fromStdString(Value); }

bool SameContent(const std::string& A, const std::string& B) {
    std::error_code ec;
    if (fs::file_size(A, ec) != fs::file_size(B, ec) || ec) return false;
    std::ifstream a(A, std::ios::binary), b(B, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>());
}

// Where a picture file goes in the picture folder: its own name, or, when another picture has
// that name already, the name with a counter, so that covers of different albums never
// overwrite each other.
std::string PictureTarget(const std::string& Folder, const std::string& FileName) {
    const fs::path source(FileName);
    std::string target = Folder + source.filename().string();
    std::error_code ec;
    for (int n = 1; fs::exists(target, ec) && !SameContent(target, FileName); ++n)
        target = Folder + source.stem().string() + "_" + std::to_string(n) + source.extension().string();
    return target;
}

QLabel* Caption(const QString& Text, QWidget* Parent) {
    auto* label = new QLabel(Text, Parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// The editors are wider than the dialog: they scroll inside their tabs.
QScrollArea* Scrolled(QWidget* Page) {
    auto* area = new QScrollArea();
    area->setWidget(Page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QLineEdit* NewEdit(QWidget* Parent, const char* Name) {
    auto* edit = new QLineEdit(Parent);
    edit->setObjectName(Name);
    return edit;
}

}  // namespace

std::string WeightCategory(int Weight) {
    if (Weight < 10) return "No rotation";
    if (Weight < 20) return "Rare rotation";
    if (Weight < 40) return "Light rotation";
    if (Weight < 60) return "Medium rotation";
    if (Weight < 80) return "Heavy rotation";
    return "Power hit";
}

std::string PictureFileIn(const std::string& Folder, const std::string& Name) {
    if (Name.empty()) return {};
    const bool plain = Name.find_first_of("/\\") == std::string::npos && Name.find("..") == std::string::npos &&
                       Name.find(':') == std::string::npos;
    if (!plain) {
        LogMessage("Picture name refused (not a file of the picture folder): " + Name, "GUI", LogKind::Warning);
        return {};
    }
    return Folder + Name;
}

TfrmSongInfo::TfrmSongInfo(QWidget* Parent) : QWidget(Parent) {
    FBinder = new TDataBinder(this);
    FBinder->EnsureEditing = [this] { EnsureEditing(); };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    pcSongInfo = new QTabWidget(this);
    pcSongInfo->setObjectName("pcSongInfo");
    column->addWidget(pcSongInfo);

    pcSongInfo->addTab(InfoTab(), "Info");

    auto* picturePage = new QWidget();
    picturePage->setObjectName("tsPicture");
    auto* pictureColumn = new QVBoxLayout(picturePage);
    auto* pictureTools = new QHBoxLayout();
    auto* btLoadPic = new QToolButton(picturePage);
    btLoadPic->setText("Load");
    auto* btClearPic = new QToolButton(picturePage);
    btClearPic->setText("Clear");
    auto* btAmazon2 = new QToolButton(picturePage);
    btAmazon2->setText("Find at Amazon");
    auto* btWeb = new QToolButton(picturePage);
    btWeb->setText("Web");
    for (auto* b : {btLoadPic, btClearPic, btAmazon2, btWeb}) pictureTools->addWidget(b);
    pictureTools->addStretch(1);
    pictureColumn->addLayout(pictureTools);
    ePicture = new QLabel(picturePage);
    ePicture->setAlignment(Qt::AlignCenter);
    ePicture->setMinimumSize(300, 300);
    pictureColumn->addWidget(ePicture, 1);
    picturePage->setAcceptDrops(true);
    picturePage->installEventFilter(this);
    pcSongInfo->addTab(picturePage, "Picture");
    connect(btLoadPic, &QToolButton::clicked, this, [this] { RunGuarded([this] { PictureClick(); }); });
    connect(btClearPic, &QToolButton::clicked, this, [this] { RunGuarded([this] { btClearPicClick(); }); });
    connect(btAmazon2, &QToolButton::clicked, this, [this] { RunGuarded([this] { FindAlbumCover(); }); });
    connect(btWeb, &QToolButton::clicked, this, [this] { RunGuarded([this] { FindImages(); }); });

    auto* lyricsPage = new QWidget();
    auto* lyricsColumn = new QVBoxLayout(lyricsPage);
    auto* lyricsTools = new QHBoxLayout();
    auto* btLyricsClear = new QToolButton(lyricsPage);
    btLyricsClear->setText("Clear");
    auto* btLyricsFind = new QToolButton(lyricsPage);
    btLyricsFind->setText("Find");
    btLyricsFind->setToolTip("Search for lyrics on Google");
    lyricsTools->addWidget(btLyricsClear);
    lyricsTools->addWidget(btLyricsFind);
    lyricsTools->addStretch(1);
    lyricsColumn->addLayout(lyricsTools);
    eLyrics = new QPlainTextEdit(lyricsPage);
    eLyrics->setObjectName("eLyrics");
    lyricsColumn->addWidget(eLyrics, 1);
    pcSongInfo->addTab(lyricsPage, "Lyrics");
    FBinder->Bind(eLyrics, "lyrics");
    connect(btLyricsClear, &QToolButton::clicked, this, [this] { RunGuarded([this] { btLyricsClearClick(); }); });
    connect(btLyricsFind, &QToolButton::clicked, this, [this] { RunGuarded([this] { FindLyrics(); }); });

    eInfo = new QPlainTextEdit();
    eInfo->setObjectName("eInfo");
    pcSongInfo->addTab(eInfo, "Comments");
    FBinder->Bind(eInfo, "info");

    pcSongInfo->addTab(DetailsTab(), "Details");
    pcSongInfo->addTab(ReportingTab(), "Reporting fields");

    frmSongSettings = new TfrmSongSettings();
    pcSongInfo->addTab(Scrolled(frmSongSettings), "Settings");
    frmFadeSettings = new TfrmFadeSettings();
    pcSongInfo->addTab(Scrolled(frmFadeSettings), "Fading");
}

TfrmSongInfo::~TfrmSongInfo() = default;

QWidget* TfrmSongInfo::InfoTab() {
    auto* page = new QWidget();
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(3);
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* edit, int span = 3) {
        grid->addWidget(Caption(caption, page), row, 0);
        grid->addWidget(edit, row, 1, 1, span);
        ++row;
    };
    eArtist = NewEdit(page, "eArtist");
    add("Artist", eArtist);
    eTitle = NewEdit(page, "eTitle");
    add("Title", eTitle);
    eAlbum = NewEdit(page, "eAlbum");
    add("Album", eAlbum);

    eYear = NewEdit(page, "eYear");
    eGenre = new QComboBox(page);
    eGenre->setObjectName("eGenre");
    eGenre->setEditable(true);
    eGenre->setInsertPolicy(QComboBox::NoInsert);
    for (const char* genre : SongGenres) eGenre->addItem(genre);
    grid->addWidget(Caption("Year", page), row, 0);
    grid->addWidget(eYear, row, 1);
    grid->addWidget(Caption("Genre", page), row, 2);
    grid->addWidget(eGenre, row, 3);
    ++row;
    eLabel = NewEdit(page, "eLabel");
    add("Label", eLabel);
    eComposer = NewEdit(page, "eComposer");
    add("Composer", eComposer);
    eTrackNo = NewEdit(page, "eTrackNo");
    eSongType = new QComboBox(page);
    eSongType->setObjectName("eSongType");
    eSongType->addItems({"S - Normal song", "I - Station ID", "P - Promo", "J - Jingle", "A - Advertisement",
                         "N - Syndicated news", "V - Interviews", "X - Sound FX", "C - Unknown content",
                         "? - Unknown"});
    grid->addWidget(Caption("Track#", page), row, 0);
    grid->addWidget(eTrackNo, row, 1);
    grid->addWidget(Caption("Type", page), row, 2);
    grid->addWidget(eSongType, row, 3);
    ++row;
    eMood = new QComboBox(page);
    eMood->setObjectName("eMood");
    eMood->setEditable(true);
    eMood->setInsertPolicy(QComboBox::NoInsert);
    eMood->addItems(
        {"Classical", "Dance", "Dinner", "Hard", "Metal", "Rave", "Rock", "Romantic", "Slow dance", "Trance"});
    eRating = new QComboBox(page);
    eRating->setObjectName("eRating");
    for (int i = 1; i <= 9; ++i) eRating->addItem(QString::number(i));
    grid->addWidget(Caption("Mood", page), row, 0);
    grid->addWidget(eMood, row, 1);
    grid->addWidget(Caption("Rating", page), row, 2);
    grid->addWidget(eRating, row, 3);
    ++row;
    eWebsite = NewEdit(page, "eWebsite");
    add("Website", eWebsite);
    eBuyCD = NewEdit(page, "eBuyCD");
    add("Buy CD", eBuyCD);

    eFilename = NewEdit(page, "eFilename");
    eFilename->setReadOnly(true);
    btChangeFile = new TBoxButton("...", page);
    btChangeFile->setToolTip("Click to specify new location of file");
    auto* fileRow = new QHBoxLayout();
    fileRow->addWidget(eFilename, 1);
    fileRow->addWidget(btChangeFile);
    grid->addWidget(Caption("Filename", page), row, 0);
    grid->addLayout(fileRow, row, 1, 1, 3);
    ++row;

    eWeight = NewEdit(page, "eWeight");
    eWeight->setReadOnly(true);
    eWeight->setFixedWidth(50);
    tbWeight = new TKcTrackBar(page);
    tbWeight->setObjectName("tbWeight");
    tbWeight->setFixedHeight(30);
    tbWeight->SetMaxValue(100);
    tbWeight->SetMinValue(1);
    tbWeight->SetPosition(50);
    UseWindowGutter(*tbWeight);
    lbWeight = new QLabel("Rotation category", page);
    auto* weightRow = new QHBoxLayout();
    weightRow->addWidget(eWeight);
    weightRow->addWidget(tbWeight, 1);
    weightRow->addWidget(lbWeight);
    grid->addWidget(Caption("Weight:", page), row, 0);
    grid->addLayout(weightRow, row, 1, 1, 3);
    ++row;

    lbDuration = new QLabel(page);
    grid->addWidget(Caption("Duration", page), row, 0);
    grid->addWidget(lbDuration, row, 1);
    ++row;

    auto* pictureFrame = new QFrame(page);
    pictureFrame->setFrameShape(QFrame::Box);
    pPicture = pictureFrame;
    pPicture->setObjectName("pPicture");
    pPicture->setFixedSize(110, 110);
    pPicture->setAcceptDrops(true);
    pPicture->installEventFilter(this);
    auto* click = new QLabel("( Click to load )", pPicture);
    click->setAlignment(Qt::AlignCenter);
    click->setGeometry(0, 0, 110, 110);
    ePicSmall = new QLabel(pPicture);
    ePicSmall->setScaledContents(true);
    ePicSmall->setGeometry(0, 0, 110, 110);
    ePicSmall->setCursor(Qt::PointingHandCursor);
    ePicSmall->installEventFilter(this);
    lbUnsupported = new QLabel(page);
    lbUnsupported->setWordWrap(true);
    lbUnsupported->setStyleSheet("color: #800000;");
    lbUnsupported->hide();

    btLoadTag = new TBoxButton("Load Tag", page);
    btLoadTag->setToolTip("Load information from file tag");
    btSaveTag = new TBoxButton("Save Tag", page);
    btSaveTag->setToolTip("Save information to file tag");
    btAmazon = new TBoxButton("Find at Amazon", page);
    btAmazon->setToolTip("Find Album cover at Amazon");
    btApplyAlbum = new TBoxButton("Apply to Album", page);
    btApplyAlbum->setToolTip("Apply changes to all songs in this Album");
    auto* buttons = new QVBoxLayout();
    for (auto* b : {btLoadTag, btSaveTag, btAmazon, btApplyAlbum}) {
        b->setMinimumWidth(110);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    auto* pictureRow = new QHBoxLayout();
    auto* pictureColumn = new QVBoxLayout();
    pictureColumn->addWidget(pPicture);
    pictureColumn->addWidget(lbUnsupported);
    pictureRow->addLayout(pictureColumn);
    pictureRow->addLayout(buttons);
    pictureRow->addStretch(1);
    grid->addWidget(Caption("Picture", page), row, 0, Qt::AlignTop | Qt::AlignRight);
    grid->addLayout(pictureRow, row, 1, 1, 3);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    FBinder->Bind(eArtist, "artist");
    FBinder->Bind(eTitle, "title");
    FBinder->Bind(eAlbum, "album");
    FBinder->Bind(eYear, "albumyear");
    FBinder->Bind(eGenre, "genre");
    FBinder->Bind(eLabel, "label");
    FBinder->Bind(eComposer, "composer");
    FBinder->Bind(eTrackNo, "trackno");
    FBinder->Bind(eWebsite, "website");
    FBinder->Bind(eBuyCD, "buycd");
    FBinder->Bind(eSongType, "songtype", true);
    FBinder->Bind(eMood, "mood");
    FBinder->Bind(eRating, "rating");
    FBinder->Bind(eFilename, "filename");
    FBinder->Bind(eWeight, "weight");

    tbWeight->OnChange = [this](TKcCustomControl&) { RunGuarded([this] { tbWeightChange(); }); };
    btChangeFile->connect(btChangeFile, &QToolButton::clicked, this,
                          [this] { RunGuarded([this] { btChangeFileClick(); }); });
    btLoadTag->connect(btLoadTag, &QToolButton::clicked, this, [this] { RunGuarded([this] { btLoadTagClick(); }); });
    btSaveTag->connect(btSaveTag, &QToolButton::clicked, this, [this] { RunGuarded([this] { btSaveTag1Click(); }); });
    btAmazon->connect(btAmazon, &QToolButton::clicked, this, [this] { RunGuarded([this] { FindAlbumCover(); }); });
    btApplyAlbum->connect(btApplyAlbum, &QToolButton::clicked, this,
                          [this] { RunGuarded([this] { ApplyToAlbum(); }); });
    return page;
}

QWidget* TfrmSongInfo::DetailsTab() {
    auto* page = new QWidget();
    auto* grid = new QGridLayout(page);
    int row = 0;
    const auto add = [&](const QString& caption, const char* field) {
        grid->addWidget(Caption(caption, page), row, 0);
        auto* value = new QLabel(page);
        value->setObjectName(QString("d_") + field);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, row, 1, 1, 3);
        FBinder->Bind(value, field);
        ++row;
    };
    add("Song ID", "ID");
    add("Date added", "date_added");
    add("Last played", "date_played");
    add("Play count", "count_played");
    add("Request count", "count_requested");
    grid->addWidget(Caption("Duration", page), row, 0);
    lbDuration2 = new QLabel(page);
    grid->addWidget(lbDuration2, row++, 1);
    add("Weight", "weight");
    add("Balance", "balance");
    add("Filename", "filename");
    add("Status", "status");
    auto* special = new QLabel("Special settings", page);
    QFont bold = special->font();
    bold.setBold(true);
    special->setFont(bold);
    grid->addWidget(special, row++, 0, 1, 4);
    ePlayLimit = NewEdit(page, "ePlayLimit");
    ePlayLimit->setFixedWidth(50);
    ePlayLimitAction = new QComboBox(page);
    ePlayLimitAction->setObjectName("ePlayLimitAction");
    ePlayLimitAction->addItems({"none", "remove", "erase"});
    grid->addWidget(Caption("Play track", page), row, 0);
    grid->addWidget(ePlayLimit, row, 1);
    grid->addWidget(new QLabel("times and then", page), row, 2);
    grid->addWidget(ePlayLimitAction, row, 3);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(3, 1);
    FBinder->Bind(ePlayLimit, "playlimit_count");
    FBinder->Bind(ePlayLimitAction, "playlimit_action");
    return page;
}

QWidget* TfrmSongInfo::ReportingTab() {
    auto* page = new QWidget();
    auto* grid = new QGridLayout(page);
    auto* note = new QLabel(
        "These fields need to be completed to the best of your abilities to comply with SoundExchange (and others "
        "like APRA) reporting requirements:",
        page);
    note->setWordWrap(true);
    grid->addWidget(note, 0, 0, 1, 2);
    int row = 1;
    for (const auto& [caption, field] :
         std::initializer_list<std::pair<const char*, const char*>>{{"Artist", "artist"},
                                                                    {"Title", "title"},
                                                                    {"Album", "album"},
                                                                    {"Year", "albumyear"},
                                                                    {"Track#", "trackno"},
                                                                    {"Label", "label"},
                                                                    {"P-Line", "pline"},
                                                                    {"Composer", "composer"},
                                                                    {"ISRC", "ISRC"},
                                                                    {"Catalog#", "catalog"},
                                                                    {"UPC", "UPC"}}) {
        grid->addWidget(Caption(caption, page), row, 0);
        auto* edit = NewEdit(page, (std::string("r_") + field).c_str());
        grid->addWidget(edit, row++, 1);
        FBinder->Bind(edit, field);
    }
    grid->setRowStretch(row, 1);
    return page;
}

void TfrmSongInfo::SetDataset(const IDatasetPtr& Data) {
    FData = Data;
    FBinder->SetDataset(Data.get());
}

const TMetaDataConfig* TfrmSongInfo::Config() const {
    if (FConfig) return FConfig;
    if (TKelvarApi* api = ProgramKelvarApi(); api && api->MetaDataConfig()) return api->MetaDataConfig();
    static const TMetaDataConfig fallback;
    return &fallback;
}

std::string TfrmSongInfo::PictureDir() const { return Config()->LocalPictureDir(); }

void TfrmSongInfo::Init() {
    pcSongInfo->setCurrentIndex(0);
    LoadSong();
}

void TfrmSongInfo::Done() {
    frmSongSettings->Done();
    frmFadeSettings->Done();
    FBinder->SetDataset(nullptr);
    FData.reset();
}

void TfrmSongInfo::EnsureEditing() {
    if (FData && !IsEditing(*FData)) FData->Edit();
}

void TfrmSongInfo::SaveSettings() {
    if (!FData) return;
    EnsureEditing();
    TSongSettings settings;
    frmSongSettings->GetSettings(settings);
    FData->SetFieldValue("xfade", SongSettingsToString(settings));
}

void TfrmSongInfo::LoadSong() {
    if (!FData) return;
    ++FLoading;
    frmSongSettings->Done();
    frmFadeSettings->Done();
    FBinder->Load();
    const ISongInfoPtr song = SongFromRow(*FData);
    TSongSettings settings;
    StringToSongSettings(FData->GetValue("xfade"), settings);
    frmFadeSettings->Init(true, DefaultSongSettings, settings);
    frmSongSettings->Init(song, settings, frmFadeSettings);

    double weight = 0;
    if (!TryParseDouble(FData->GetValue("weight"), weight)) weight = 0;
    const int position = static_cast<int>(std::clamp(std::lround(weight), 1L, 100L));
    --FLoading;
    // Only a move of the track bar writes the weight back.
    tbWeight->SetPosition(position);
    ++FLoading;

    int64_t duration = 0;
    if (!TryParseInt64(FData->GetValue("duration"), duration)) duration = 0;
    lbDuration->setText(Text(FormatTimeMs(2, duration)));
    lbDuration2->setText(lbDuration->text());
    const std::string fileName = FData->GetValue("filename");
    btSaveTag->setEnabled(CanWriteSongTags(fileName));
    btLoadTag->setEnabled(CanReadSongTags(fileName));
    eFilename->setReadOnly(true);
    eFilename->setStyleSheet("QLineEdit { background: palette(button); }");
    try {
        ShowPicture(PictureFileIn(PictureDir(), FData->GetValue("picture")));
    } catch (...) {}
    --FLoading;
}

void TfrmSongInfo::tbWeightChange() {
    if (!FData || FLoading > 0) return;
    const int position = tbWeight->Position();
    EnsureEditing();
    FData->SetFieldValue("weight", position);
    FBinder->LoadField("weight");
    lbWeight->setText(Text(WeightCategory(position)));
}

void TfrmSongInfo::ClearPicture() {
    ePicture->clear();
    ePicSmall->clear();
    lbUnsupported->hide();
    FPictureFile.clear();
}

void TfrmSongInfo::ShowPicture(const std::string& FileName) {
    std::error_code ec;
    if (FileName.empty() || !fs::is_regular_file(FileName, ec)) {
        ClearPicture();
        return;
    }
    QImageReader reader(Text(FileName));
    const QImage image = reader.read();
    if (image.isNull()) {
        ClearPicture();
        lbUnsupported->setText(QString("Unsupported picture format or invalid picture: %1")
                                   .arg(Text(fs::path(FileName).filename().string())));
        lbUnsupported->show();
        return;
    }
    FPictureFile = FileName;
    const QPixmap pixmap = QPixmap::fromImage(image);
    ePicture->setPixmap(
        pixmap.scaled(ePicture->size().expandedTo(QSize(300, 300)), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ePicSmall->setPixmap(pixmap);
    lbUnsupported->hide();
}

void TfrmSongInfo::LoadPictureFile(const std::string& FileName) {
    if (!FData || FileName.empty()) return;
    const std::string folder = PictureDir();
    std::string target = folder + fs::path(FileName).filename().string();
    if (UpperAscii(target) != UpperAscii(FileName)) {
        target = PictureTarget(folder, FileName);
        std::error_code ec;
        if (!fs::exists(target, ec)) fs::copy_file(FileName, target, ec);
        if (ec)
            MessageDlg("Unable to copy picture. Please make sure your picture directory is valid.",
                       TMsgDlgType::Warning, MsgButton::OK);
    }
    EnsureEditing();
    FData->SetFieldValue("picture", fs::path(target).filename().string());
    ShowPicture(target);
}

void TfrmSongInfo::btClearPicClick() {
    if (!FData) return;
    EnsureEditing();
    FData->SetFieldValue("picture", std::string());
    ClearPicture();
}

void TfrmSongInfo::btLyricsClearClick() {
    if (!FData) return;
    EnsureEditing();
    FData->SetFieldValue("lyrics", std::string());
    FBinder->LoadField("lyrics");
}

void TfrmSongInfo::FindLyrics() {
    if (!FData) return;
    OpenWebPage(std::string(SearchSite) + "/search?q=lyrics+" + URLEncode(FData->GetValue("artist")) + "+" +
                URLEncode(FData->GetValue("title")));
}

void TfrmSongInfo::FindImages() {
    if (!FData) return;
    OpenWebPage(std::string(SearchSite) + "/images?q=" + URLEncode(FData->GetValue("artist")) + "+" +
                URLEncode(FData->GetValue("album")));
}

void TfrmSongInfo::PictureClick() {
    QFileDialog OD(this, "Load picture");
    OD.setFileMode(QFileDialog::ExistingFile);
    OD.setNameFilters({"Pictures (*.jpg *.jpeg *.gif *.png *.bmp)", "All files (*)"});
    if (ExecModal(OD) != QDialog::Accepted || OD.selectedFiles().isEmpty()) return;
    LoadPictureFile(OD.selectedFiles().first().toStdString());
}

void TfrmSongInfo::FindAlbumCover() {
    if (!FData) return;
    if (IsEditing(*FData)) FData->Post();
    if (kelvar::FindAlbumCover(*FData, *Config())) {
        FBinder->Load();
        ShowPicture(PictureFileIn(PictureDir(), FData->GetValue("picture")));
    }
}

void TfrmSongInfo::ApplyToAlbum() {
    if (FData) kelvar::ApplyToAlbum(*FData);
}

void TfrmSongInfo::btLoadTagClick() {
    if (!FData) return;
    try {
        EnsureEditing();
        TDatasetValues values(*FData);
        if (ReadSongTags(FData->GetValue("filename"), values))
            LoadSong();
        else
            MessageDlg("Unable to load song information from file", TMsgDlgType::Information, MsgButton::OK);
    } catch (const std::exception&) {
        MessageDlg("Unable to load song information from file (Exception occured)", TMsgDlgType::Information,
                   MsgButton::OK);
    }
}

void TfrmSongInfo::btSaveTag1Click() {
    if (!FData) return;
    // The sound effect player may hold the file open.
    if (TKelvarApi* api = ProgramKelvarApi()) api->Unload(TDeckId::SoundFX);
    try {
        SaveSettings();
        if (IsEditing(*FData)) FData->Post();
        TDatasetValues values(*FData);
        if (!WriteSongTags(FData->GetValue("filename"), values))
            MessageDlg("Unable to write song information to file", TMsgDlgType::Information, MsgButton::OK);
    } catch (const std::exception&) {
        MessageDlg("Unable to write song information to file (Exception occured)", TMsgDlgType::Information,
                   MsgButton::OK);
    }
}

void TfrmSongInfo::btChangeFileClick() {
    if (!FData) return;
    const std::string current = FData->GetValue("filename");
    if (current.find("://") != std::string::npos) {
        // A stream address is typed in place.
        eFilename->setReadOnly(false);
        eFilename->setStyleSheet("");
        eFilename->setFocus();
        return;
    }
    QFileDialog OD2(this, "Select file");
    OD2.setDirectory(Text(fs::path(current).parent_path().string()));
    OD2.selectFile(Text(current));
    if (!ExecuteMediaOpenDialog(OD2) || OD2.selectedFiles().isEmpty()) return;
    EnsureEditing();
    FData->SetFieldValue("filename", OD2.selectedFiles().first().toStdString());
    try {
        FData->Post();
    } catch (const std::exception& e) {
        const std::string message = e.what();
        if (message.find("uplicate") != std::string::npos) {
            MessageDlg("New file already exists in database.", TMsgDlgType::Error, MsgButton::OK);
            FData->Cancel();
        } else {
            MessageDlg(message, TMsgDlgType::Error, MsgButton::OK);
        }
    }
    FBinder->LoadField("filename");
}

bool TfrmSongInfo::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == ePicSmall && Event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        RunGuarded([this] { PictureClick(); });
        return true;
    }
    if (Event->type() == QEvent::DragEnter || Event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(Event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (Event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(Event);
        for (const QUrl& url : drop->mimeData()->urls())
            if (url.isLocalFile()) {
                drop->acceptProposedAction();
                const std::string file = url.toLocalFile().toStdString();
                RunGuarded([this, &file] { LoadPictureFile(file); });
                return true;
            }
    }
    return QWidget::eventFilter(Watched, Event);
}

}  // namespace kelvar
