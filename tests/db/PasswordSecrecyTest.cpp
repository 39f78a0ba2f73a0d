// No error text that an opening of SQLConnection1 raises, nor the last error
// text it keeps, holds the password or a piece of it: the text is shown in
// the error box and may be copied to the clipboard. Failures of the real
// Firebird driver (embedded and over the loopback server) and every failure
// point the fake driver can script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "Error.h"
#include "FakeDriverScript.h"
#include "SettingsFolder.h"
#include "SqlConnection.h"
#include "TestDatabase.h"

using tarvel::Error;
using tarvel::SqlConnection;
using tarvel::testing::SettingsFolder;

namespace {

// A leak of any eight bytes in a row counts, so that a text that quotes the
// start of a long password is caught too.
bool holdsPieceOf(const std::string& text, const std::string& secret) {
    const std::size_t piece = std::min<std::size_t>(8, secret.size());
    for (std::size_t at = 0; at + piece <= secret.size(); ++at) {
        if (text.find(secret.substr(at, piece)) != std::string::npos) return true;
    }
    return false;
}

// The error text the opening raises ("" when it opens) and the connection's
// last error text afterwards.
struct Failure {
    std::string raised;
    std::string lastError;
};

Failure openFailure(SqlConnection& connection) {
    Failure failure;
    try {
        connection.open();
    } catch (const Error& e) {
        failure.raised = e.what();
    }
    failure.lastError = connection.lastErrorText();
    return failure;
}

// Quotes, a semicolon, "--" and a backslash, as a password may hold them.
const std::string kPassword = "Qx7'Jz9;--\\Vw3\"Kp";
// Longer than a connection parameter may be, built from the password.
std::string longPassword() {
    std::string text;
    while (text.size() < 300) text += kPassword;
    return text;
}

enum class Access { Embedded, Server };

struct RealCase {
    const char* what;
    Access access;
    std::string password;
    std::string userName;
    bool databaseExists;
    std::string extraLines;
    std::string expectedPiece;  // the raised text holds it: the failure is the one meant
};

std::string caseName(const ::testing::TestParamInfo<RealCase>& info) {
    std::string name;
    for (const char* c = info.param.what; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    }
    return name;
}

class RealDriverSecrecy : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealDriverSecrecy, ErrorTextsHoldNoPieceOfThePassword) {
    const RealCase& c = GetParam();
    if (c.access == Access::Server) TARVEL_SKIP_WITHOUT_SERVER();
    SettingsFolder folder;
    const std::string file = folder.file("pos.fdb");
    if (c.databaseExists) tarvel::testing::createDatabase(file, "CREATE TABLE T (N INTEGER);");
    const std::string database = c.access == Access::Server ? tarvel::testing::serverDatabase(file) : file;
    folder.write("sqlconnections.ini", "[Kestal]\r\nDriverName=Firebird\r\nDatabase=" + database +
                                           "\r\nUser_Name=" + c.userName + "\r\nPassword=" + c.password +
                                           "\r\n" + c.extraLines + "SQLDialect=3\r\n");
    folder.write("sqldrivers.ini",
                 "[Firebird]\r\nLibraryName=libfbsqldrv.so\r\nVendorLib=libfbclient.so.2\r\n"
                 "GetDriverFunc=GetFirebirdDriver\r\n");
    SqlConnection connection("SQLConnection1", folder.location());

    const Failure failure = openFailure(connection);
    ASSERT_FALSE(failure.raised.empty()) << c.what << ": the opening did not fail";
    EXPECT_NE(failure.raised.find(c.expectedPiece), std::string::npos) << c.what << ": " << failure.raised;
    EXPECT_FALSE(holdsPieceOf(failure.raised, c.password)) << c.what << ": " << failure.raised;
    EXPECT_FALSE(holdsPieceOf(failure.lastError, c.password)) << c.what << ": " << failure.lastError;
    EXPECT_FALSE(connection.isOpen());
}

const RealCase kRealCases[] = {
    {"wrong password over the server", Access::Server, kPassword, "SYSDBA", true, "",
     "Your user name and password are not defined"},
    {"unknown user over the server", Access::Server, kPassword, "NOBODY_TARVEL", true, "",
     "Your user name and password are not defined"},
    {"missing database over the server", Access::Server, kPassword, "SYSDBA", false, "",
     "SQL Server Error: "},
    {"missing database embedded", Access::Embedded, kPassword, "SYSDBA", false, "", "SQL Server Error: "},
    {"too long password over the server", Access::Server, longPassword(), "SYSDBA", true, "",
     "password too long"},
    {"too long password embedded", Access::Embedded, longPassword(), "SYSDBA", true, "", "password too long"},
    {"no server at the host's port", Access::Embedded, kPassword, "SYSDBA", true,
     "Server Port=1\r\nHostName=127.0.0.1\r\n", "SQL Server Error: "},
    {"unknown character set over the server", Access::Server, kPassword, "SYSDBA", true,
     "ServerCharSet=NO_SUCH_SET\r\n", "SQL Server Error: "},
};

INSTANTIATE_TEST_SUITE_P(Cases, RealDriverSecrecy, ::testing::ValuesIn(kRealCases), caseName);

// Every failure point of the opening that the fake driver can script, with
// and without a message of the failed object.
struct FakeCase {
    const char* what;
    std::function<void()> script;
};

class FakeDriverSecrecy : public ::testing::TestWithParam<FakeCase> {
protected:
    void SetUp() override { fakedriver::reset(); }
    void TearDown() override { fakedriver::reset(); }
};

TEST_P(FakeDriverSecrecy, ErrorTextsHoldNoPieceOfThePassword) {
    const FakeCase& c = GetParam();
    SettingsFolder folder;
    folder.write("sqlconnections.ini",
                 "[Kestal]\r\nDriverName=Firebird\r\nDatabase=/db/pos.fdb\r\nUser_Name=SYSDBA"
                 "\r\nPassword=" +
                     kPassword + "\r\n");
    folder.write("sqldrivers.ini",
                 "[Firebird]\nLibraryName=libfakesqldrv.so\nVendorLib=libfbclient.so.2\n"
                 "GetDriverFunc=GetFakeDriver\n");
    c.script();
    {
        SqlConnection connection("SQLConnection1", folder.location());
        const Failure failure = openFailure(connection);
        ASSERT_FALSE(failure.raised.empty()) << c.what << ": the opening did not fail";
        EXPECT_FALSE(holdsPieceOf(failure.raised, kPassword)) << c.what << ": " << failure.raised;
        EXPECT_FALSE(holdsPieceOf(failure.lastError, kPassword)) << c.what << ": " << failure.lastError;
        // A second opening, where the last error text is the fallback.
        const Failure again = openFailure(connection);
        EXPECT_FALSE(holdsPieceOf(again.raised, kPassword)) << c.what << ": " << again.raised;
    }
    EXPECT_EQ(fakedriver::liveObjects(), 0) << c.what;
}

void failWithMessage(const std::string& call, sqldriver::Status status, const std::string& message) {
    fakedriver::failAlways(call, status);
    fakedriver::setErrorMessage("connection", message);
}

const FakeCase kFakeCases[] = {
    {"entry function fails", [] { fakedriver::failAlways("entry", sqldriver::status::DriverInitFailed); }},
    {"connection object refused",
     [] { fakedriver::failAlways("driver.getSQLConnection", sqldriver::status::NoMemory); }},
    {"connect refused as a login failure",
     [] { failWithMessage("connection.connect", sqldriver::status::InvalidUserPassword, "login refused"); }},
    {"connect refused without a message",
     [] { fakedriver::failAlways("connection.connect", sqldriver::status::ConnectionFailed); }},
    {"connect refused with an unknown status", [] { fakedriver::failAlways("connection.connect", 999); }},
    {"metadata refused",
     [] { failWithMessage("connection.getSQLMetaData", sqldriver::status::SqlError, "no metadata"); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, FakeDriverSecrecy, ::testing::ValuesIn(kFakeCases));

}  // namespace
