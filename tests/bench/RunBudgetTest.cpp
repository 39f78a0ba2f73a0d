#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "RunBudget.h"

namespace bench {
namespace {

struct BudgetCase {
    const char* name;
    double seconds;
    std::vector<std::string> parties;  // the party of each line, in scan order
    int stopBefore;                    // index of the first line not done; -1: all done
    std::optional<std::string> lastParty;
};

void PrintTo(const BudgetCase& c, std::ostream* out) { *out << c.name; }

// Walks the lines as a variant does: asks before each line.
int firstLineNotDone(RunBudget& budget, const std::vector<std::string>& parties) {
    for (std::size_t i = 0; i < parties.size(); ++i) {
        if (budget.expired() && budget.leavesParty(parties[i])) return static_cast<int>(i);
    }
    return -1;
}

class RunBudgetCases : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(RunBudgetCases, StopsOnlyAtTheEndOfAParty) {
    const BudgetCase& c = GetParam();
    RunBudget budget(c.seconds);
    EXPECT_EQ(firstLineNotDone(budget, c.parties), c.stopBefore);
    EXPECT_EQ(budget.lastParty(), c.lastParty);
}

// A budget of a nanosecond is spent before the first line is asked about.
INSTANTIATE_TEST_SUITE_P(
    Budgets, RunBudgetCases,
    ::testing::Values(BudgetCase{"NoLimit", 0, {"S1", "S1", "S2", "S3"}, -1, std::nullopt},
                      BudgetCase{"NegativeIsNoLimit", -5, {"S1", "S2"}, -1, std::nullopt},
                      BudgetCase{"HourNotSpent", 3600, {"S1", "S2", "S3"}, -1, std::nullopt},
                      BudgetCase{"SpentFinishesTheFirstParty", 1e-9, {"S1", "S1", "S1", "S2", "S2"}, 3, "S1"},
                      BudgetCase{"SpentInTheLastPartyRunsToTheEnd", 1e-9, {"S9", "S9"}, -1, "S9"},
                      BudgetCase{"EmptyPartyIsAParty", 1e-9, {"", "", "S1"}, 2, ""}),
    [](const ::testing::TestParamInfo<BudgetCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bench
