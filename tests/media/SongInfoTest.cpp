#include <gtest/gtest.h>

#include "foundation/Errors.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

TEST(SongInfo, CreateHoldsIdFileNameAndTitleInOrder) {
    auto info = TSongInfo::Create(12, "C:\\Music\\a.mp3");
    ASSERT_EQ(info->GetCount(), 3);
    EXPECT_EQ(info->GetValue(0), "ID");
    EXPECT_EQ(info->GetValue(1), "filename");
    EXPECT_EQ(info->GetValue(2), "title");
    EXPECT_EQ(info->GetValue("id"), "12");
    EXPECT_EQ(info->GetFilename(), "C:\\Music\\a.mp3");
    EXPECT_EQ(info->GetTitle(), "a.mp3");
    EXPECT_EQ(info->GetDisplayName(), "a.mp3");
    EXPECT_EQ(TSongInfo::Create(1, "/music/x/b.ogg")->GetTitle(), "b.ogg");
}

TEST(SongInfo, NumbersFallBackWhenMissingOrNotNumbers) {
    TSongInfo info;
    EXPECT_EQ(info.GetID(), -1);
    EXPECT_EQ(info.GetDuration(), 0);
    info.SetValue("ID", std::string("abc"));
    info.SetValue("duration", std::string("12x"));
    EXPECT_EQ(info.GetID(), -1);
    EXPECT_EQ(info.GetDuration(), 0);
    info.SetID(-7);
    info.SetDuration(215000);
    EXPECT_EQ(info.GetID(), -7);
    EXPECT_EQ(info.GetDuration(), 215000);
}

TEST(SongInfo, NamesIgnoreCaseAndEmptyOrNullRemoves) {
    TSongInfo info;
    info.SetValue("Artist", std::string("Someone"));
    EXPECT_EQ(info.GetValue("artist"), "Someone");
    EXPECT_EQ(info.GetArtist(), "Someone");
    EXPECT_EQ(info.GetDisplayName(), "Someone - ");
    info.SetTitle("Song");
    EXPECT_EQ(info.GetDisplayName(), "Someone - Song");
    // Replacing keeps the entry's place.
    info.SetValue("ARTIST", std::string("Other"));
    EXPECT_EQ(info.GetValue(0), "ARTIST");
    EXPECT_EQ(info.GetCount(), 2);

    info.SetValue("artist", std::nullopt);
    EXPECT_EQ(info.GetCount(), 1);
    EXPECT_EQ(info.GetArtist(), "");
    info.SetArtist("Back");
    info.SetArtist("");
    EXPECT_EQ(info.GetCount(), 1);
    info.Clear();
    EXPECT_EQ(info.GetCount(), 0);
}

TEST(SongInfo, IndexOutsideTheListThrows) {
    TSongInfo info;
    info.SetAlbum("A");
    EXPECT_EQ(info.GetValue(0), "album");
    EXPECT_THROW(info.GetValue(1), EListError);
    EXPECT_THROW(info.GetValue(-1), EListError);
}

TEST(SongInfo, CreateFromRowSkipsEmptyColumns) {
    // A row as the database hands it: NULL columns read as empty text.
    TSongInfo row;
    row.SetValue("ID", std::string("5"));
    row.SetValue("filename", std::string("/m/a.mp3"));
    row.SetValue("artist", std::string("X"));
    auto info = TSongInfo::CreateFromDataset(row, {"ID", "filename", "artist", "album"});
    EXPECT_EQ(info->GetCount(), 3);
    EXPECT_EQ(info->GetID(), 5);
    EXPECT_EQ(info->GetAlbum(), "");
    EXPECT_EQ(info->GetValue(2), "artist");
}

}  // namespace
}  // namespace kelvar
