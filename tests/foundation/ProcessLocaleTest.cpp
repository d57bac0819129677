#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "foundation/ProcessLocale.h"

namespace kelvar {
namespace {

// Whatever the environment names, paths are read as UTF-8 and numbers keep their decimal point.
TEST(ProcessLocale, TheCharacterTypeIsUtf8AndNumbersKeepTheirForm) {
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    for (const char* environment : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        setenv("LC_ALL", environment, 1);
        EXPECT_TRUE(UseEnvironmentLocale()) << environment;
        EXPECT_EQ(std::string(nl_langinfo(CODESET)), "UTF-8") << environment;
        EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), "C") << environment;
        EXPECT_EQ(std::string(std::localeconv()->decimal_point), ".") << environment;
    }
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace kelvar
