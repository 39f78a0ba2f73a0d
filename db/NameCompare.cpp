#include "NameCompare.h"

#include <cwchar>
#include <cwctype>

namespace tarvel {

namespace {

// Reads one character at text[pos]; returns its byte count (at least 1) and
// its upper-case form. An undecodable byte stands for itself.
std::size_t upperCharacter(std::string_view text, std::size_t pos, std::mbstate_t& state, wint_t& upper) {
    wchar_t wc = 0;
    const std::size_t used = std::mbrtowc(&wc, text.data() + pos, text.size() - pos, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0) {
        state = std::mbstate_t{};
        const auto byte = static_cast<unsigned char>(text[pos]);
        upper = (byte >= 'a' && byte <= 'z') ? byte - 'a' + 'A' : 0x110000 + byte;
        return 1;
    }
    upper = std::towupper(static_cast<wint_t>(wc));
    return used;
}

}  // namespace

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    std::mbstate_t stateA{};
    std::mbstate_t stateB{};
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        wint_t ca = 0;
        wint_t cb = 0;
        i += upperCharacter(a, i, stateA, ca);
        j += upperCharacter(b, j, stateB, cb);
        if (ca != cb) return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace tarvel
