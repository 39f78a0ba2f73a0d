// Fuzzes the parameter marker scan and the server-text rewrite with arbitrary
// statement texts, under every character set, and checks what must hold for
// any input: no read past the text, every name a piece of the text, and a
// rewrite that only turns colon-led markers into " ? ".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ParameterScan.h"
#include "ServerText.h"
#include "TextEncoding.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

std::size_t countOf(std::string_view text, char c) {
    std::size_t n = 0;
    for (char b : text) n += b == c ? 1 : 0;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the character set and the quote character.
    const auto charset = static_cast<tarvel::TextEncoding>(data[0] % 5);
    const char quoteChar = "\"`' \0"[(data[0] / 5) % 5];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::vector<std::string> names = tarvel::scanParameterNames(text, charset);
    std::size_t nameBytes = 0;
    for (const std::string& name : names) nameBytes += name.size();
    require(nameBytes <= text.size());
    for (const std::string& name : names) require(name.empty() || text.find(name) != std::string::npos);

    const std::string server = tarvel::serverTextFromCommand(text, quoteChar);
    require(server.size() <= text.size() * 3 + 3);
    if (text.find(':') == std::string::npos) require(server == text);
    // A replaced marker takes at least its colon with it and leaves one " ? ";
    // the first byte is never a marker.
    require(countOf(server, ':') <= countOf(text, ':'));
    require(server.size() - std::min(server.size(), text.size()) <= 2 * countOf(text, ':'));
    if (!text.empty()) require(server.front() == text.front());
    require(names.size() <= countOf(text, ':'));

    const std::vector<std::string> lines{text, text};
    require(tarvel::commandTextFromLines(lines) == text + "\r\n" + text + "\r\n");
    return 0;
}
