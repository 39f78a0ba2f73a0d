// Rewrites of a short date pattern that depend on the calendar and language of
// the locale. Pure functions over the pattern text, so each can be checked alone.
#pragma once

#include <string>
#include <string_view>

#include "TextEncoding.h"

namespace tarvel {

// For an era calendar (Japanese, Taiwan, Korean): "gg" becomes "ggg", "yyyy"
// becomes "eeee", "yy" becomes "ee" and any other single "y" or "Y" becomes
// "e"; multi-byte characters are copied unchanged.
std::string eraCalendarDatePattern(std::string_view pattern, TextEncoding encoding);

// For a Gregorian calendar under a Chinese, Japanese or Korean user language:
// every "g" and "G" is removed; multi-byte characters are copied unchanged.
std::string removeEraNameCodes(std::string_view pattern, TextEncoding encoding);

// A year code of one or two letters keeps only the last two digits, so a date
// written back from its text could land in the wrong century: every such code
// outside quoted text becomes "yyyy". Longer year codes are left alone.
std::string widenTwoDigitYear(std::string_view pattern, TextEncoding encoding);

// Whether a locale name ("zh_TW.UTF-8", "ja_JP", "ko") has a Chinese, Japanese
// or Korean language.
bool isCjkLanguage(std::string_view localeName);

}  // namespace tarvel
