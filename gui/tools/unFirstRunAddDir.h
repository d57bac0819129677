#pragma once
// The folder import: a small modal progress dialog that walks a folder (and, when asked, its
// sub-folders) for music files and adds them to the song library in batches, into a category
// or as a list of songs for the caller.
#include <QDialog>
#include <string>
#include <vector>

#include "core/playlist/SongItem.h"

class QLabel;
class QProgressBar;

namespace kelvar {

class TCustomCategory;
class TFxFancyButton;

class TfoAddDir : public QDialog {
public:
    // A batch is handed over as soon as more than this many files are pending.
    static constexpr int BatchLimit = 200;

    // Category null: the songs are collected into FSongs instead.
    TfoAddDir(TCustomCategory* Category, const std::string& Folder, bool Recursive, QWidget* Parent = nullptr);

    // Progress of the batch being added (also the library's and the category's progress event
    // while a batch runs); lets pending events run so that Cancel works.
    void UpdateProgress(int Percent);
    // Walks the folder once per mask and adds what it finds; closes the dialog at the end.
    void Run();

    QLabel* lbCaption = nullptr;
    QLabel* lbDirectory = nullptr;
    QLabel* lbTotal = nullptr;
    QLabel* lbAdded = nullptr;
    QProgressBar* eProgess = nullptr;
    TFxFancyButton* btClose = nullptr;

    // 2 while running; 1 once the run ended without Cancel.
    int Tag = 2;
    bool FCancelled = false;
    // A batch failed: the run ended early and the import is not complete.
    bool FFailed = false;
    // Set once the run began; a preview sets it to show the dialog without a run.
    bool FStarted = false;
    // The songs added, without a category (null until the first batch).
    ISongItemListPtr FSongs;
    int FPending = 0;  // collected since the last batch
    int FFound = 0;    // all files found
    int FAdded = 0;    // handed over in finished batches
    int FBatch = 0;    // size of the batch being added

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void WMStart();
    void PostClose();
    void ScanFolder(const std::string& Folder);
    void Flush();

    TCustomCategory* FCategory;
    std::string FFolder;  // with a trailing delimiter
    bool FRecursive;
    bool FRunning = false;
    std::string FMask;  // the extension of the mask being scanned, with its dot
    std::vector<std::string> FFiles;
};

// Imports the folder into the category (not null); true only when the run ended without Cancel
// and every batch was added.
bool ImportFolderToCategory(TCustomCategory* Category, const std::string& Folder, bool Recursive);
// Imports the folder into the library; Songs gets the songs of the finished batches (null when
// nothing was added). True as for ImportFolderToCategory.
bool ImportFolderToList(const std::string& Folder, bool Recursive, ISongItemListPtr& Songs);

}  // namespace kelvar
