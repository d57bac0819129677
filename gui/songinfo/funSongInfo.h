#pragma once
// The song information frame: the descriptive, reporting and playout fields of the current row
// of an open song result, bound to its fields; tag reading and writing, the picture in the
// picture folder, web searches, the album lookup and apply to album.
#include <QWidget>
#include <string>

#include "database/Dataset.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace kelvar {

class TBoxButton;
class TDataBinder;
class TKcTrackBar;
class TMetaDataConfig;
class TfrmFadeSettings;
class TfrmSongSettings;

// The genre names offered by the "Genre" list.
extern const char* const SongGenres[133];
// The category a weight belongs to ("No rotation" .. "Power hit").
std::string WeightCategory(int Weight);
// A picture name from the database or a tag as a file of Folder; empty (and logged) when the
// name is not a plain file name: absolute paths, folders and ".." stay outside.
std::string PictureFileIn(const std::string& Folder, const std::string& Name);

class TfrmSongInfo : public QWidget {
public:
    explicit TfrmSongInfo(QWidget* Parent = nullptr);
    ~TfrmSongInfo() override;

    void SetDataset(const IDatasetPtr& Data);
    void Init();
    void Done();
    void EnsureEditing();
    void SaveSettings();
    // Shows the current row again (after a move to another row).
    void Reload() { LoadSong(); }

    void ShowPicture(const std::string& FileName);
    void ClearPicture();
    void LoadPictureFile(const std::string& FileName);
    void FindAlbumCover();
    void ApplyToAlbum();
    void btLoadTagClick();
    void btSaveTag1Click();
    void btChangeFileClick();
    void btClearPicClick();
    void btLyricsClearClick();
    void FindLyrics();
    void FindImages();
    void PictureClick();

    const std::string& PictureFile() const { return FPictureFile; }
    // Metadata settings in use (the core's, unless a test set its own).
    void SetMetaDataConfig(const TMetaDataConfig* Config) { FConfig = Config; }

    QTabWidget* pcSongInfo = nullptr;
    // "Info"
    QLineEdit* eArtist = nullptr;
    QLineEdit* eTitle = nullptr;
    QLineEdit* eAlbum = nullptr;
    QLineEdit* eYear = nullptr;
    QComboBox* eGenre = nullptr;
    QLineEdit* eLabel = nullptr;
    QLineEdit* eComposer = nullptr;
    QLineEdit* eTrackNo = nullptr;
    QLineEdit* eWebsite = nullptr;
    QLineEdit* eBuyCD = nullptr;
    QComboBox* eSongType = nullptr;
    QComboBox* eMood = nullptr;
    QComboBox* eRating = nullptr;
    QLineEdit* eFilename = nullptr;
    QLineEdit* eWeight = nullptr;
    TKcTrackBar* tbWeight = nullptr;
    QLabel* lbWeight = nullptr;
    QLabel* lbDuration = nullptr;
    QWidget* pPicture = nullptr;
    QLabel* ePicSmall = nullptr;
    QLabel* lbUnsupported = nullptr;
    TBoxButton* btChangeFile = nullptr;
    TBoxButton* btLoadTag = nullptr;
    TBoxButton* btSaveTag = nullptr;
    TBoxButton* btAmazon = nullptr;
    TBoxButton* btApplyAlbum = nullptr;
    // "Picture"
    QLabel* ePicture = nullptr;
    // "Lyrics", "Comments"
    QPlainTextEdit* eLyrics = nullptr;
    QPlainTextEdit* eInfo = nullptr;
    // "Details"
    QLabel* lbDuration2 = nullptr;
    QLineEdit* ePlayLimit = nullptr;
    QComboBox* ePlayLimitAction = nullptr;
    // "Settings", "Fading"
    TfrmSongSettings* frmSongSettings = nullptr;
    TfrmFadeSettings* frmFadeSettings = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void LoadSong();
    void tbWeightChange();
    const TMetaDataConfig* Config() const;
    std::string PictureDir() const;
    QWidget* InfoTab();
    QWidget* DetailsTab();
    QWidget* ReportingTab();

    IDatasetPtr FData;
    TDataBinder* FBinder = nullptr;
    const TMetaDataConfig* FConfig = nullptr;
    std::string FPictureFile;
    int FLoading = 0;
};

}  // namespace kelvar
