#include "foundation/ProcessLocale.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <initializer_list>

namespace kelvar {

namespace {

bool IsUtf8Codeset() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// The codeset of "C" and "POSIX".
bool IsAsciiCodeset() {
    const char* codeset = nl_langinfo(CODESET);
    return !codeset || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0;
}

}  // namespace

bool UseEnvironmentLocale() {
    // An environment naming a locale that is not installed leaves "C": handled below.
    std::setlocale(LC_ALL, "");
    // Numbers written to files and statements keep one form (a decimal point) in every locale.
    std::setlocale(LC_NUMERIC, "C");
    if (IsUtf8Codeset()) return true;
    // A real legacy character set is the user's choice; only the "no locale" default is replaced.
    if (!IsAsciiCodeset()) return false;
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
        if (std::setlocale(LC_CTYPE, name) && IsUtf8Codeset()) return true;
    return false;
}

}  // namespace kelvar
