#pragma once
// One result card of the album lookup: the album's details and its cover, which the card
// downloads itself into a temporary file of the picture folder.
#include <QFrame>
#include <functional>
#include <memory>
#include <string>

#include "core/web/HttpClient.h"

class QLabel;

namespace kelvar {

class TFxFancyButton;
class TGetWeb;
class TWebThread;

struct TAmazonInfo {
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    std::string UPC;
    std::string URL;  // product page
    std::string ImageURL;
    std::string LocalPicture;  // where the cover is downloaded to; empty once it proved unusable
};

// Bound of one cover picture download.
constexpr int64_t MaxPictureDownload = 8 * 1024 * 1024;

class TfrmAmazonInfo : public QFrame {
public:
    explicit TfrmAmazonInfo(const TAmazonInfo& Info, QWidget* Parent = nullptr);
    ~TfrmAmazonInfo() override;

    void ShowInfo();
    // The picture download's result (main thread), whatever its status.
    void PictureLoaded(int StatusCode, const std::string& Text);
    void Apply();
    void StopDownload();
    // Starts the cover download into the record's local picture file.
    void StartDownload(const THttpTimeouts& Timeouts);

    const TAmazonInfo& Info() const { return FInfo; }
    bool PictureShown() const { return FPictureShown; }

    std::function<void(TfrmAmazonInfo&)> OnApply;

    QLabel* lbNO = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbPicInfo = nullptr;
    QLabel* lbArtist = nullptr;
    QLabel* lbAlbum = nullptr;
    QLabel* lbYear = nullptr;
    QLabel* lbUPC = nullptr;
    QLabel* lbGenre = nullptr;
    TFxFancyButton* btBuyCD = nullptr;
    TFxFancyButton* btApply = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void btBuyCDClick();
    void ShowNote(const QString& Text, bool Failure);

    TAmazonInfo FInfo;
    std::unique_ptr<TGetWeb> FDownload;
    bool FPictureShown = false;
    bool FPictureClickable = false;
};

// Deletes a stale file of the record's local picture name, makes the card and starts its
// picture download.
TfrmAmazonInfo* CreateAmazonInfoFrame(const TAmazonInfo& Info, int Number, const THttpTimeouts& Timeouts);

// True when the file starts with "GIF"; false on any error.
bool IsGIFFile(const std::string& FileName);

// Opens an http or https address with the desktop's browser; anything else is refused.
bool OpenWebPage(const std::string& Url);

}  // namespace kelvar
