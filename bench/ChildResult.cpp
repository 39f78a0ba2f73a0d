#include "ChildResult.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace {

// Party texts are written in hex, so that any byte survives the file.
std::string toHex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string fromHex(const std::string& hex) {
    std::string text;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

}  // namespace

std::string formatResult(const ChildResult& result) {
    std::ostringstream out;
    out << "lines " << result.lines << "\nseconds " << result.seconds << "\n";
    if (result.lastParty) out << "last " << toHex(*result.lastParty) << "\n";
    out << "peak " << result.peakKb << "\n";
    return out.str();
}

ChildResult parseResult(const std::string& text) {
    ChildResult result;
    std::istringstream in(text);
    std::string key;
    bool complete = false;
    while (in >> key) {
        if (key == "lines") {
            in >> result.lines;
        } else if (key == "seconds") {
            in >> result.seconds;
        } else if (key == "peak") {
            complete = static_cast<bool>(in >> result.peakKb);
        } else if (key == "last") {
            std::string hex;
            in >> hex;
            result.lastParty = fromHex(hex);
        } else {
            throw std::runtime_error("unexpected result field " + key);
        }
    }
    if (!complete) throw std::runtime_error("incomplete result");
    return result;
}

bool writeResult(const std::string& path, const ChildResult& result) {
    std::ofstream out(path, std::ios::trunc);
    out << formatResult(result);
    return static_cast<bool>(out);
}

}  // namespace bench
