#include "gui/songinfo/funAmazonInfo.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFontInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "controls/FxFancyButton.h"
#include "core/web/unGetWeb.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/DataBinder.h"

namespace kelvar {

namespace {

// A cover download with a size bound: a server that sends without end fails instead of
// filling the disk.
class TPictureFetch : public TGetWeb {
public:
    using TGetWeb::TGetWeb;

protected:
    std::string Perform(THttpClient& client) override {
        client.MaxReplySize = MaxPictureDownload;
        return TGetWeb::Perform(client);
    }
};

QString Text(const std::string& Value) { return QString::fromStdString(Value); }

QLabel* ValueLabel(const QString& Caption, QGridLayout* Grid, int Row, QWidget* Parent) {
    auto* caption = new QLabel(Caption, Parent);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    Grid->addWidget(caption, Row, 1);
    auto* value = new QLabel(Parent);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Grid->addWidget(value, Row, 2);
    return value;
}

}  // namespace

bool IsGIFFile(const std::string& FileName) {
    try {
        std::ifstream in(FileName, std::ios::binary);
        char head[3] = {};
        return in.read(head, 3) && head[0] == 'G' && head[1] == 'I' && head[2] == 'F';
    } catch (...) {
        return false;
    }
}

bool OpenWebPage(const std::string& Url) {
    const QUrl url(Text(Url), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // Addresses come from the network: only web pages, never local programs or files.
    if (!url.isValid() || (scheme != "http" && scheme != "https") || url.host().isEmpty()) {
        LogMessage("Web page not opened (not an http or https address): " + Url, "GUI", LogKind::Warning);
        return false;
    }
    return QDesktopServices::openUrl(url);
}

TfrmAmazonInfo::TfrmAmazonInfo(const TAmazonInfo& Info, QWidget* Parent) : QFrame(Parent), FInfo(Info) {
    setFrameShape(QFrame::StyledPanel);
    setFixedHeight(156);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    lbNO = new QLabel(this);
    QFont big = lbNO->font();
    big.setBold(true);
    big.setPixelSize(QFontInfo(big).pixelSize() + 5);
    lbNO->setFont(big);
    lbNO->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lbNO->setFixedWidth(36);
    grid->addWidget(lbNO, 0, 0, 6, 1);

    auto* pictureBox = new QWidget(this);
    auto* pictureColumn = new QVBoxLayout(pictureBox);
    pictureColumn->setContentsMargins(0, 0, 0, 0);
    pictureColumn->addWidget(new QLabel("Album picture", pictureBox));
    Image1 = new QLabel(pictureBox);
    Image1->setFixedSize(110, 110);
    Image1->setScaledContents(true);
    Image1->setToolTip("Loading...");
    Image1->setFrameShape(QFrame::Box);
    Image1->installEventFilter(this);
    pictureColumn->addWidget(Image1);
    lbPicInfo = new QLabel("Picture loading...", Image1);
    lbPicInfo->setAlignment(Qt::AlignCenter);
    lbPicInfo->setWordWrap(true);
    lbPicInfo->setGeometry(0, 0, 110, 110);
    grid->addWidget(pictureBox, 0, 3, 6, 1);

    lbArtist = ValueLabel("Artist", grid, 0, this);
    lbAlbum = ValueLabel("Album", grid, 1, this);
    lbYear = ValueLabel("Year", grid, 2, this);
    lbUPC = ValueLabel("UPC", grid, 3, this);
    lbGenre = ValueLabel("Genre", grid, 4, this);
    auto* buttons = new QHBoxLayout();
    btBuyCD = new TFxFancyButton("Buy CD / More info", this);
    btBuyCD->setFixedSize(130, 25);
    btApply = new TFxFancyButton("Apply information", this);
    btApply->setFixedSize(130, 25);
    btApply->setEnabled(false);
    buttons->addWidget(btBuyCD);
    buttons->addWidget(btApply);
    buttons->addStretch(1);
    grid->addLayout(buttons, 5, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    btBuyCD->OnClick = [this](TFxFancyButton&) { RunGuarded([this] { btBuyCDClick(); }); };
    btApply->OnClick = [this](TFxFancyButton&) { RunGuarded([this] { Apply(); }); };
}

TfrmAmazonInfo::~TfrmAmazonInfo() { StopDownload(); }

void TfrmAmazonInfo::ShowInfo() {
    lbArtist->setText(Text(FInfo.Artist));
    lbAlbum->setText(Text(FInfo.Album));
    lbYear->setText(Text(FInfo.Year));
    lbUPC->setText(Text(FInfo.UPC));
    lbGenre->setText(Text(FInfo.Genre));
    SetFormTag(this, 2);
}

void TfrmAmazonInfo::StartDownload(const THttpTimeouts& Timeouts) {
    StopDownload();
    if (FInfo.ImageURL.empty() || FInfo.LocalPicture.empty()) {
        PictureLoaded(0, "No picture");
        return;
    }
    FDownload = std::make_unique<TPictureFetch>(FInfo.ImageURL);
    FDownload->FileName = FInfo.LocalPicture;
    FDownload->Timeouts = Timeouts;
    FDownload->SetOnResultSync(
        [this](TWebThread&, int status, const std::string& text) { RunGuarded([&] { PictureLoaded(status, text); }); });
    FDownload->Resume();
}

void TfrmAmazonInfo::StopDownload() {
    if (!FDownload) return;
    FDownload->Stop();
    FDownload.reset();
}

void TfrmAmazonInfo::ShowNote(const QString& Text, bool Failure) {
    lbPicInfo->setText(Text);
    lbPicInfo->setStyleSheet(Failure ? "color: #800000;" : "");
    lbPicInfo->show();
}

void TfrmAmazonInfo::PictureLoaded(int, const std::string&) {
    btApply->setEnabled(true);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip("Click to apply information");
    FPictureClickable = true;
    std::error_code ec;
    if (FInfo.LocalPicture.empty() || !std::filesystem::exists(FInfo.LocalPicture, ec)) {
        // Nothing arrived, so choosing this card stores no picture.
        FInfo.LocalPicture.clear();
        ShowNote("Picture not available", false);
        return;
    }
    QImageReader reader(Text(FInfo.LocalPicture));
    const QImage image = reader.read();  // the first frame of an animation
    if (image.isNull()) {
        ShowNote(IsGIFFile(FInfo.LocalPicture) ? "Picture not available" : "Failed to load!", true);
        FInfo.LocalPicture.clear();
        return;
    }
    Image1->setPixmap(QPixmap::fromImage(image));
    lbPicInfo->hide();
    FPictureShown = true;
}

void TfrmAmazonInfo::Apply() {
    SetFormTag(this, 1);
    if (OnApply) OnApply(*this);
}

void TfrmAmazonInfo::btBuyCDClick() { OpenWebPage(FInfo.URL); }

bool TfrmAmazonInfo::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == Image1 && FPictureClickable && Event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        Apply();
        return true;
    }
    return QFrame::eventFilter(Watched, Event);
}

TfrmAmazonInfo* CreateAmazonInfoFrame(const TAmazonInfo& Info, int Number, const THttpTimeouts& Timeouts) {
    if (!Info.LocalPicture.empty()) ForceDeleteFile(Info.LocalPicture);
    auto* card = new TfrmAmazonInfo(Info);
    card->ShowInfo();
    card->lbNO->setText(QString::number(Number));
    card->StartDownload(Timeouts);
    return card;
}

}  // namespace kelvar
