#pragma once
// The album lookup: keyword searches in an online music catalogue that answers with XML, shown
// a page at a time as result cards; the chosen result fills the song's empty fields and its
// cover goes into the picture folder.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/web/HttpClient.h"
#include "database/Dataset.h"
#include "gui/songinfo/funAmazonInfo.h"
#include "media/tags/MetaDataConfig_imp.h"

class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace kelvar {

class TFxFancyButton;
class TGetWeb;

// Where the catalogue is and the key it wants: the GUI configuration's section "AlbumLookup"
// ("Endpoint": the catalogue's base address, "DeveloperToken", "TimeoutMs": the longest a page
// may take).
struct TAlbumLookupSettings {
    std::string Endpoint;
    std::string DeveloperToken;
    THttpTimeouts Timeouts{10000, 30000, 10000};
};
TAlbumLookupSettings ReadAlbumLookupSettings();

// The page request of a keyword search.
std::string AmazonRequestURL(const TAlbumLookupSettings& Settings, const std::string& Tag, const std::string& Keywords,
                             int Page);
// The year within a release date ("12 May, 2003" gives "2003").
std::string ReleaseYearOf(const std::string& Date);
// The extension of an image address as a safe file name part (".jpg" when there is none).
std::string ImageExtensionOf(const std::string& Url);

// A reply page read: the total number of matches and the results in document order. Raises
// std::runtime_error with the reason when the text is no XML document.
struct TAmazonReply {
    int Total = 0;
    std::vector<TAmazonInfo> Results;
};
TAmazonReply ReadAmazonReply(const std::string& Text, uint8_t ImageSize, const std::string& PictureDir);

// Largest reply page accepted.
constexpr int64_t MaxReplyPage = 2 * 1024 * 1024;

class TfoAmazonSearch : public QDialog {
public:
    TfoAmazonSearch(const TMetaDataConfig& Config, TAlbumLookupSettings Settings, QWidget* Parent = nullptr);
    ~TfoAmazonSearch() override;

    void NewSearch();
    void RequestPage();
    void Fetch(const std::string& URL);
    void StopSearch();
    void SearchResult(int StatusCode, const std::string& Text);
    void ClearResults();
    void ShowStatus(const std::string& Text);
    void AddCard(TfrmAmazonInfo* Card);
    void CardChosen(TfrmAmazonInfo& Card);
    void UpdateNavigation();
    void NextPage();
    void PreviousPage();

    const TAmazonInfo& Chosen() const { return FChosen; }
    const std::vector<TfrmAmazonInfo*>& Cards() const { return FCards; }
    bool Searching() const { return FFetch != nullptr; }
    int PageSize() const { return FPageSize; }
    void SetPageSize(int Value) { FPageSize = Value; }

    QLineEdit* eSearch = nullptr;
    TFxFancyButton* btSearch = nullptr;
    TFxFancyButton* btCancel = nullptr;
    QLabel* pResults = nullptr;
    TFxFancyButton* btPrevious = nullptr;
    TFxFancyButton* btNext = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* pError = nullptr;

    void done(int Result) override;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    const TMetaDataConfig& FConfig;
    TAlbumLookupSettings FSettings;
    std::unique_ptr<TGetWeb> FFetch;
    std::vector<TfrmAmazonInfo*> FCards;  // owned through the scroll box's widget
    QWidget* FCardBox = nullptr;
    QVBoxLayout* FCardColumn = nullptr;
    int FPageSize = 10;
    TAmazonInfo FChosen;
    int FRequestedPage = 1;
    int FCurrentPage = 1;
    int FTotal = 0;
};

// Runs the lookup for the current row of Data; true when a result was chosen, which leaves the
// row in edit state with the result's values in its empty fields.
bool FindAlbumCover(IDataset& Data, const TMetaDataConfig& Config);

}  // namespace kelvar
