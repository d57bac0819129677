#pragma once
// The media library as stored in songlist: adds files, folders and stream addresses with their
// starting rotation values, deletes songs with their list rows, erases song files and checks
// stored files against the disk.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/playlist/IntegerList.h"
#include "core/playlist/ProgressHandler.h"
#include "core/playlist/SQLPoolEnabled.h"
#include "core/playlist/SongItem.h"

namespace kelvar {

// The weight newly added songs get ("Songlist"/"DefWeight" of the playlist control).
extern std::atomic<int32_t> DefaultWeight;

class TSongInfo;
class TLibraryWriter;

// The name a file is stored under: absolute, without "." or ".." steps or doubled delimiters,
// symbolic links resolved as far as the path exists. Addresses and CD tracks stay as given.
std::string CanonicalFileName(const std::string& fileName);

// Copies the tag values that have a column into the row, each held to what its column takes;
// the row's key and file name stay.
void CopyTagValues(const TSongInfo& tags, IDataset& row);

class TSongList : public TSQLPoolEnabled {
public:
    TSongList();
    ~TSongList() override;

    // While it lives, the imports and deletions of its thread share one write connection and
    // commit in batches (a maintenance run over thousands of songs); nested runs join the outer.
    class TWriteRun {
    public:
        explicit TWriteRun(TSongList& songs);
        ~TWriteRun();
        TWriteRun(const TWriteRun&) = delete;
        TWriteRun& operator=(const TWriteRun&) = delete;

    private:
        TSongList& FSongs;
        bool FOwner = false;
    };

    // Files looked up per step of an import, new songs per commit of an import, deletions per
    // commit of a run.
    static constexpr size_t ImportGroup = 100;
    static constexpr size_t ImportCommitEvery = 5000;
    static constexpr size_t RunCommitEvery = 1000;

    std::function<void(TSongList& sender, int percent, const std::string& text)> OnProgress;

    // Masks of the files taken from folders, in order.
    static const std::vector<std::string>& FolderMasks();

    // The library's progress handler (made on first use: Total 1, "Busy...").
    IProgressHandlerPtr Progress();

    void FindFiles(std::vector<std::string>& list, const std::string& mask, bool recursive, const std::string& folder);
    ISongItemListPtr AddFolder(const std::string& folder, bool recursive);
    // A file already stored is answered from its row; a failed post propagates.
    ISongItemListPtr AddFile(const std::string& fileName, const std::string& display);
    // One item per stored file, in the order of Files; files that can't be stored are left out.
    ISongItemListPtr AddFileList(const std::vector<std::string>& files);

    // Remove the songs with their category, queue and request rows; history rows stay. True
    // when a songlist row went.
    bool DeleteSong(int32_t songID);
    bool DeleteSongs(const TIntegerList& songIDs);
    // Deletes the song's file (when it exists) and the song; true when a file was deleted.
    bool EraseSong(int32_t songID);
    // Status 6 for a missing file of status 0, status 0 for an existing file of status 6 or 1.
    void VerifyFiles(IDataset& rows);

    static void FillSongItem(IDataset& row, TSongItem& item);
    // Starting values of a new row, then the file's tags; failures leave the values set so far.
    static void InitNewSong(IDataset& row, const std::string& fileName, std::string display);

private:
    // The run's writer when a run of this thread is open.
    TLibraryWriter* RunWriter() const;
    // Runs a deletion's statements in one transaction; the queue counts its rows again.
    void RunDeletion(const std::function<void(ISQLConnection&)>& statements);
    TProgressCallback ProgressCallback();

    IProgressHandlerPtr FProgress;
    std::unique_ptr<TLibraryWriter> FRunWriter;
    std::thread::id FRunThread;
};

}  // namespace kelvar
