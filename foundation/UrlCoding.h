#pragma once
// Percent-encoding of texts for addresses and form posts.
#include <string>

namespace kelvar {

// Letters A-Z, a-z and digits stay; every other byte becomes "%" and two upper-case hex digits
// (a blank becomes "%20", never "+").
std::string URLEncode(const std::string& text);

// "%" and two hex digits become that byte; a "%" not followed by two hex digits is kept as it
// is, and so is "+".
std::string URLDecode(const std::string& text);

}  // namespace kelvar
