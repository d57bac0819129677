#pragma once
// The clockwheel script language: one command per line, such as
//   Cat['Hits'].QueueBottom(smLRP, EnforceRules);
//   SubDir['/srv/music/'].QueueBottom(smRandom, NoRules, Rescan);
// A line becomes a token list: command (upper-cased), name, verb, then the arguments.
#include <string>
#include <vector>

namespace kelvar {

std::vector<std::string> ParseRotationLine(const std::string& line);

// A whole number of 0 or more, else a method name (smWeighted 0 ... smShuffleLogic 7, any case);
// anything else gives 0.
int RotationMethodFromText(const std::string& text);

// "TRUE", "YES", "1" or one of the flag's own names, any case.
bool RotationFlagFromText(const std::string& text, const std::vector<std::string>& names);

}  // namespace kelvar
