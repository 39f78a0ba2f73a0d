// What tarvel-rebuild prints around a run: JSON strings that always parse,
// the server the check names, the summary line, the journal's priority
// prefixes and when they apply, and the pair count behind the summary.
#include <gtest/gtest.h>

#include "ConsoleMessages.h"
#include "EmbeddedAccess.h"
#include "PairCount.h"
#include "RunSummary.h"

namespace tarvel {
namespace {

TEST(ConsoleOutput, JsonStringsEscapeEverythingAndStayValid) {
    const std::pair<std::string, const char*> cases[] = {
        {"", R"("")"},
        {"plain", R"("plain")"},
        {"say \"no\" \\ now", R"("say \"no\" \\ now")"},
        {"line\r\nnext\ttab", R"("line\r\nnext\ttab")"},
        {std::string("nul\0bell\a", 9), R"("nul\u0000bell\u0007")"},
        {"\x7f", R"("\u007f")"},
        {"階段作業完成", "\"階段作業完成\""},
        {"big5 \xA4\x40 bytes", R"("big5 \ufffd@ bytes")"},
        {"cut \xE9\x9A", R"("cut \ufffd\ufffd")"},
        {"overlong \xC0\xAF, surrogate \xED\xA0\x80",
         R"("overlong \ufffd\ufffd, surrogate \ufffd\ufffd\ufffd")"},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(jsonString(text), json) << text;
}

TEST(ConsoleOutput, CheckNamesTheServerTheDriverGoesThrough) {
    // database, HostName, Server Port, the server (empty: opened in this process)
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"/srv/pos.fdb", "", "", ""},
        {"pos.fdb", "", "3051", ""},
        {"/srv/pos.fdb", "posserver", "", "posserver"},
        {"/srv/pos.fdb", "posserver", "3051", "posserver/3051"},
        {"db1:/srv/pos.fdb", "posserver", "", "db1"},
        {"db1:/srv/pos.fdb", "", "3051", "db1/3051"},
        {"db1/3052:/srv/pos.fdb", "", "3051", "db1/3052"},
        {"[::1]:/srv/pos.fdb", "", "3051", "[::1]/3051"},
        {"inet://10.0.0.5:3050//srv/pos.fdb", "", "3051", "10.0.0.5:3050"},
        {"inet4://posserver/pos", "", "", "posserver"},
    };
    for (const auto& [database, host, port, server] : cases)
        EXPECT_EQ(serverOf(database, host, port), server) << database << " " << host << " " << port;
}

TEST(ConsoleOutput, CheckTakesABareNameThatIsNoFileForAnAlias) {
    // database, taken for an alias, the first line shown for it
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"posdemo", true, "database posdemo: no such file here, so looked up as an alias"},
        {"none/pos.fdb", false, "database file none/pos.fdb: No such file"},
    };
    for (const auto& [database, alias, firstLine] : cases) {
        const EmbeddedAccess access = embeddedAccess(database);
        EXPECT_EQ(access.alias, alias) << database;
        ASSERT_FALSE(access.lines.empty()) << database;
        EXPECT_EQ(access.lines[0].rfind(firstLine, 0), 0u) << access.lines[0];
    }
}

TEST(ConsoleOutput, SummaryLineAndObject) {
    RunSummary done{true, 1000000, 40000, 17.34, ""};
    EXPECT_EQ(summaryLine(done), "lines 1000000, pairs 40000, 17.3 s");
    EXPECT_EQ(summaryJson(done), R"({"result":"done","lines":1000000,"pairs":40000,"seconds":17.3})");
    RunSummary failed{false, 12, 3, 0.04, "Driver Error\nSQL \"x\""};
    EXPECT_EQ(summaryJson(failed),
              R"({"result":"failed","error":"Driver Error\nSQL \"x\"","lines":12,"pairs":3,"seconds":0.0})");
}

TEST(ConsoleOutput, JournalPrefixesOnlyWhenTheStreamIsTheJournal) {
    const std::tuple<const char*, bool> streams[] = {
        {"2049:77", true}, {"2049:78", false}, {"2048:77", false}, {"2049:77x", false}, {":77", false},
        {"2049:", false},  {"2049", false},    {"", false},        {nullptr, false},    {"-1:77", false},
    };
    for (const auto& [stream, matches] : streams)
        EXPECT_EQ(journalStreamNames(stream, 2049, 77), matches) << (stream ? stream : "(unset)");
    EXPECT_EQ(withPriority("one\ntwo\n", Priority::Error, true), "<3>one\n<3>two\n");
    EXPECT_EQ(withPriority("line\n\n", Priority::Info, true), "<6>line\n\n");
    EXPECT_EQ(withPriority("one\ntwo\n", Priority::Error, false), "one\ntwo\n");
}

TEST(ConsoleOutput, PairsAreCountedPerPartyWithoutTrailingBlanks) {
    const std::vector<std::pair<const char*, const char*>> lines = {
        {"P1", "T1"}, {"P1", "T1"}, {"P1 ", "T2"}, {"P1", "T2  "}, {"P2", "T1"}, {"P3", ""}, {"P3", ""},
    };
    PairCount count;
    for (const auto& [party, product] : lines) {
        HistoryPair pair;
        pair.party = party;
        pair.tempProdId = product;
        count.add(pair);
    }
    EXPECT_EQ(count.pairs(), 4);
}

}  // namespace
}  // namespace tarvel
