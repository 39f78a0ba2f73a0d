// Fuzzes the settings store with a store whose first value starts as a text
// byte list ("hex(2):" and the input, which may continue it over further
// lines or add lines of its own): both values give a text or exactly the
// "Invalid data type" error, never a crash, and the first is either the
// UTF-8 text of a whole byte list or the line as written.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Error.h"
#include "SettingsStore.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Well-formed UTF-8 as the byte-list reading writes it (up to four bytes).
bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xf0 ? 4
                                   : lead >= 0xe0 ? 3
                                   : lead >= 0xc0 ? 2
                                                  : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The store lives in memory: a file descriptor reached through /proc.
    const int fd = ::memfd_create("store", MFD_CLOEXEC);
    if (fd < 0) return 0;
    const std::string text = "[Software\\Kestal\\SQLAccess]\nDriver Registry File=hex(2):" +
                             std::string(reinterpret_cast<const char*>(data), size);
    require(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    tarvel::SettingsStore store(tarvel::SettingsLocation{"/prog", "/proc/self/fd/" + std::to_string(fd)});
    for (const char* name :
         {tarvel::SettingsStore::kConnectionFileValue, tarvel::SettingsStore::kDriverFileValue}) {
        try {
            const std::string value = store.readText(name);
            require(value.find('\0') == std::string::npos);
            if (std::string_view(name) == tarvel::SettingsStore::kDriverFileValue) {
                require(value.rfind("hex(2):", 0) == 0 || isUtf8(value));
            }
            require(!store.resolvePath(name, "x.ini").empty());
        } catch (const tarvel::Error& e) {
            require(std::string(e.what()) == std::string("Invalid data type for '") + name + "'");
        }
    }
    ::close(fd);
    return 0;
}
