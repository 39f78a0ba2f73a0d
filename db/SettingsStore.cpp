#include "SettingsStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <vector>

#include "Error.h"
#include "ProgramFile.h"
#include "SettingsFile.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

std::string unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

// The body of a quoted string value, with the escapes \\ and \" undone.
std::string unescapedString(std::string_view quoted) {
    std::string_view body = quoted.substr(1, quoted.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\\' && i + 1 < body.size() && (body[i + 1] == '\\' || body[i + 1] == '"')) ++i;
        out += body[i];
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Comma-separated pairs of hex digits ("43,00,3a,00"; empty for no bytes);
// nothing when the text is anything else.
std::optional<std::vector<unsigned char>> byteList(std::string_view text) {
    std::vector<unsigned char> bytes;
    if (text.empty()) return bytes;
    for (std::size_t at = 0;; at += 3) {
        if (at + 2 > text.size() || !isHexDigit(text[at]) || !isHexDigit(text[at + 1])) return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(std::stoul(std::string(text.substr(at, 2)), nullptr, 16)));
        if (at + 2 == text.size()) return bytes;
        if (text[at + 2] != ',') return std::nullopt;
    }
}

// UTF-16LE bytes as UTF-8, up to the first NUL; a dangling odd byte is left out.
std::string utf16Text(const std::vector<unsigned char>& bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = static_cast<char32_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        if (unit >= 0xd800 && unit < 0xdc00 && i + 3 < bytes.size()) {
            char32_t low = static_cast<char32_t>(bytes[i + 2] | (bytes[i + 3] << 8));
            if (low >= 0xdc00 && low < 0xe000) {
                unit = 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00);
                i += 2;
            }
        }
        appendUtf8(out, unit);
    }
    return out;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The head of a byte-list value: "hex:" (binary, type 3) or "hex(N):" with N
// in hex digits. Gives the type and the length of the head.
struct HexHead {
    unsigned long type;
    std::size_t length;
};

std::optional<HexHead> hexHead(std::string_view value) {
    if (startsWithIgnoringCase(value, "hex:")) return HexHead{3, 4};
    if (!startsWithIgnoringCase(value, "hex(")) return std::nullopt;
    std::size_t close = value.find("):", 4);
    if (close == std::string_view::npos || close == 4 || close > 12) return std::nullopt;
    std::string_view digits = value.substr(4, close - 4);
    for (char c : digits) {
        if (!isHexDigit(c)) return std::nullopt;
    }
    return HexHead{std::stoul(std::string(digits), nullptr, 16), close + 2};
}

// "dword:" and exactly eight hex digits.
bool isDwordValue(std::string_view value) {
    if (!startsWithIgnoringCase(value, "dword:") || value.size() != 14) return false;
    for (char c : value.substr(6)) {
        if (!isHexDigit(c)) return false;
    }
    return true;
}

// The text of a stored value, or nothing when it is of a type other than text.
// A value counts as typed only when its whole form is one; anything else,
// even when it starts like a typed value, is text as written.
std::optional<std::string> textOf(std::string_view value) {
    if (isDwordValue(value)) return std::nullopt;
    if (std::optional<HexHead> head = hexHead(value)) {
        if (std::optional<std::vector<unsigned char>> bytes = byteList(value.substr(head->length))) {
            if (head->type == 1 || head->type == 2) return utf16Text(*bytes);  // text, expandable text
            return std::nullopt;
        }
    }
    if (startsWithIgnoringCase(value, "str(1):") || startsWithIgnoringCase(value, "str(2):")) {
        std::string_view rest = value.substr(7);
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') return unescapedString(rest);
        return std::string(rest);
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return unescapedString(value);
    return std::string(value);
}

// A byte-list value may go on over the following lines, each line but the
// last ending in a backslash (the form exported settings take). The joined
// value when the lines after `at` continue it into a whole byte list, else
// the value of its own line.
std::string continuedValue(const std::vector<std::string>& lines, std::size_t at, std::string_view value) {
    std::optional<HexHead> head = hexHead(value);
    if (!head || value.empty() || value.back() != '\\') return std::string(value);
    std::string joined(value);
    for (std::size_t next = at + 1; !joined.empty() && joined.back() == '\\' && next < lines.size(); ++next) {
        joined.pop_back();
        joined = trimmed(joined) + lines[next];
    }
    return byteList(std::string_view(joined).substr(head->length)) ? joined : std::string(value);
}

}  // namespace

SettingsLocation SettingsLocation::ofProgram() {
    SettingsLocation location;
    location.executableDir = programFolder();
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        configHome = xdg;
    } else {
        std::string home;
        if (const char* h = std::getenv("HOME"); h && *h) {
            home = h;
        } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
            home = pw->pw_dir;
        }
        configHome = home + "/.config";
    }
    location.storeFile = configHome + "/kestal/settings.ini";
    return location;
}

std::string SettingsStore::readText(const std::string& valueName) const {
    SettingsFile store;
    try {
        store = SettingsFile::read(m_location.storeFile);
    } catch (const Error&) {
        return {};  // a store that cannot be read is like a key that cannot be opened
    }
    const ParameterList values = store.section(kSection);
    const std::vector<std::string>& lines = values.lines();
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::string& line = lines[at];
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (!equalsIgnoringCase(unquoted(std::string_view(line).substr(0, equals)), valueName)) continue;
        std::optional<std::string> text =
            textOf(continuedValue(lines, at, std::string_view(line).substr(equals + 1)));
        if (!text) throw Error("Invalid data type for '" + valueName + "'");
        return *text;
    }
    return {};
}

std::string SettingsStore::resolvePath(const std::string& valueName,
                                       const std::string& defaultFileName) const {
    std::string path = readText(valueName);
    if (path.empty()) path = m_location.executableDir + "/" + defaultFileName;
    return path;
}

}  // namespace tarvel
