#pragma once
// Song rows and queue rows for the rotation tests, on the song database fixture.
#include <string>

#include "common/SongTestDatabase.h"
#include "core/playlist/PlaylistUtils.h"
#include "database/SQLPool.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar::rotationtest {

struct TSongRow {
    std::string Artist;
    std::string Title;
    std::string Album;
    double Weight = 65;
    double Balance = 0;
    std::string SongType = "S";
    int Status = 0;
    std::string FileName;  // "/music/<n>.mp3" when empty
};

class TRotationFixture : public songtest::TSongDbFixture {
protected:
    // Adds a library row and answers its ID.
    static int AddSong(const TSongRow& song) {
        static int counter = 0;
        auto rows = PoolQuery("SELECT * FROM songlist WHERE ID = 0", {}, false);
        rows->Append();
        rows->SetFieldValue("filename", song.FileName.empty() ? "/music/" + std::to_string(++counter) + ".mp3"
                                                             : song.FileName);
        rows->SetFieldValue("artist", song.Artist);
        rows->SetFieldValue("title", song.Title);
        rows->SetFieldValue("album", song.Album);
        rows->SetFieldValue("weight", song.Weight);
        rows->SetFieldValue("balance", song.Balance);
        rows->SetFieldValue("songtype", song.SongType);
        rows->SetFieldValue("status", song.Status);
        rows->SetFieldValue("duration", 180000);
        rows->Post();
        return static_cast<int>(rows->GetFieldValue("ID").AsInteger());
    }

    static int AddSong(const std::string& artist, const std::string& title, const std::string& album) {
        TSongRow row;
        row.Artist = artist;
        row.Title = title;
        row.Album = album;
        return AddSong(row);
    }

    static void Enqueue(int songID) {
        PoolExecSQL("INSERT INTO queuelist (ID, songID, sortID, requestID) "
                    "VALUES (GEN_ID(GEN_queuelist_ID, 1), :songID, GEN_ID(GEN_queuelist_ID, 0) * 1000, 0)",
                    {songID});
    }

    // Minutes before now, as the database stores dates.
    static TDLVariant MinutesAgo(double minutes) { return TDLVariant::FromDateTime(NowDateTime() - minutes / 1440.0); }

    static double FieldOf(int songID, const std::string& field) {
        return PoolQuery("SELECT " + field + " AS V FROM songlist WHERE ID = :ID", {songID})->GetFieldValue("V").AsFloat();
    }

    static std::shared_ptr<IConfigDoc> NewConfig() { return TConfigDoc_XML::Create(""); }
};

}  // namespace kelvar::rotationtest
