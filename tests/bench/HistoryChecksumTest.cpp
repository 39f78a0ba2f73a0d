#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ChildResult.h"
#include "HistoryChecksum.h"

namespace bench {
namespace {

using Columns = std::vector<std::optional<std::string>>;

TEST(RowHash, TellsApartRowsThatLookAlikeAsText) {
    const std::vector<std::pair<Columns, Columns>> pairs = {
        {{std::nullopt, "a"}, {"", "a"}},    // null is not the empty text
        {{"ab", "c"}, {"a", "bc"}},          // column boundaries count
        {{"a", ""}, {"a"}},                  // so does a trailing empty column
        {{"1.0000", "x"}, {"x", "1.0000"}},  // and the order of the columns
    };
    for (const auto& [left, right] : pairs)
        EXPECT_NE(rowHash(left), rowHash(right)) << ::testing::PrintToString(left);
    EXPECT_EQ(rowHash({"S1", std::nullopt}), rowHash({"S1", std::nullopt}));
}

HistoryRow row(std::optional<std::string> party, const char* value) {
    return {party, rowHash({party, std::string(value)})};
}

TableSum sumOfRows(const std::vector<HistoryRow>& rows) { return sumOf(rows); }

struct CutoffCase {
    const char* name;
    std::optional<std::string> lastParty;
    std::vector<int> fromAfter;   // rows of `after` the run must have left
    std::vector<int> fromBefore;  // rows of `before` it must have kept
};

void PrintTo(const CutoffCase& c, std::ostream* out) { *out << c.name; }

// Rows of providers S1, S2 and one after them in byte order (a Big5 code,
// whose first byte is above every ASCII byte), a duplicate, a null party.
template <typename Case>
class HistoryRows : public ::testing::TestWithParam<Case> {
protected:
    const std::vector<HistoryRow> before = {row("S1", "old1"), row("S2", "old2"), row("S2", "old2b"),
                                            row("\xA4\x40", "oldBig5"), row(std::nullopt, "oldNull")};
    const std::vector<HistoryRow> after = {row("S1", "new1"), row("S2", "new2"), row("\xA4\x40", "newBig5"),
                                           row(std::nullopt, "oldNull")};
};

class ReferenceCutoff : public HistoryRows<CutoffCase> {};

TEST_P(ReferenceCutoff, TakesReachedProvidersFromTheRunAndTheOthersFromBefore) {
    const CutoffCase& c = GetParam();
    std::vector<HistoryRow> expected;
    for (int i : c.fromAfter) expected.push_back(after[static_cast<std::size_t>(i)]);
    for (int i : c.fromBefore) expected.push_back(before[static_cast<std::size_t>(i)]);
    EXPECT_EQ(HistoryReference(before, after).expected(c.lastParty), sumOfRows(expected));
}

INSTANTIATE_TEST_SUITE_P(Cutoffs, ReferenceCutoff,
                         ::testing::Values(CutoffCase{"Complete", std::nullopt, {0, 1, 2, 3}, {}},
                                           CutoffCase{"AfterS1", "S1", {0}, {1, 2, 3, 4}},
                                           CutoffCase{"AfterS2", "S2", {0, 1}, {3, 4}},
                                           CutoffCase{"BeforeEveryProvider", "A", {}, {0, 1, 2, 3, 4}},
                                           CutoffCase{"AfterTheBig5Provider", "\xA4\x40", {0, 1, 2}, {4}}),
                         [](const ::testing::TestParamInfo<CutoffCase>& info) {
                             return std::string(info.param.name);
                         });

struct StopCase {
    const char* name;
    std::vector<int> fromAfter;
    std::vector<int> fromBefore;
    bool halfDoneBig5;  // plus a row of the Big5 provider that neither holds
    bool matches;
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name; }

class StopAnywhere : public HistoryRows<StopCase> {};

TEST_P(StopAnywhere, AcceptsOnlyADonePrefixOneProviderInBetweenAndTheRestUntouched) {
    const StopCase& c = GetParam();
    std::vector<HistoryRow> table;
    for (int i : c.fromAfter) table.push_back(after[static_cast<std::size_t>(i)]);
    for (int i : c.fromBefore) table.push_back(before[static_cast<std::size_t>(i)]);
    if (c.halfDoneBig5) table.push_back(row("\xA4\x40", "half"));
    EXPECT_EQ(HistoryReference(before, after).matchesAStopWithin(table), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Stops, StopAnywhere,
                         ::testing::Values(StopCase{"NothingDone", {}, {0, 1, 2, 3, 4}, false, true},
                                           StopCase{"EverythingDone", {0, 1, 2, 3}, {}, false, true},
                                           StopCase{"WithinS2", {0}, {2, 3, 4}, false, true},
                                           StopCase{"WithinTheLastProvider", {0, 1, 3}, {}, true, true},
                                           StopCase{"ProviderSkipped", {1, 2, 3}, {0}, false, false},
                                           StopCase{"TwoProvidersHalfDone", {0}, {2, 4}, true, false},
                                           StopCase{"RowWithoutProviderLost", {0, 1, 2}, {}, false, false}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ChildResult, TravelsThroughItsFileUnchanged) {
    ChildResult result;
    result.lines = 1234;
    result.seconds = 2.5;
    result.peakKb = 20480;
    result.lastParty = std::string("S 1\n\xA4\x40", 6);
    const ChildResult read = parseResult(formatResult(result));
    EXPECT_EQ(read.lines, result.lines);
    EXPECT_DOUBLE_EQ(read.seconds, result.seconds);
    EXPECT_EQ(read.peakKb, result.peakKb);
    EXPECT_EQ(read.lastParty, result.lastParty);

    ChildResult complete = result;
    complete.lastParty.reset();
    EXPECT_FALSE(parseResult(formatResult(complete)).lastParty.has_value());
    // A child that died while writing leaves no peak figure: not a result.
    EXPECT_THROW(parseResult("lines 5\nseconds 1\n"), std::runtime_error);
}

}  // namespace
}  // namespace bench
