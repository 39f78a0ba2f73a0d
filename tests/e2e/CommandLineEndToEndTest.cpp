// The built tarvel-rebuild against real Firebird databases, embedded and over
// the loopback server: where the user and the password come from and in which
// order, the role's, --database, -z, what --quiet and --summary print, and
// --check with its exit codes, in prose and JSON. Every
// case runs the program in a process of its own and looks at its exit code,
// both outputs, and the history table of each database afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FileText.h"
#include "IsqlSession.h"
#include "TestDatabase.h"

namespace tarvel::testing {
namespace {

enum class Access { Embedded, Server };
enum class Rebuilt { None, First, Second };

// Five lines, four with a positive price, naming three pairs; one history row
// of a pair no line names, which a run leaves alone.
const char* const kScript = R"(
CREATE TABLE INSTORAGE_SUB (
    PROVIDER_ID VARCHAR(10) NOT NULL, PROD_ID VARCHAR(20) NOT NULL, B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL, TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE STORY_IN (
    PROVIDER_ID VARCHAR(10), PROD_ID VARCHAR(20), STD_COST NUMERIC(12,4), CHG_DATE DATE,
    TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(13), SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE SAL_SUB (
    CUST_ID VARCHAR(10) NOT NULL, PROD_ID VARCHAR(20) NOT NULL, B_PRICE NUMERIC(12,4),
    BILL_DATE DATE NOT NULL, TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(40),
    SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
CREATE TABLE STORY_SAL (
    CUST_ID VARCHAR(10), PROD_ID VARCHAR(20), U_PRICE NUMERIC(12,4), CHG_DATE DATE,
    TEMPPRODID VARCHAR(20), PROD_BARCODE VARCHAR(13), SALE_PRICE NUMERIC(12,4), U_DIS NUMERIC(5,2));
COMMIT;
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'A', 10, '2024-01-01', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'A', 12, '2024-01-02', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P1', 'B', 5, '2024-01-03', 'T2', 'B2', 9, 0);
INSERT INTO INSTORAGE_SUB VALUES ('P2', 'A', 11, '2024-01-04', 'T1', 'B1', 20, 5);
INSERT INTO INSTORAGE_SUB VALUES ('P2', 'C', 0, '2024-01-05', 'T3', 'B3', 1, 0);
INSERT INTO STORY_IN VALUES ('P9', 'Z', 1, '2020-01-01', 'T9', 'B9', 1, 0);
COMMIT;
CREATE ROLE CLERK;
GRANT SELECT ON INSTORAGE_SUB TO CLERK;
GRANT SELECT, INSERT, DELETE ON STORY_IN TO CLERK;
GRANT CLERK TO NOBODY;
)";
// A third database, made only for the cases that name it: no sales history.
const char* const kWithoutSales = "DROP TABLE STORY_SAL;\n";
constexpr int kRowsBefore = 1;
constexpr int kRowsAfter = 4;  // three pairs and the row left alone

// Not the server's password; it must never show in any output.
const char* const kWrongPassword = "Wr0ng-Pa55-9xq";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Rows of STORY_IN, asked of the server (which may still hold a file a run
// through it used, so an embedded look could be refused).
int historyRows(const std::string& path) {
    const std::string command =
        "echo 'SELECT COUNT(*) FROM STORY_IN;' | isql-fb -q -user SYSDBA -password '" + testPassword() +
        "' '" + serverDatabase(path) + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run isql-fb");
    std::string output;
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    ::pclose(pipe);
    std::smatch count;
    if (!std::regex_search(output, count, std::regex(R"(=+\s+(\d+))")))
        throw std::runtime_error("no count from isql-fb: " + output);
    return std::stoi(count[1]);
}

struct CommandLineCase {
    const char* what;
    Access access;  // how the entry's Database= reaches the first database
    // The entry's lines after Database=; {pw} is the server's password.
    const char* login;
    // Arguments and NAME=value settings; {db2} is the second database's
    // path, {db3} that of a database without STORY_SAL, {dbsrv} the first
    // database through the server, {pwfile} the password file, {creds} the
    // credentials folder, {missing} a database file that does not exist,
    // {unreadable} a password file of mode 0000.
    std::vector<std::string> arguments;
    // NAME=value settings; "{stdout}=/dev/full" is none: it makes standard
    // output a device that takes no write (the output then counts as empty);
    // nor is "{claim}=TABLE": an isql-fb session holds a run's claim on TABLE
    // of the first database, through the server, while the run runs.
    std::vector<std::string> environment;
    const char* passwordFile;  // its content; nullptr: no such file
    const char* credential;    // content of {creds}/password; nullptr: none
    const char* input;         // standard input
    int exitCode;
    const char* output;  // the whole standard output, as a regular expression
    const char* errors;  // a regular expression found in standard error
    Rebuilt rebuilt;
};

void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.what; }

const char* const kDone = "階段作業完成\n";
const char* const kRefused = "tarvel-rebuild: (.|\n)*Your user name and password are not defined";

const CommandLineCase kCases[] = {
    {"the password from a file wins over the entry's",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"purchase", "--yes", "--fetch-password", "{pwfile}"},
     {},
     "{pw}\n",
     nullptr,
     "",
     0,
     kDone,
     "lines 5, pairs 3, ",
     Rebuilt::First},
    {"the password from standard input",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"purchase", "--fetch-password=-", "--yes"},
     {},
     nullptr,
     nullptr,
     "{pw}\r\n",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"the credential wins over the entry's",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"purchase", "--yes"},
     {"CREDENTIALS_DIRECTORY={creds}"},
     nullptr,
     "{pw}",
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"an empty password file falls through to the credential",
     Access::Server,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes", "--fetch-password", "{pwfile}"},
     {"CREDENTIALS_DIRECTORY={creds}"},
     "\n",
     "{pw}\n",
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"ISC_PASSWORD where the entry's is empty",
     Access::Server,
     "User_Name=SYSDBA\nPassword=\n",
     {"purchase", "--yes"},
     {"ISC_PASSWORD={pw}"},
     nullptr,
     nullptr,
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"the entry's password wins over ISC_PASSWORD",
     Access::Server,
     "User_Name=SYSDBA\nPassword={pw}\n",
     {"purchase", "--yes"},
     {"ISC_PASSWORD={wrong}"},
     nullptr,
     nullptr,
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"--user wins over the entry's, the entry's over ISC_USER",
     Access::Server,
     "User_Name=NOBODY\nPassword={pw}\n",
     {"purchase", "--yes", "--user", "SYSDBA"},
     {"ISC_USER=NOBODY"},
     nullptr,
     nullptr,
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"a wrong password: the server's text, exit 1",
     Access::Server,
     "User_Name=SYSDBA\nPassword={pw}\n",
     {"purchase", "--yes", "--fetch-password", "{pwfile}"},
     {},
     "{wrong}\n",
     nullptr,
     "",
     1,
     "",
     kRefused,
     Rebuilt::None},
    {"a wrong password with a JSON summary",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"purchase", "--yes", "--summary=json", "--quiet"},
     {},
     nullptr,
     nullptr,
     "",
     1,
     R"(\{"result":"failed","error":"[^"]*Your user name and password are not defined[^"]*\\n[^"]*","lines":0,"pairs":0,"seconds":\d+\.\d\}\n)",
     kRefused,
     Rebuilt::None},
    // Embedded, a user not named is the login's own (only root's counts as
    // SYSDBA): these cases name the owner of the test databases.
    {"--database names a second database",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"--database", "{db2}", "purchase", "-y"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     kDone,
     "pairs 3",
     Rebuilt::Second},
    {"--quiet prints nothing on success",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes", "--quiet"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "",
     "^$",
     Rebuilt::First},
    {"--summary=json",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes", "--summary=json"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     R"(\{"result":"done","lines":5,"pairs":3,"seconds":\d+\.\d\}\n)",
     "5/5 lines",
     Rebuilt::First},
    {"--version",
     Access::Embedded,
     "",
     {"--version"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     R"(tarvel-rebuild \d+\.\d+\.\d+\nclient library: [A-Z]{2}-V\d[^\n]* Firebird 3\.\d\n)",
     "^$",
     Rebuilt::None},
    {"-z with a database: the server's version as well, after the same login as a run",
     Access::Server,
     "User_Name=SYSDBA\n",
     {"-z", "--database", "{dbsrv}", "--fetch-password", "{pwfile}"},
     {},
     "{pw}\n",
     nullptr,
     "",
     0,
     R"(tarvel-rebuild \d+\.\d+\.\d+\nclient library: [^\n]+\nserver: Firebird 3\.\d+\.\d+\n)",
     "^$",
     Rebuilt::None},
    {"-z with a database it cannot log in to: exit 1 after the versions it knows",
     Access::Server,
     "User_Name=SYSDBA\n",
     {"-z", "--database", "{dbsrv}", "--fetch-password", "{pwfile}"},
     {},
     "{wrong}\n",
     nullptr,
     "",
     1,
     R"(tarvel-rebuild \d+\.\d+\.\d+\nclient library: [^\n]+\n)",
     "tarvel-rebuild: the server's version: (.|\n)*Your user name and password are not defined",
     Rebuilt::None},
    {"-? shows the usage with the check's exit codes",
     Access::Embedded,
     "",
     {"-?"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "Usage: tarvel-rebuild (.|\n)*Exit codes of --check:\n  0 a run can proceed now\n  1 another run holds "
     "the history table\n  2 wrong usage\n  3 cannot connect or log in\n  4 not allowed(.|\n)*",
     "^$",
     Rebuilt::None},
    {"--fetch-password stdin reads standard input",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"purchase", "--fetch-password", "stdin", "--yes"},
     {},
     nullptr,
     nullptr,
     "{pw}\n",
     0,
     kDone,
     "pairs 3",
     Rebuilt::First},
    {"an output that takes no write: the run completes, then exit 1",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes"},
     {"{stdout}=/dev/full"},
     nullptr,
     nullptr,
     "",
     1,
     "",
     "lines 5, pairs 3, (.|\n)*tarvel-rebuild: standard output or standard error could not be written",
     Rebuilt::First},
    {"--quiet with --summary=text: only the summary line",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes", "--quiet", "--summary=text"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "",
     R"(^lines 5, pairs 3, \d+\.\d s\n$)",
     Rebuilt::First},
    {"--check on a good database",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"--check", "purchase"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "(.|\n)*INSTORAGE_SUB: 5 rows(.|\n)*STORY_IN: 1 rows(.|\n)*a run could proceed now\n",
     "^$",
     Rebuilt::None},
    // Embedded, any user name is taken without a password: one the database
    // grants nothing.
    {"--check as a user without rights",
     Access::Embedded,
     "",
     {"--check", "purchase", "--user", "NOBODY"},
     {},
     nullptr,
     nullptr,
     "",
     4,
     "(.|\n)*privileges on STORY_IN: none; a run needs SELECT, INSERT, DELETE as well\n(.|\n)*"
     "a run cannot proceed now: not allowed[^\n]*\n",
     "^$",
     Rebuilt::None},
    {"--check through a role given by --role, over the entry's",
     Access::Embedded,
     "RoleName=NOSUCH\n",
     {"--check", "purchase", "--user", "NOBODY", "--role", "CLERK"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "(.|\n)*user NOBODY, role CLERK\n(.|\n)*privileges on STORY_IN: SELECT, INSERT, DELETE\n(.|\n)*"
     "a run could proceed now\n",
     "^$",
     Rebuilt::None},
    {"ISC_ROLE where the entry holds the placeholder",
     Access::Embedded,
     "RoleName=RoleName\n",
     {"--check", "purchase", "--user", "NOBODY"},
     {"ISC_ROLE=CLERK"},
     nullptr,
     nullptr,
     "",
     0,
     "(.|\n)*user NOBODY, role CLERK\n(.|\n)*a run could proceed now\n",
     "^$",
     Rebuilt::None},
    {"the entry's role wins over ISC_ROLE",
     Access::Embedded,
     "RoleName=NOSUCH\n",
     {"--check", "purchase", "--user", "NOBODY"},
     {"ISC_ROLE=CLERK"},
     nullptr,
     nullptr,
     "",
     4,
     "(.|\n)*privileges on STORY_IN: none;(.|\n)*",
     "^$",
     Rebuilt::None},
    {"--check names a missing table as missing, and the settings files it read",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"--check", "--database", "{db3}"},
     {},
     nullptr,
     nullptr,
     "",
     4,
     "settings: [^\n]*/config/kestal/settings.ini\nsettings: [^\n]*/sqlconnections.ini\nsettings: "
     "[^\n]*/sqldrivers.ini\n(.|\n)*purchase:\n(.|\n)*claim of STORY_IN for a run: free now\nsales:\n"
     "  SAL_SUB: 0 rows\n  privileges on SAL_SUB: [^\n]*\n  STORY_SAL: missing\n"
     "a run cannot proceed now: not allowed[^\n]*\n",
     "^$",
     Rebuilt::None},
    {"--check --summary=json on a good database",
     Access::Server,
     "User_Name=SYSDBA\nPassword={pw}\n",
     {"--check", "purchase", "--summary=json"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     R"(\{"result":"ready","code":0,"settingsFiles":\["[^"]*/settings.ini","[^"]*/sqlconnections.ini",)"
     R"("[^"]*/sqldrivers.ini"\],"database":"127.0.0.1:[^"]*first.fdb","server":"127.0.0.1",)"
     R"("serverVersion":"3\.\d+\.\d+","user":"SYSDBA","role":null,"readOnly":false,)"
     R"("tables":\[\{"table":"INSTORAGE_SUB","exists":true,"rows":5,[^}]*\},)"
     R"(\{"table":"STORY_IN","exists":true,"rows":1,"privileges":"SELECT, INSERT, UPDATE, DELETE, )"
     R"(REFERENCES","missingPrivileges":""\}\],"claims":\[\{"table":"STORY_IN","free":true\}\],)"
     R"("problems":\[\]\}\n)",
     "^$",
     Rebuilt::None},
    {"--check --summary=json: a missing table, the same code",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"--check", "sales", "--database", "{db3}", "--summary=json"},
     {},
     nullptr,
     nullptr,
     "",
     4,
     R"(\{"result":"not-allowed","code":4,.*\{"table":"STORY_SAL","exists":false\}\],"claims":\[\],)"
     R"("problems":\["STORY_SAL: missing"\]\}\n)",
     "^$",
     Rebuilt::None},
    {"--check with a lock folder that cannot be made: not allowed, though the open fails too",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"--check", "purchase"},
     {"FIREBIRD_LOCK={pwfile}/lock"},
     "not a folder\n",
     nullptr,
     "",
     4,
     "(.|\n)*lock folder missing; its parent [^\n]*/password: [^\n]*create for this user: no\n"
     "a run cannot proceed now: not allowed[^\n]*\n",
     "tarvel-rebuild: cannot open the database: ",
     Rebuilt::None},
    {"--check --summary=json with a wrong password: cannot log in",
     Access::Server,
     "User_Name=SYSDBA\nPassword={wrong}\n",
     {"--check", "--summary=json"},
     {},
     nullptr,
     nullptr,
     "",
     3,
     R"(\{"result":"unreachable","code":3,.*"problems":\["cannot open the database: [^"]*Your user name)"
     R"( and password are not defined[^"]*"\]\}\n)",
     kRefused,
     Rebuilt::None},
    {"--check with two histories is a usage error",
     Access::Embedded,
     "",
     {"--check", "purchase", "sales"},
     {},
     nullptr,
     nullptr,
     "",
     2,
     "",
     "tarvel-rebuild: name one history only",
     Rebuilt::None},
    {"--check as the database's owner, on tables another user made",
     Access::Embedded,
     "",
     {"--check", "purchase", "--database", "{db2}", "--user", "OWNER1"},
     {},
     nullptr,
     nullptr,
     "",
     0,
     "(.|\n)*privileges on STORY_IN: SELECT, INSERT, UPDATE, DELETE, REFERENCES\n(.|\n)*a run could proceed "
     "now\n",
     "^$",
     Rebuilt::None},
    {"an unreadable password file: its owner, group and mode, exit 1",
     Access::Embedded,
     "User_Name=SYSDBA\n",
     {"purchase", "--yes", "--fetch-password", "{unreadable}"},
     {},
     nullptr,
     nullptr,
     "",
     1,
     "",
     "tarvel-rebuild: cannot read the password file '[^']*/unreadable': Permission denied; its owner, group "
     "and "
     "mode, [^ ]+ 0000, give this user \\([^)]+\\) no read access\\.\n",
     Rebuilt::None},
    {"--check while another run holds the history table",
     Access::Server,
     "User_Name=SYSDBA\nPassword={pw}\n",
     {"--check", "purchase"},
     {"{claim}=STORY_IN"},
     nullptr,
     nullptr,
     "",
     1,
     "(.|\n)*claim of STORY_IN for a run: refused: STORY_IN is being rebuilt by another run \\(isql-fb, "
     "process [0-9]+(.|\n)*",
     "",
     Rebuilt::None},
    {"--check on a missing file",
     Access::Embedded,
     "",
     {"--check", "--database", "{missing}"},
     {},
     nullptr,
     nullptr,
     "",
     3,
     "(.|\n)*a run cannot proceed now: cannot connect or log in\n",
     "tarvel-rebuild: (.|\n)*missing.fdb",
     Rebuilt::None},
};

class CommandLineEndToEnd : public ::testing::TestWithParam<CommandLineCase> {};

// An isql-fb session that holds a run's claim on `table` (the mark a run
// leaves on its attachment) until its end.
class ClaimHolder {
public:
    ClaimHolder(const TempDir& dir, const std::string& database, const std::string& table)
        : m_session(dir.file("claim.fifo"), database, testPassword()) {
        m_session.send("SELECT 'HELD' || RDB$SET_CONTEXT('USER_SESSION', 'TARVEL_RUN_CLAIM', '" + table +
                       "') FROM RDB$DATABASE;\n");
        m_session.waitForLine("HELD");
    }

private:
    bench::IsqlSession m_session;
};

TEST_P(CommandLineEndToEnd, RunsAsTheOptionsSay) {
    const CommandLineCase& c = GetParam();
    // Password checks need the server: an embedded attachment takes any.
    if (c.access == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    const bool needsUnreadable = std::ranges::any_of(c.arguments, [](const std::string& argument) {
        return argument.find("{unreadable}") != std::string::npos;
    });
    if (needsUnreadable && ::geteuid() == 0) GTEST_SKIP() << "root reads a file of any mode";
    TempDir dir;
    const std::string first = dir.file("first.fdb");
    const std::string second = dir.file("second.fdb");
    createDatabase(first, kScript);
    createDatabase(second, kScript, "OWNER1");  // its tables SYSDBA's
    const std::string third = dir.file("third.fdb");
    if (std::ranges::any_of(c.arguments, [](const std::string& a) { return a == "{db3}"; }))
        createDatabase(third, std::string(kScript) + kWithoutSales);
    const auto expand = [&](std::string text) {
        text = replaced(text, "{pw}", testPassword());
        text = replaced(text, "{wrong}", kWrongPassword);
        text = replaced(text, "{db2}", second);
        text = replaced(text, "{db3}", third);
        text = replaced(text, "{dbsrv}", serverDatabase(first));
        text = replaced(text, "{pwfile}", dir.file("password"));
        text = replaced(text, "{creds}", dir.file("credentials"));
        text = replaced(text, "{unreadable}", dir.file("unreadable"));
        return replaced(text, "{missing}", dir.file("missing.fdb"));
    };
    const std::string database = c.access == Access::Server ? serverDatabase(first) : first;
    writeFile(dir.file("sqlconnections.ini"), "[Kestal]\nDriverName=Firebird\nDatabase=" + database + "\n" +
                                                  expand(c.login) + "SQLDialect=3\n");
    writeFile(dir.file("sqldrivers.ini"), "[Firebird]\nLibraryName=" + binFolder() +
                                              "/libfbsqldrv.so\nVendorLib=libfbclient.so.2\n"
                                              "GetDriverFunc=GetFirebirdDriver\n");
    std::filesystem::create_directories(dir.file("config/kestal"));
    writeFile(dir.file("config/kestal/settings.ini"),
              "[Software\\Kestal\\SQLAccess]\n\"Connection Registry File\"=\"" +
                  dir.file("sqlconnections.ini") + "\"\n\"Driver Registry File\"=\"" +
                  dir.file("sqldrivers.ini") + "\"\n");
    if (c.passwordFile) writeFile(dir.file("password"), expand(c.passwordFile));
    if (c.credential) {
        std::filesystem::create_directories(dir.file("credentials"));
        writeFile(dir.file("credentials/password"), expand(c.credential));
    }
    writeFile(dir.file("input"), expand(c.input));
    if (needsUnreadable) {
        writeFile(dir.file("unreadable"), testPassword() + "\n");
        std::filesystem::permissions(dir.file("unreadable"), std::filesystem::perms::none);
    }

    bench::ChildProcess::Setup setup;
    // Nothing of the test runner's own login or journal reaches the run.
    setup.environment = {"XDG_CONFIG_HOME=" + dir.file("config"),
                         "LC_ALL=C",
                         "ISC_USER=",
                         "ISC_PASSWORD=",
                         "ISC_ROLE=",
                         "CREDENTIALS_DIRECTORY=",
                         "JOURNAL_STREAM="};
    const bool fullOutput = std::ranges::count(c.environment, std::string("{stdout}=/dev/full")) > 0;
    for (const std::string& setting : c.environment) {
        if (setting.starts_with("{")) continue;
        const std::string name = setting.substr(0, setting.find('=') + 1);
        std::erase_if(setup.environment, [&](const std::string& given) { return given.starts_with(name); });
        setup.environment.push_back(expand(setting));
    }
    setup.inputFile = dir.file("input");
    setup.outputFile = fullOutput ? "/dev/full" : dir.file("stdout");
    setup.errorFile = dir.file("stderr");
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) arguments.push_back(expand(argument));
    std::optional<ClaimHolder> holder;
    for (const std::string& setting : c.environment)
        if (setting.starts_with("{claim}=")) holder.emplace(dir, serverDatabase(first), setting.substr(8));
    bench::ChildProcess run(binFolder() + "/tarvel-rebuild", arguments, setup);
    const std::optional<int> code = run.waitFor(std::chrono::seconds(120));
    holder.reset();
    ASSERT_TRUE(code) << "still running after 2 minutes";
    const std::string output = fullOutput ? "" : readFile(dir.file("stdout"));
    const std::string errors = readFile(dir.file("stderr"));

    EXPECT_EQ(*code, c.exitCode) << errors;
    EXPECT_TRUE(std::regex_match(output, std::regex(c.output))) << output;
    EXPECT_TRUE(std::regex_search(errors, std::regex(c.errors))) << errors;
    // The temporary folders' names hold the test password's usual text.
    for (const std::string& shown : {output, errors}) {
        const std::string withoutFolders = replaced(shown, dir.path(), "");
        EXPECT_EQ(withoutFolders.find(kWrongPassword), std::string::npos) << shown;
        EXPECT_EQ(withoutFolders.find(testPassword()), std::string::npos) << shown;
    }
    if (c.access == Access::Embedded) TARVEL_SKIP_WITHOUT_SERVER();  // the tables are read through it
    EXPECT_EQ(historyRows(first), c.rebuilt == Rebuilt::First ? kRowsAfter : kRowsBefore);
    EXPECT_EQ(historyRows(second), c.rebuilt == Rebuilt::Second ? kRowsAfter : kRowsBefore);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandLineCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace tarvel::testing
