#pragma once
// The song information editor dialog and the ways the windows open it: for the selected rows of
// a song list, for song IDs, or for an open result.
#include <QDialog>
#include <vector>

#include "database/Dataset.h"

class QListWidget;

namespace kelvar {

class TfrmOKCancel;
class TfrmSongInfo;
class TVirtualSongTree;

// Most songs one editor run takes.
constexpr int MaxEditedSongs = 200;

class TfoSongInfo : public QDialog {
public:
    // Client width without the song list.
    static constexpr int ClientWidth = 495;
    static constexpr int ListWidth = 180;

    explicit TfoSongInfo(QWidget* Parent = nullptr);
    ~TfoSongInfo() override;

    void Init(const IDatasetPtr& Data);
    void Done();
    void LoadList(IDataset& Data);
    void lvSongClick();

    QListWidget* lvSong = nullptr;
    TfrmSongInfo* frmSongInfo1 = nullptr;
    TfrmOKCancel* frmOKCancel = nullptr;

    // OK saves the current row first; a failed save keeps the dialog open.
    void done(int Result) override;

private:
    IDatasetPtr FData;
};

// The songs of the tree's selected rows (at most MaxEditedSongs); false for none.
bool EditSelectedSongs(const TVirtualSongTree& Tree);
// Opens the songs with these IDs; an empty list opens nothing and answers false.
bool EditSongIDs(const std::vector<int>& IDs);
// Edits the rows of an editable result; true when closed with OK.
bool EditSongs(const IDatasetPtr& Data);

}  // namespace kelvar
