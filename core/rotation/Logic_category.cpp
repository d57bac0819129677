#include "core/rotation/Logic_category.h"

#include <filesystem>
#include <fstream>

#include "core/playlist/CatDirectory.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/RotationConfig.h"
#include "core/rotation/RotationErrors.h"
#include "core/rotation/RotationScript.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

TDLVariant Now() { return TDLVariant::FromDateTime(NowDateTime()); }

bool IsMusic(const ISongInfo& song) { return song.GetValue("songtype") == "S"; }

const std::vector<std::string> RulesFlagNames{"prEnforceRules", "EnforceRules"};
const std::vector<std::string> RescanFlagNames{"Rescan"};

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

TplCategoryRotation::TplCategoryRotation() : TplCategoryRotation(CurrentPlaylistManager(), CurrentPlaylistRules()) {}

TplCategoryRotation::TplCategoryRotation(std::shared_ptr<TPlaylistManager> manager, IPlaylistRulesPtr controlRules)
    : DelayedQuery(RotationStatisticsQuery()),
      PlaylistManager(std::move(manager)),
      ControlRules(std::move(controlRules)) {
    if (!PlaylistManager) throw ERotationError("Clockwheel logic: no playlist control");
}

void TplCategoryRotation::LoadConfig(IConfigDoc& node) {
    PlayDec = ReadConfigFloat(node, "PlayDec", PlayDec);
    RequestInc = ReadConfigFloat(node, "RequestInc", RequestInc);
    LoadStringsFromConfig(*node.Section("RotationFormat"), RotationFormat);
    FLoggedLines.clear();
}

void TplCategoryRotation::SaveConfig(IConfigDoc& node) {
    node.WriteFloat("PlayDec", PlayDec);
    node.WriteFloat("RequestInc", RequestInc);
    auto lines = node.Section("RotationFormat");
    lines->Clear();
    SaveStringsToConfig(*lines, RotationFormat);
}

void TplCategoryRotation::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw ERotationError("Cannot read the clockwheel script " + fileName);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    if (in.bad()) throw ERotationError("Cannot read the clockwheel script " + fileName);
    RotationFormat = std::move(lines);
    FLoggedLines.clear();
}

void TplCategoryRotation::SaveToFile(const std::string& fileName) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    for (const std::string& line : RotationFormat) out << line << '\n';
    out.flush();
    if (!out) throw ERotationError("Cannot write the clockwheel script " + fileName);
}

ISongInfoPtr TplCategoryRotation::ChooseSong() {
    const int count = static_cast<int>(RotationFormat.size());
    if (count == 0) return nullptr;
    if (Position < 0 || Position >= count) Position = 0;
    ISongInfoPtr song;
    // At most to the end of the script: the next call starts again at its top.
    while (!song && Position < count) {
        const int index = Position++;
        song = RunLine(index);
    }
    if (song)
        DelayedQuery->ExecSQL("UPDATE songlist SET date_artist_played=:now WHERE ID = :ID", {Now(), song->GetID()},
                              nullptr, false);
    return song;
}

ISongInfoPtr TplCategoryRotation::RunLine(int index) {
    const std::vector<std::string> tokens = ParseRotationLine(RotationFormat[static_cast<size_t>(index)]);
    const std::string& command = tokens[0];
    if (command == "CAT") {
        if (tokens.size() < 5) {
            LogBadLine(index, "incomplete category line");
            return nullptr;
        }
        TCustomCategory* category = PlaylistManager->Categories->FindByName(tokens[1]);
        if (!category) {
            LogBadLine(index, "no category named \"" + tokens[1] + "\"");
            return nullptr;
        }
        return category->SelectSong(
            {RotationMethodFromText(tokens[3]), RotationFlagFromText(tokens[4], RulesFlagNames)});
    }
    if (command == "DIR" || command == "SUBDIR") return RunFolderLine(index, tokens);
    if (command == "REQ" || command == "REQUEST" || command == "FILE") return nullptr;
    // Lines without a command (blank lines, comments) pass quietly.
    if (!command.empty()) LogBadLine(index, "unknown command");
    return nullptr;
}

ISongInfoPtr TplCategoryRotation::RunFolderLine(int index, const std::vector<std::string>& tokens) {
    if (tokens.size() < 3) {
        LogBadLine(index, "incomplete folder line");
        return nullptr;
    }
    if (!IsFolder(tokens[1])) {
        LogBadLine(index, "no folder \"" + tokens[1] + "\"");
        return nullptr;
    }
    IPlaylistRulesPtr rules = FolderRules();
    TCatDirectory folder(PlaylistManager->SongList.get(), tokens[0] == "SUBDIR", tokens[1], rules.get());
    if (RotationFlagFromText(tokens[2], RescanFlagNames)) {
        folder.Rescan();
        return nullptr;
    }
    if (tokens.size() < 5) {
        LogBadLine(index, "incomplete folder line");
        return nullptr;
    }
    if (tokens.size() > 5 && RotationFlagFromText(tokens[5], RescanFlagNames)) folder.Rescan();
    return folder.SelectSong({RotationMethodFromText(tokens[3]), RotationFlagFromText(tokens[4], RulesFlagNames)});
}

IPlaylistRulesPtr TplCategoryRotation::FolderRules() const { return ControlRules ? ControlRules : Rules; }

void TplCategoryRotation::LogBadLine(int index, const std::string& why) {
    if (!FLoggedLines.insert(index).second) return;
    LogMessage("Clockwheel script line " + std::to_string(index + 1) + " skipped (" + why + ")", "CORE",
               LogKind::Warning);
}

void TplCategoryRotation::OnPlay(const ISongInfoPtr& song) {
    if (!song || !IsMusic(*song) || PlayDec == 0) return;
    DelayedQuery->ExecSQL("UPDATE songlist SET weight=weight-:playinc WHERE (ID = :ID) AND (weight>=:minweight)",
                          {PlayDec, song->GetID(), 10 + PlayDec}, nullptr, false);
}

void TplCategoryRotation::OnRequest(const ISongInfoPtr& song, const std::string&, std::string&, int&) {
    if (!song || !IsMusic(*song) || RequestInc == 0) return;
    DelayedQuery->ExecSQL("UPDATE songlist SET weight=weight+:reqinc  WHERE (ID = :ID) AND (weight<=:maxweight)",
                          {RequestInc, song->GetID(), 100 - RequestInc}, nullptr, false);
}

void TplCategoryRotation::OnFail(const ISongInfoPtr& song) {
    if (!song) return;
    // A zero weight must not fail the statement and so lose the new weight and date.
    DelayedQuery->ExecSQL(
        "UPDATE songlist SET weight=1, balance=balance+CASE WHEN weight > 0 THEN 1/weight ELSE 0 END, "
        "date_played=:now WHERE ID = :ID",
        {Now(), song->GetID()}, nullptr, false);
}

namespace {

void CreateCategoryLogic(IInterfacePtr* instance, const char*) { *instance = std::make_shared<TplCategoryRotation>(); }

}  // namespace

TPluginInfo* CategoryLogicInfo() {
    static TPluginInfo info{"Clockwheel (Category rotation) logic module",
                            "Playlist rotation logic module\nRuns a script of categories and folders, line by line.",
                            0x0200, "{F130B7DA-D248-49B6-9F10-1958A7F0C9EE}", CreateCategoryLogic};
    return &info;
}

}  // namespace kelvar
