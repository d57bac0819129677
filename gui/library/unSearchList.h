#pragma once
// The search frame: finds songs of the library by artist, title, album or file name while the
// operator types. The search runs on a worker thread (core/playlist/SongSearch); the songs come
// back on the main thread and replace the result list.
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "core/playlist/SongSearch.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;

namespace kelvar {

class TFxFancyButton;
class TPlaylistManager;
class TVirtualSongTree;

class TfoSearchList : public QWidget {
public:
    explicit TfoSearchList(QWidget* Parent = nullptr);
    ~TfoSearchList() override;

    void SetPlaylistManager(std::shared_ptr<TPlaylistManager> Manager) { PlaylistManager = std::move(Manager); }
    void Init();
    void Done();
    void Search();
    void SearchResult(int ID, const ISongItemListPtr& Songs);
    void ShowResults(const ISongItemListPtr& Songs);
    // Puts Text into the search field with the caret at its end.
    void SetSearchText(const QString& Text);

    void QueueSelected(bool Top);
    void DeleteSelected(bool EraseFiles);
    void UpdateMenu();
    TSearchRequest Request() const;

    std::shared_ptr<TPlaylistManager> PlaylistManager;
    std::unique_ptr<TSongSearch> SongSearch;
    int PendingID = 0;

    QLineEdit* eSearch;
    QPushButton* btFind;
    QCheckBox *cbKeystroke, *cbSubstring, *cbFirst100;
    QComboBox* eSongType;
    QCheckBox *cbArtist, *cbTitle, *cbAlbum, *cbFilename;
    TFxFancyButton* btExit;
    TVirtualSongTree* tvSongList;
    QStatusBar* pStatus;
    QLabel* lbSummary;
    QTimer* DelayTimer;
    QMenu* puSongList;
    QAction *alQueueBottom, *alQueueTop, *alSongInfo, *alDelete, *alDeleteFile, *alSongSelectAll, *alSongSelectInvert;
    std::function<void()> OnExit;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SearchChange();
    void AfterDelete();
    // Expires with the frame, so a late result finds nothing to fill.
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

}  // namespace kelvar
