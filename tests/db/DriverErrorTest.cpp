// The one path from a failed driver call to an error: what is kept as the
// owner's last error text, what is thrown, and that a fallback may be the very
// text being replaced.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "DriverError.h"
#include "Error.h"

namespace tarvel {
namespace {

enum class Fallback { None, Given, LastError };

struct CheckCase {
    const char* what;
    sqldriver::Status status;
    const char* lastBefore;
    Fallback first;
    Fallback second;
    std::optional<std::string> thrown;  // nullopt: no throw
    const char* lastAfter;
};

TEST(DriverErrorTest, CheckKeepsAndThrowsOneText) {
    const CheckCase cases[] = {
        {"success leaves the last error alone", 0, "earlier", Fallback::Given, Fallback::LastError,
         std::nullopt, "earlier"},
        {"known status replaces the last error", 21, "earlier", Fallback::None, Fallback::LastError,
         "Driver Error: [0x0015]: Connection failed", "Driver Error: [0x0015]: Connection failed"},
        {"last error as first fallback survives", 18, "earlier", Fallback::LastError, Fallback::None,
         "earlier", "earlier"},
        {"last error as second fallback survives", 18, "earlier", Fallback::None, Fallback::LastError,
         "earlier", "earlier"},
        {"given text before the last error", 18, "earlier", Fallback::Given, Fallback::LastError, "given",
         "given"},
        {"nothing to fall back on", 18, "", Fallback::LastError, Fallback::None,
         "Driver Error: Unknown Error Code '18'", "Driver Error: Unknown Error Code '18'"},
    };
    for (const CheckCase& c : cases) {
        std::string lastError = c.lastBefore;
        const std::string given = "given";
        const std::string none;
        auto pick = [&](Fallback f) -> const std::string& {
            return f == Fallback::Given ? given : f == Fallback::LastError ? lastError : none;
        };
        std::optional<std::string> thrown;
        try {
            checkDriverCall(lastError, c.status, nullptr, pick(c.first), pick(c.second));
        } catch (const Error& e) {
            thrown = e.what();
        }
        EXPECT_EQ(thrown, c.thrown) << c.what;
        EXPECT_EQ(lastError, c.lastAfter) << c.what;
    }
}

TEST(DriverErrorTest, RecordReturnsTheKeptText) {
    std::string lastError = "earlier";
    const std::string& text = recordDriverError(lastError, 4, nullptr, std::string(), lastError);
    EXPECT_EQ(&text, &lastError);
    EXPECT_EQ(lastError, "Driver Error: [0x0004]: Invalid Handle");
}

}  // namespace
}  // namespace tarvel
