#include "core/playlist/CatDirectory.h"

#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistRules.h"
#include "core/playlist/SongList.h"

namespace kelvar {

namespace {

constexpr char Delimiter = '/';
constexpr char LikeEscape = '\\';

// Characters, not bytes: the database counts a UTF-8 name by its characters.
int Utf8Length(const std::string& text) {
    int count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

}  // namespace

TCatDirectory::TCatDirectory(TSongList* songList, bool recursive, std::string folder, IPlaylistRules* rules)
    : Recursive(recursive), Folder(std::move(folder)), SongList(songList), Rules(rules) {
    if (Folder.empty() || Folder.back() != Delimiter) Folder += Delimiter;
}

void TCatDirectory::FolderWhere(std::string& where, TVariantArray& values) const {
    const int nextPosition = Utf8Length(Folder) + 1;
    if (SQLDriverType.load() == dtFirebird) {
        // Firebird's LIKE knows no escape character unless told one.
        std::string pattern;
        for (char c : Folder) {
            if (c == '%' || c == '_' || c == LikeEscape) pattern += LikeEscape;
            pattern += c;
        }
        where = " WHERE (filename LIKE :filename ESCAPE '\\') ";
        values = {pattern + "%"};
        if (!Recursive) {
            // Firebird can't tell the parameters' types inside POSITION by itself.
            where += " AND (POSITION(CAST(:slash AS VARCHAR(1)), filename, CAST(:len AS INTEGER)) = 0) ";
            values.push_back(std::string(1, Delimiter));
            values.push_back(nextPosition);
        }
        return;
    }
    // The other dialects escape with a backslash by default.
    std::string pattern;
    for (char c : Folder) {
        if (c == '\\') pattern += '\\';
        pattern += c;
    }
    where = " WHERE (filename LIKE :filename) ";
    values = {pattern + "%"};
    if (!Recursive) {
        where += " AND (LOCATE(:slash,filename,:len) = 0) ";
        values.push_back(std::string(1, Delimiter));
        values.push_back(nextPosition);
    }
}

ISongInfoPtr TCatDirectory::SelectSong(const TVariantArray& params) {
    if (!Rules) throw ECategoryError("No playlist rules set for the folder source");
    TSelection selection;
    FolderWhere(selection.Where, selection.Values);
    PrepareSelection(*Rules, params, ' ', selection);
    selection.From = " songlist ";
    selection.Fields = " * ";
    return RunSelection(std::move(selection));
}

void TCatDirectory::Rescan() {
    if (!SongList) throw ECategoryError("No song library set for the folder source");
    SongList->AddFolder(Folder, Recursive);
    std::string where;
    TVariantArray values;
    FolderWhere(where, values);
    // The key goes along so that the status changes can be written back.
    IDatasetPtr rows = PoolQuery("SELECT ID,filename,status FROM songlist " + where, values, false);
    SongList->VerifyFiles(*rows);
}

}  // namespace kelvar
