#pragma once
// Song rows and queue rows for the rotation tests, on the song database fixture.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "common/SongTestDatabase.h"
#include "core/playlist/PlaylistUtils.h"
#include "database/SQLPool.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/Logger.h"

namespace kelvar::rotationtest {

// Keeps the log lines of a test.
class TCaptureLogger : public ILogger {
public:
    void Log(const std::string& message, const std::string& source, TLogKind kind) override {
        std::lock_guard lock(FLock);
        FLines.push_back(std::string(1, "XEWNIDT"[kind % 7]) + " [" + source + "] " + message);
    }
    // Lines that contain Text.
    int Count(const std::string& text) const {
        std::lock_guard lock(FLock);
        return static_cast<int>(std::count_if(FLines.begin(), FLines.end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

    std::string Dump() const {
        std::lock_guard lock(FLock);
        std::string text;
        for (const auto& line : FLines) text += line + "\n";
        return text;
    }

private:
    mutable std::mutex FLock;
    std::vector<std::string> FLines;
};

// A short silent 16-bit stereo WAV file.
inline void WriteSilentWav(const std::string& path, uint32_t frames = 4410) {
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    const uint32_t bytes = frames * 4;
    f.write("RIFF", 4);
    u32(f, 36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, 2);
    u32(f, 44100);
    u32(f, 44100 * 4);
    u16(f, 4);
    u16(f, 16);
    f.write("data", 4);
    u32(f, bytes);
    const std::vector<char> silence(bytes, 0);
    f.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

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
    // The tests write a lot and need no durability: forced writes off, so that every commit
    // doesn't wait for the disk.
    static void SetUpTestSuite() {
        songtest::TSongDbFixture::SetUpTestSuite();
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        const char dpb[] = {
            isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A', isc_dpb_force_write, 1, 0};
        if (f.isc_attach_database(status, 0, Db->Path.c_str(), &db, sizeof dpb, dpb) == 0)
            f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
    }

    // Adds a library row and answers its ID.
    static int AddSong(const TSongRow& song) {
        static int counter = 0;
        auto rows = PoolQuery("SELECT * FROM songlist WHERE ID = 0", {}, false);
        rows->Append();
        rows->SetFieldValue("filename",
                            song.FileName.empty() ? "/music/" + std::to_string(++counter) + ".mp3" : song.FileName);
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
        PoolExecSQL(
            "INSERT INTO queuelist (ID, songID, sortID, requestID) "
            "VALUES (GEN_ID(GEN_queuelist_ID, 1), :songID, GEN_ID(GEN_queuelist_ID, 0) * 1000, 0)",
            {songID});
    }

    // Minutes before now, as the database stores dates.
    static TDLVariant MinutesAgo(double minutes) { return TDLVariant::FromDateTime(NowDateTime() - minutes / 1440.0); }

    static double FieldOf(int songID, const std::string& field) {
        return PoolQuery("SELECT " + field + " AS V FROM songlist WHERE ID = :ID", {songID})
            ->GetFieldValue("V")
            .AsFloat();
    }

    static std::shared_ptr<IConfigDoc> NewConfig() { return TConfigDoc_XML::Create(""); }
};

}  // namespace kelvar::rotationtest
