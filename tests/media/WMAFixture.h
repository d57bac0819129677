#pragma once
// Windows Media files made at test time: a tone encoded as WMA version 2 in an ASF container.
#include <map>
#include <string>

namespace kelvar::test {

// Writes Ms of a 440 Hz tone; Metadata goes into the header ("title", "author", "copyright",
// "comment" and any other attribute name). Throws std::runtime_error when the libraries fail.
void MakeWmaFile(const std::string& path, int ms, const std::map<std::string, std::string>& metadata = {},
                 int rate = 44100, int channels = 2, int bitrate = 128000);

}  // namespace kelvar::test
