#include "SettingsStore.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "Error.h"
#include "ProgramFile.h"
#include "SettingsFile.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

std::string unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return std::string(text.substr(1, text.size() - 2));
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

// Comma-separated hex bytes ("43,00,3a,00") holding UTF-16LE text, as UTF-8
// up to the first NUL; nothing when the bytes are malformed.
std::optional<std::string> utf16HexText(std::string_view hex) {
    std::vector<unsigned char> bytes;
    std::string digits;
    auto flush = [&]() -> bool {
        if (digits.empty()) return true;
        if (digits.size() > 2) return false;
        bytes.push_back(static_cast<unsigned char>(std::strtoul(digits.c_str(), nullptr, 16)));
        digits.clear();
        return true;
    };
    for (char c : hex) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c == ',') {
            if (digits.empty() || !flush()) return std::nullopt;
        } else if (c != ' ' && c != '\t' && c != '\\') {
            return std::nullopt;
        }
    }
    if (!flush() || bytes.size() % 2 != 0) return std::nullopt;
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

// The text of a stored value, or nothing when it is of a type other than text.
std::optional<std::string> textOf(std::string_view value) {
    if (startsWithIgnoringCase(value, "str(1):") || startsWithIgnoringCase(value, "str(2):")) {
        std::string_view rest = value.substr(7);
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') return unescapedString(rest);
        return std::string(rest);
    }
    if (startsWithIgnoringCase(value, "hex(1):") || startsWithIgnoringCase(value, "hex(2):")) {
        return utf16HexText(value.substr(7));
    }
    if (startsWithIgnoringCase(value, "dword:") || startsWithIgnoringCase(value, "qword:") ||
        startsWithIgnoringCase(value, "hex:") || startsWithIgnoringCase(value, "hex(") ||
        startsWithIgnoringCase(value, "str(")) {
        return std::nullopt;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return unescapedString(value);
    return std::string(value);
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
    for (const std::string& line : values.lines()) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (!equalsIgnoringCase(unquoted(std::string_view(line).substr(0, equals)), valueName)) continue;
        std::optional<std::string> text = textOf(std::string_view(line).substr(equals + 1));
        if (!text) throw Error("Invalid data type for '" + valueName + "'");
        return *text;
    }
    return {};
}

std::string SettingsStore::resolvePath(const std::string& valueName, const std::string& defaultFileName) const {
    std::string path = readText(valueName);
    if (path.empty()) path = m_location.executableDir + "/" + defaultFileName;
    return path;
}

}  // namespace tarvel
