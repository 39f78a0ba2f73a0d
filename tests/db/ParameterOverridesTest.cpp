// Overrides over a loaded entry: replaced values, values filled in only where
// the entry gives none, and empty values that count as not given.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ParameterOverrides.h"

namespace tarvel {
namespace {

using ::testing::ElementsAreArray;

TEST(ParameterOverrides, ReplaceOrFillInInOrder) {
    struct Case {
        const char* what;
        std::vector<std::string> entry;
        std::vector<std::tuple<bool, std::string, std::string>> overrides;  // fill in?, key, value
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"replaced, key matched without case",
         {"Database=/a.fdb", "password=x"},
         {{false, "Password", "y"}},
         {"Database=/a.fdb", "Password=y"}},
        {"every line of the key goes",
         {"Password=", "Password=x", "User_Name=u"},
         {{false, "Password", "y"}},
         {"User_Name=u", "Password=y"}},
        {"filled in where the entry's value is empty",
         {"Password="},
         {{true, "Password", "e"}},
         {"Password=e"}},
        {"filled in where the entry lacks the key",
         {"A=1"},
         {{true, "Password", "e"}},
         {"A=1", "Password=e"}},
        {"not filled in over a value", {"Password=x"}, {{true, "Password", "e"}}, {"Password=x"}},
        {"an empty override is not given",
         {"Password=x", "User_Name="},
         {{false, "Password", ""}, {true, "User_Name", ""}},
         {"Password=x", "User_Name="}},
        {"a replacement comes before a fill-in",
         {"Password="},
         {{false, "Password", "file"}, {true, "Password", "env"}},
         {"Password=file"}},
        {"a fill-in after an empty replacement",
         {"Password="},
         {{false, "Password", ""}, {true, "Password", "env"}},
         {"Password=env"}},
    };
    for (const Case& c : cases) {
        ParameterOverrides overrides;
        for (const auto& [fill, key, value] : c.overrides) {
            if (fill)
                overrides.fillIn(key, value);
            else
                overrides.replace(key, value);
        }
        ParameterList params(c.entry);
        overrides.applyTo(params);
        EXPECT_THAT(params.lines(), ElementsAreArray(c.after)) << c.what;
    }
}

}  // namespace
}  // namespace tarvel
