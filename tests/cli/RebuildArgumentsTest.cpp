#include <gtest/gtest.h>

#include "CheckCodes.h"
#include "LoginOverrides.h"
#include "RebuildArguments.h"
#include "RebuildCommand.h"

namespace tarvel {
namespace {

// What was read, as one line: the history, the options given, or the error.
std::string described(const ParsedArguments& parsed) {
    if (!parsed.error.empty()) return "error: " + parsed.error;
    const RebuildArguments& a = parsed.arguments;
    std::string text = a.historyIndex == 0 ? "purchase" : a.historyIndex == 1 ? "sales" : "-";
    for (const auto& [set, name] : {std::pair{a.assumeYes, " yes"},
                                    {a.help, " help"},
                                    {a.version, " version"},
                                    {a.quiet, " quiet"},
                                    {a.check, " check"}})
        if (set) text += name;
    if (a.summary == SummaryForm::Json) text += " json";
    if (a.summaryGiven) text += " summary-given";
    if (!a.database.empty()) text += " database=" + a.database;
    if (!a.user.empty()) text += " user=" + a.user;
    if (!a.role.empty()) text += " role=" + a.role;
    if (!a.passwordFile.empty()) text += " password-file=" + a.passwordFile;
    if (a.passwordFromInput()) text += " password-from-input";
    return text;
}

TEST(RebuildArguments, ReadsTheHistoryAndTheOptions) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"purchase"}, "purchase"},
        {{"sales", "--yes"}, "sales yes"},
        {{"-y", "sales"}, "sales yes"},
        {{"--", "purchase"}, "purchase"},
        {{"--help"}, "- help"},
        {{"sales", "-h"}, "sales help"},
        {{"--version"}, "- version"},
        {{"-z"}, "- version"},
        {{"-zq"}, "- version quiet"},
        {{"purchase", "-yq"}, "purchase yes quiet"},
        {{"sales", "--quiet", "--summary=json", "-y"}, "sales yes quiet json summary-given"},
        {{"sales", "--summary", "text"}, "sales summary-given"},
        {{"sales", "-q", "--summary=text", "-y"}, "sales yes quiet summary-given"},
        {{"-?"}, "- help"},
        {{"purchase", "-?"}, "purchase help"},
        {{"--", "-?"}, "error: unknown history '-?': purchase or sales"},
        {{"purchase", "--role", "CLERK"}, "purchase role=CLERK"},
        {{"purchase", "--role=rdb$admin", "--user", "u"}, "purchase user=u role=rdb$admin"},
        {{"purchase", "--role"}, "error: option '--role' needs a value"},
        {{"purchase", "--fetch-password", "stdin", "-y"},
         "purchase yes password-file=stdin password-from-input"},
        {{"purchase", "--fetch-password", "./stdin", "-y"}, "purchase yes password-file=./stdin"},
        {{"purchase", "--fetch-password", "stdin"},
         "error: --fetch-password stdin takes standard input for the password; give --yes, the question "
         "cannot be asked there"},
        {{"--database", "db1:/data/pos.fdb", "purchase", "--user=clerk"},
         "purchase database=db1:/data/pos.fdb user=clerk"},
        {{"purchase", "--database=host/3051:/x.fdb"}, "purchase database=host/3051:/x.fdb"},
        {{"purchase", "--database", "/var/pos.fdb"}, "purchase database=/var/pos.fdb"},
        {{"purchase", "--fetch-password", "/etc/pw", "-y"}, "purchase yes password-file=/etc/pw"},
        {{"purchase", "--fetch-password=-", "--yes"}, "purchase yes password-file=- password-from-input"},
        {{"--fetch-password", "-", "--check"}, "- check password-file=- password-from-input"},
        {{"--check"}, "- check"},
        {{"--check", "sales"}, "sales check"},
        {{"purchase", "--user", "", "--database="}, "purchase"},
        {{"purchase", "--data=/x.fdb"}, "purchase database=/x.fdb"},
        {{"--", "--yes"}, "error: unknown history '--yes': purchase or sales"},
        {{}, "error: which history: purchase or sales?"},
        {{"--yes"}, "error: which history: purchase or sales?"},
        {{"purchase", "sales"}, "error: name one history only, purchase or sales"},
        {{"sales", "sales"}, "error: name one history only, purchase or sales"},
        {{"--check", "purchase", "sales"}, "error: name one history only, purchase or sales"},
        {{"Purchase"}, "error: unknown history 'Purchase': purchase or sales"},
        {{"purchase", "extra"}, "error: unknown history 'extra': purchase or sales"},
        {{"--force", "purchase"}, "error: unknown or ambiguous option '--force'"},
        {{"purchase", "-x"}, "error: unknown or ambiguous option '-x'"},
        {{"purchase", "-yx"}, "error: unknown or ambiguous option '-x'"},
        {{"purchase", "--yes=1"}, "error: option '--yes' takes no value"},
        {{"purchase", "--user"}, "error: option '--user' needs a value"},
        {{"purchase", "--database"}, "error: option '--database' needs a value"},
        {{"purchase", "--summary=xml"}, "error: --summary takes text or json, not 'xml'"},
        {{"purchase", "--fetch-password", "-"},
         "error: --fetch-password - takes standard input for the password; give --yes, the question cannot "
         "be asked there"},
        // A password is never an option's value: neither its value nor a
        // guess at one is quoted back.
        {{"purchase", "--password=s3cret"}, "error: unknown or ambiguous option '--password'"},
        {{"purchase", "-ps3cret"}, "error: unknown or ambiguous option '-p'"},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(described(parseRebuildArguments(arguments)), expected)
            << ::testing::PrintToString(arguments);
}

TEST(RebuildArguments, TheRoleComesFromTheOptionTheEntryOrTheEnvironment) {
    const struct {
        const char* option;
        const char* entry;
        const char* environment;
        const char* role;
    } cases[] = {
        {"CLERK", "MANAGER", "AUDIT", "CLERK"},
        {"", "MANAGER", "AUDIT", "MANAGER"},
        {"", " MANAGER ", "", "MANAGER"},
        {"", "RoleName", "AUDIT", "AUDIT"},
        {"", "RoleName", "", ""},
        {"", "", "AUDIT", "AUDIT"},
        {"", "  ", "", ""},
        {"CLERK", "RoleName", "", "CLERK"},
    };
    for (const auto& c : cases) {
        RebuildArguments arguments;
        arguments.role = c.option;
        LoginEnvironment environment;
        environment.iscRole = c.environment;
        EXPECT_EQ(roleFor(arguments, environment, c.entry), c.role)
            << c.option << " | " << c.entry << " | " << c.environment;
    }
}

TEST(CheckCodes, TheFindingAScriptMustActOnFirstWins) {
    const struct {
        CheckCode first;
        CheckCode second;
        CheckCode worse;
    } cases[] = {
        {CheckCode::Ready, CheckCode::Held, CheckCode::Held},
        {CheckCode::Held, CheckCode::NotAllowed, CheckCode::NotAllowed},
        {CheckCode::NotAllowed, CheckCode::Held, CheckCode::NotAllowed},
        {CheckCode::NotAllowed, CheckCode::Unreachable, CheckCode::NotAllowed},
        {CheckCode::Unreachable, CheckCode::NotAllowed, CheckCode::NotAllowed},
        {CheckCode::Held, CheckCode::Unreachable, CheckCode::Unreachable},
        {CheckCode::Unreachable, CheckCode::Ready, CheckCode::Unreachable},
        {CheckCode::Ready, CheckCode::Ready, CheckCode::Ready},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(worseOf(c.first, c.second), c.worse)
            << static_cast<int>(c.first) << " " << static_cast<int>(c.second);
    }
    // The table is in the order of its numbers, which the usage text lists.
    int expected = 0;
    for (const CheckCodeEntry& entry : kCheckCodes) EXPECT_EQ(static_cast<int>(entry.code), expected++);
}

TEST(RebuildArguments, WithoutATerminalOnlyYesMayRun) {
    RebuildArguments asking;
    asking.historyIndex = 0;
    RebuildArguments answered = asking;
    answered.assumeYes = true;
    EXPECT_TRUE(unattendedRefusal(asking, true).empty());
    EXPECT_FALSE(unattendedRefusal(asking, false).empty());
    EXPECT_TRUE(unattendedRefusal(answered, true).empty());
    EXPECT_TRUE(unattendedRefusal(answered, false).empty());
    RebuildArguments checking = asking;
    checking.check = true;
    EXPECT_TRUE(unattendedRefusal(checking, false).empty()) << "a check asks nothing";
}

TEST(RebuildArguments, OnlyYesAnswersConfirm) {
    const std::pair<const char*, bool> cases[] = {
        {"y\n", true},  {"Y", true},   {"yes\n", true}, {"  YeS \r\n", true}, {"", false},     {"\n", false},
        {"n\n", false}, {"no", false}, {"ye", false},   {"yess", false},      {"y es", false}, {"是", false},
    };
    for (const auto& [line, yes] : cases) EXPECT_EQ(isYesAnswer(line), yes) << '"' << line << '"';
}

TEST(ConsoleErrorText, ShowsTheBoxTextWithPlainLineBreaks) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"Driver/Connection Registry File '/etc/x.ini' not found",
         "Driver/Connection Registry File '/etc/x.ini' not found."},
        {"Driver Error: Unknown Error\r\nSQL Server Error: table unknown\r\nSTORY_IN",
         "Driver Error: Unknown Error\nSQL Server Error: table unknown\nSTORY_IN."},
        {"ends in a mark!", "ends in a mark!"},
        {"lone\rcarriage return", "lone\rcarriage return."},
    };
    for (const auto& [message, shown] : cases) EXPECT_EQ(consoleErrorText(message), shown) << message;
}

}  // namespace
}  // namespace tarvel
