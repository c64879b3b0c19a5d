#include "os/posix/locale_code_page.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace tollwick::platform::posix {
namespace {

TEST(LocaleCodePage, LocalesGetTheCodePageWineGivesThem) {
  EXPECT_EQ(codePageOfLocale("ru_RU.UTF-8"), 1251u);
  EXPECT_EQ(codePageOfLocale("pl_PL.UTF-8"), 1250u);
  EXPECT_EQ(codePageOfLocale("ja_JP.UTF-8"), 932u);
  EXPECT_EQ(codePageOfLocale("zh_TW.UTF-8"), 950u);
  EXPECT_EQ(codePageOfLocale("zh_CN.GB18030"), 936u);
  EXPECT_EQ(codePageOfLocale("el_GR@euro"), 1253u);
  EXPECT_EQ(codePageOfLocale("sr_RS.UTF-8@latin"), 1250u);
  EXPECT_EQ(codePageOfLocale("hi_IN.UTF-8"), 65001u);
  EXPECT_EQ(codePageOfLocale("ru"), 1251u);
  // Names Wine's table lacks, and the locales of no language, get 1252.
  EXPECT_EQ(codePageOfLocale("ru_UA.UTF-8"), 1252u);
  EXPECT_EQ(codePageOfLocale("de_DE.UTF-8"), 1252u);
  EXPECT_EQ(codePageOfLocale("C.UTF-8"), 1252u);
  EXPECT_EQ(codePageOfLocale("POSIX"), 1252u);
  EXPECT_EQ(codePageOfLocale(""), 1252u);
}

// Sets (or, with nullopt, unsets) one variable for the life of this object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool systemHas(const char* locale) {
  const locale_t probe = ::newlocale(LC_ALL_MASK, locale, nullptr);
  if (probe != nullptr) ::freelocale(probe);
  return probe != nullptr;
}

// As Wine sets its locale: LC_ALL before LC_CTYPE before LANG, and a locale the system
// does not have leaves the program at "C" (1252) unless LC_ALL names it.
TEST(LocaleCodePage, TheEnvironmentNamesTheLocaleAsWineReadsIt) {
  if (!systemHas("ru_RU.UTF-8") || !systemHas("pl_PL.UTF-8")) {
    GTEST_SKIP() << "ru_RU.UTF-8 and pl_PL.UTF-8 are not generated (scripts/setup.sh does it)";
  }
  ScopedVariable all("LC_ALL", std::nullopt), ctype("LC_CTYPE", std::nullopt),
      messages("LC_MESSAGES", std::nullopt), lang("LANG", "ru_RU.UTF-8");
  EXPECT_EQ(codePageOfEnvironment(), 1251u);
  {
    ScopedVariable polish("LC_CTYPE", "pl_PL.UTF-8");
    EXPECT_EQ(codePageOfEnvironment(), 1250u);
  }
  {
    ScopedVariable missing("LANG", "el_GR.ISO-8859-77");
    EXPECT_EQ(codePageOfEnvironment(), 1252u);
  }
  {
    ScopedVariable missing("LC_ALL", "el_GR.ISO-8859-77");
    EXPECT_EQ(codePageOfEnvironment(), 1253u);
  }
}

}  // namespace
}  // namespace tollwick::platform::posix
