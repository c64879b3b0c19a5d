#pragma once
// The ANSI code page of a Linux locale, as Wine gives it to the Windows programs it runs:
// the game under Wine reads and writes its texts in that code page, so the program does
// too.

#include <cstdint>
#include <string_view>

namespace tollwick::platform::posix {

// The code page Wine gives the locale named `locale` ("ru_RU.UTF-8" gives 1251,
// "ja_JP.UTF-8" 932, "hi_IN.UTF-8" 65001): Wine's table of Windows locales, by language
// and country. 1252 for "C", "POSIX", an empty name and any locale that table does not
// know, as Wine gives it.
uint32_t codePageOfLocale(std::string_view locale);

// The code page Wine gives a program started with this process's environment: the
// locale of LC_ALL, LC_CTYPE or LANG (the first that is set) when the system has it;
// otherwise, as Wine does, LC_ALL's name taken alone, else none (1252).
uint32_t codePageOfEnvironment();

}  // namespace tollwick::platform::posix
