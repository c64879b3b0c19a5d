#include "os/posix/locale_code_page.h"

#include <locale.h>
#include <strings.h>

#include <cstdlib>
#include <string>

namespace tollwick::platform::posix {
namespace {

constexpr uint32_t kWestern = 1252;

struct LocaleCodePage {
  uint32_t codePage;
  const char* locales;  // language, language_COUNTRY or language_COUNTRY@modifier names
};

// The locales whose ANSI code page is not 1252, as Wine 8 gives them (measured with
// GetACP() under wine64 for every locale glibc supports, and every language alone). A
// language and country Wine does not pair, such as ru_UA, gets 1252 like any unknown
// name; 65001 (UTF-8) is the code page of the languages Windows writes in Unicode only.
constexpr LocaleCodePage kTable[] = {
    {874, "th th_TH"},
    {932, "ja ja_JP"},
    {936, "zh zh_CN zh_SG"},
    {949, "ko ko_KR"},
    {950, "zh_HK zh_TW"},
    {1250,
     "bs cs cs_CZ hr hr_HR hu hu_HU pl pl_PL ro ro_RO sk sk_SK sl sl_SI sq sq_AL sr "
     "sr_RS@latin tk tk_TM"},
    {1251,
     "be be_BY bg bg_BG ky ky_KG mk mk_MK mn mn_MN ru ru_RU sah sah_RU tg tg_TJ tt tt_RU "
     "tt_RU@iqtelif uk uk_UA uz_UZ@cyrillic"},
    {1253, "el el_GR"},
    {1254, "az tr tr_TR uz"},
    {1255, "he he_IL"},
    {1256,
     "ar ar_AE ar_BH ar_DZ ar_EG ar_IQ ar_JO ar_KW ar_LB ar_LY ar_MA ar_OM ar_QA ar_SA "
     "ar_SY ar_TN ar_YE ckb ckb_IQ fa fa_IR ku sd ug ug_CN ur ur_IN ur_PK"},
    {1257, "et et_EE lt lt_LT lv lv_LV"},
    {1258, "vi vi_VN"},
    {65001,
     "am am_ET as as_IN bn bn_BD bn_IN bo bo_CN chr chr_US dv dv_MV dz dz_BT gu gu_IN "
     "hi hi_IN hy hy_AM ka ka_GE kk kk_KZ km km_KH kn kn_IN kok kok_IN ks_IN@devanagari "
     "lo lo_LA mi mi_NZ ml ml_IN mni mni_IN mr mr_IN mt mt_MT my my_MM ne ne_NP om om_ET "
     "or or_IN pa pa_IN ps ps_AF sa sa_IN sd_IN@devanagari si si_LK so so_SO st st_ZA syr "
     "ta ta_IN ta_LK te te_IN ti ti_ER ti_ET ts ts_ZA ve ve_ZA yi"},
};

bool listed(std::string_view names, std::string_view wanted) {
  while (!names.empty()) {
    const std::size_t space = names.find(' ');
    const std::string_view name = names.substr(0, space);
    if (name.size() == wanted.size() &&
        ::strncasecmp(name.data(), wanted.data(), name.size()) == 0) {
      return true;
    }
    if (space == std::string_view::npos) break;
    names.remove_prefix(space + 1);
  }
  return false;
}

const char* setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

uint32_t codePageOfLocale(std::string_view locale) {
  // language[_COUNTRY][.charset][@modifier]: the character set plays no part, and Wine
  // ignores the modifier "euro".
  std::string name(locale.substr(0, locale.find_first_of(".@")));
  if (const std::size_t at = locale.find('@'); at != std::string_view::npos) {
    const std::string_view modifier = locale.substr(at + 1);
    if (modifier != "euro") name.append("@").append(modifier);
  }
  if (name.empty()) return kWestern;
  for (const LocaleCodePage& entry : kTable) {
    if (listed(entry.locales, name)) return entry.codePage;
  }
  return kWestern;
}

uint32_t codePageOfEnvironment() {
  const char* chosen = setting("LC_ALL");
  if (chosen == nullptr) chosen = setting("LC_CTYPE");
  if (chosen == nullptr) chosen = setting("LANG");
  // Wine sets the locale from the environment: a locale the system does not have leaves
  // it at "C", and then Wine reads LC_ALL's name alone.
  if (chosen != nullptr) {
    if (const locale_t probe = ::newlocale(LC_ALL_MASK, "", nullptr); probe != nullptr) {
      ::freelocale(probe);
    } else {
      chosen = nullptr;
    }
  }
  if (chosen == nullptr || std::string_view(chosen) == "C") chosen = setting("LC_ALL");
  return codePageOfLocale(chosen != nullptr ? chosen : "");
}

}  // namespace tollwick::platform::posix
