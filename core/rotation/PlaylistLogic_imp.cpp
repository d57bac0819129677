#include "core/rotation/PlaylistLogic_imp.h"

namespace kelvar {

void TPlaylistLogic::SetRules(IPlaylistRulesPtr rules) { Rules = std::move(rules); }
void TPlaylistLogic::LoadConfig(IConfigDoc&) {}
void TPlaylistLogic::SaveConfig(IConfigDoc&) {}
void TPlaylistLogic::OnEndOfSong(const ISongInfoPtr&) {}
ISongInfoPtr TPlaylistLogic::ChooseSong() { return nullptr; }
void TPlaylistLogic::OnPlay(const ISongInfoPtr&) {}
void TPlaylistLogic::OnRequest(const ISongInfoPtr&, const std::string&, std::string&, int&) {}
void TPlaylistLogic::OnFail(const ISongInfoPtr&) {}

}  // namespace kelvar
