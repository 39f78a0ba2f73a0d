// Translation of the strftime-style formats of a POSIX locale (D_FMT, T_FMT)
// into the pattern language of the field texts.
#pragma once

#include <string>
#include <string_view>

#include "TextEncoding.h"

namespace tarvel {

// D_FMT as a short date pattern: %Y "yyyy", %y "yy", %m "mm", %d "dd", %e "d",
// %b/%h "mmm", %B "mmmm", %a "ddd", %A "dddd", %D as %m/%d/%y, %F as
// %Y-%m-%d. Other text is copied; literal text that the pattern language
// would read as codes is put in quotes. "m/d/yy" for an empty format.
std::string shortDatePatternFromPosix(std::string_view dateFormat, TextEncoding encoding);

// The long time format from T_FMT: "hh" or "h" for hours with or without a
// leading zero, ":mm:ss", and the "AMPM" code first or last for a 12-hour
// clock. %T, %R and %r are expanded first (%r by ampmTimeFormat, T_FMT_AMPM).
std::string longTimePatternFromPosix(std::string_view timeFormat, std::string_view ampmTimeFormat);

// The long time format from its three facts.
std::string longTimePattern(bool leadingZero, bool twelveHour, bool markerFirst);

// The single-byte character that follows the first day or month field of D_FMT
// (after expansion), or `fallback` when there is none.
char dateSeparatorFromPosix(std::string_view dateFormat, TextEncoding encoding, char fallback);

// The single-byte character that follows the hour field of T_FMT (after
// expansion), or `fallback` when there is none.
char timeSeparatorFromPosix(std::string_view timeFormat, std::string_view ampmTimeFormat,
                            TextEncoding encoding, char fallback);

}  // namespace tarvel
