#pragma once
// The XML documents the web logic posts (root "LOGIC") and the replies it reads. Replies come
// from outside: they are parsed without DTD processing, and text that XML cannot carry is
// dropped from what we post.
#include <string>

#include "media/SongInfo.h"

namespace kelvar {

// An empty song pointer leaves the "song" element out.
std::string MakeWebEventDocument(const ISongInfoPtr& song);
std::string MakeWebRequestDocument(const ISongInfoPtr& song, const std::string& host, const std::string& message,
                                   int code);

// The chosen song; empty when the root has no "song" element or it has no children. Raises
// EWebError when the reply is not XML.
ISongInfoPtr ReadWebSongReply(const std::string& reply);

// Takes "status" "code" and "message" when not empty and updates song (when given) from the
// reply's "song" children. Raises EWebError when the reply is not XML.
void ReadWebRequestReply(const std::string& reply, const ISongInfoPtr& song, std::string& message, int& code);

}  // namespace kelvar
