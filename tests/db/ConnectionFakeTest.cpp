// SQLConnection1 against the scriptable fake driver: the opening's calls and
// values, every failure text, error texts, retries, the statement limit and
// its clone, closing, and transactions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "Error.h"
#include "FakeDriverScript.h"
#include "SettingsFolder.h"
#include "SqlConnection.h"

using tarvel::Error;
using tarvel::SqlConnection;
using tarvel::testing::SettingsFolder;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const std::string kBuiltInEntry =
    "[Kestal]\r\n"
    "DriverName=Firebird\r\n"
    "Database=127.0.0.1:d:\\Kestal\\Data\\Data45\\POSDATA.GDB\r\n"
    "RoleName=RoleName\r\n"
    "User_Name=SYSDBA\r\n"
    "Password=quernmill\r\n"
    "ServerCharSet=\r\n"
    "SQLDialect=3\r\n"
    "BlobSize=-1\r\n"
    "CommitRetain=False\r\n"
    "WaitOnLocks=True\r\n"
    "ErrorResourceFile=\r\n"
    "LocaleCode=0000\r\n"
    "Firebird TransIsolation=ReadCommited\r\n"
    "Trim Char=False\r\n";

const std::string kFakeDrivers =
    "[Firebird]\n"
    "LibraryName=libfakesqldrv.so\n"
    "VendorLib=libfbclient.so.2\n"
    "GetDriverFunc=GetFakeDriver\n";

const std::string kMinimalEntry = "[Kestal]\nDriverName=Firebird\nDatabase=/db/pos.fdb\n";

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { fakedriver::reset(); }
    void TearDown() override {
        m_connection.reset();
        EXPECT_EQ(fakedriver::liveObjects(), 0) << "driver objects left unreleased";
    }

    void writeFiles(const std::string& entry, const std::string& drivers = kFakeDrivers) {
        m_folder.write("sqlconnections.ini", entry);
        m_folder.write("sqldrivers.ini", drivers);
    }
    SqlConnection& connection() {
        if (!m_connection)
            m_connection = std::make_unique<SqlConnection>("SQLConnection1", m_folder.location());
        return *m_connection;
    }
    // The text of the error the opening raises, "" when it opens.
    std::string openError() {
        try {
            connection().open();
        } catch (const Error& e) {
            return e.what();
        }
        return {};
    }
    // The option calls of the log, in order.
    static std::vector<std::string> optionCalls() {
        std::vector<std::string> out;
        for (const std::string& line : fakedriver::log()) {
            if (line.rfind("connection.setIntOption", 0) == 0 ||
                line.rfind("connection.setTextOption", 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }

    SettingsFolder m_folder;
    std::unique_ptr<SqlConnection> m_connection;
};

TEST_F(ConnectionTest, BuiltInListOpensWithTheseCallsInOrder) {
    writeFiles(kBuiltInEntry);
    ASSERT_EQ(openError(), "");
    EXPECT_TRUE(connection().isOpen());
    EXPECT_THAT(
        fakedriver::log(),
        ElementsAreArray(std::vector<std::string>{
            "entry \"libfbclient.so.2\" \"\"", "driver.getSQLConnection",
            "connection.setTextOption 3 \"RoleName\"", "connection.setIntOption 4 1",
            "connection.setIntOption 5 0", "connection.setIntOption 6 0", "connection.setIntOption 16 3",
            "connection.setIntOption 25 0", "connection.setIntOption 38 15",
            "connection.connect \"127.0.0.1:d:\\\\Kestal\\\\Data\\\\Data45\\\\POSDATA.GDB\" "
            "\"SYSDBA\" \"quernmill\"",
            "connection.getOption 14 4", "connection.getSQLMetaData", "metadata.setOption 1 \"SYSDBA\"",
            "metadata.getOption 11 1", "connection.setIntOption 2 -1", "metadata.getOption 5 4",
            "metadata.getOption 15 4"}));
    EXPECT_EQ(connection().quoteChar(), '"');
    EXPECT_EQ(connection().isolationLevel(), 0);
    EXPECT_TRUE(connection().supportsTransaction());
    EXPECT_TRUE(connection().supportsMultipleTransactions());
    EXPECT_TRUE(connection().paramsLoaded());
    EXPECT_EQ(connection().libraryName, "libfakesqldrv.so");
    EXPECT_EQ(connection().getDriverFunc, "GetFakeDriver");
}

TEST_F(ConnectionTest, BuiltInSettingsBeforeOpening) {
    writeFiles(kBuiltInEntry);
    SqlConnection& c = connection();
    EXPECT_EQ(c.name(), "SQLConnection1");
    EXPECT_EQ(c.connectionName, "Kestal");
    EXPECT_EQ(c.driverName, "Firebird");
    EXPECT_EQ(c.getDriverFunc, "GetFirebirdDriver");
    EXPECT_EQ(c.libraryName, "libfbsqldrv.so");
    EXPECT_EQ(c.vendorLib, "libfbclient.so.2");
    EXPECT_TRUE(c.loadParamsOnConnect);
    EXPECT_FALSE(c.loginPrompt);
    EXPECT_FALSE(c.isOpen());
    EXPECT_FALSE(c.paramsLoaded());
    EXPECT_EQ(c.connectionFilePath(), m_folder.path() + "/sqlconnections.ini");
    // The built-in list is the same text as the file above, line for line.
    EXPECT_EQ(c.params.lines().size(), 14u);
    EXPECT_EQ(c.params.lines().front(), "DriverName=Firebird");
    EXPECT_EQ(c.params.lines().back(), "Trim Char=False");
    EXPECT_EQ(c.params.value("Firebird TransIsolation"), "ReadCommited");
    EXPECT_TRUE(fakedriver::log().empty()) << "creation touched the driver";
}

struct OptionCase {
    const char* what;
    std::string lines;                 // added to the minimal entry
    std::vector<std::string> options;  // option calls before the blob size
    int isolation;
};

class OptionTest : public ConnectionTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionTest, HandsOver) {
    const OptionCase& c = GetParam();
    writeFiles(kMinimalEntry + c.lines);
    ASSERT_EQ(openError(), "") << c.what;
    std::vector<std::string> expected = c.options;
    expected.push_back("connection.setIntOption 38 15");  // the silence time-out, always
    expected.push_back("connection.setIntOption 2 -1");
    EXPECT_THAT(optionCalls(), ElementsAreArray(expected)) << c.what;
    EXPECT_EQ(connection().isolationLevel(), c.isolation) << c.what;
}

const OptionCase kOptionCases[] = {
    {"nothing given: no dialect at all", "", {}, 0},
    {"booleans: only TRUE is true",
     "WaitOnLocks=true\nCommitRetain=Yes\nAutoCommit=TRUE\nBlockingMode=1\n",
     {"connection.setIntOption 4 1", "connection.setIntOption 5 0", "connection.setIntOption 0 1",
      "connection.setIntOption 1 0"},
     0},
    {"boolean trimmed", "Trim Char=  True \n", {"connection.setIntOption 25 1"}, 0},
    {"whole table in its order",
     "Connection Timeout=30\nCustom String= c s \nTrim Char=False\nMultiple Transaction=True\nServer "
     "Port=3051\n"
     "OS Authentication=False\nSqlDialect=1\nFirebird TransIsolation=DirtyRead\nServerCharSet=UTF8\n"
     "BlockingMode=False\nAutoCommit=False\nCommitRetain=True\nWaitOnLocks=False\nRoleName=R\nHostName=db."
     "local\n",
     {"connection.setTextOption 10 \"db.local\"", "connection.setTextOption 3 \"R\"",
      "connection.setIntOption 4 0", "connection.setIntOption 5 1", "connection.setIntOption 0 0",
      "connection.setIntOption 1 0", "connection.setTextOption 15 \"UTF8\"", "connection.setIntOption 6 2",
      "connection.setIntOption 16 1", "connection.setIntOption 20 0", "connection.setTextOption 23 \"3051\"",
      "connection.setIntOption 22 1", "connection.setIntOption 25 0", "connection.setTextOption 31 \"c s\"",
      "connection.setIntOption 32 30"},
     2},
    {"isolation repeatable read",
     "Firebird TransIsolation=RepeatableRead\n",
     {"connection.setIntOption 6 1"},
     1},
    {"isolation upper case", "FIREBIRD TRANSISOLATION=DIRTYREAD\n", {"connection.setIntOption 6 2"}, 2},
    {"isolation ReadCommitted is 0",
     "Firebird TransIsolation=ReadCommitted\n",
     {"connection.setIntOption 6 0"},
     0},
    {"isolation other word is 0", "Firebird TransIsolation=Snapshot\n", {"connection.setIntOption 6 0"}, 0},
    {"isolation of another driver name is not read", "Other TransIsolation=DirtyRead\n", {}, 0},
    {"empty value is not given", "RoleName=\nSQLDialect=\n", {}, 0},
    {"first of two lines wins", "SQLDialect=1\nSqlDialect=3\n", {"connection.setIntOption 16 1"}, 0},
    {"numbers with signs",
     "SQLDialect=+3\nConnection Timeout=-5\n",
     {"connection.setIntOption 16 3", "connection.setIntOption 32 -5"},
     0},
    {"role text passed byte for byte",
     "RoleName=\xa4\xa4 \"x\"\n",
     {"connection.setTextOption 3 \"\\xa4\\xa4 \\\"x\\\"\""},
     0},
};

INSTANTIATE_TEST_SUITE_P(Cases, OptionTest, ::testing::ValuesIn(kOptionCases));

TEST_F(ConnectionTest, BlobSizeAndLoginValues) {
    writeFiles(
        "[Kestal]\nDriverName=Firebird\nDatabase=  127.0.0.1:/x.fdb  \nBlobSize= 64\n"
        "ErrorResourceFile= err.txt \n");
    ASSERT_EQ(openError(), "");
    EXPECT_THAT(fakedriver::logOf("entry"), ElementsAre("entry \"libfbclient.so.2\" \"err.txt\""));
    EXPECT_THAT(fakedriver::logOf("connection.connect"),
                ElementsAre("connection.connect \"127.0.0.1:/x.fdb\" \"\" \"\""));
    EXPECT_TRUE(fakedriver::logOf("metadata.setOption").empty()) << "schema set without a user name";
    EXPECT_THAT(fakedriver::logOf("connection.setIntOption"),
                ElementsAre("connection.setIntOption 38 15", "connection.setIntOption 2 64"));
}

TEST_F(ConnectionTest, DriverAnswersAtOpening) {
    writeFiles(kMinimalEntry);
    fakedriver::setMetaDataOption(sqldriver::metaopt::QuoteChar, std::string(1, '\0'));
    fakedriver::setMetaDataOptionInt(sqldriver::metaopt::SupportsTransaction, 0);
    fakedriver::setConnectionOptionInt(sqldriver::connopt::MaxStatements, 3);
    ASSERT_EQ(openError(), "");
    EXPECT_EQ(connection().quoteChar(), 0);
    EXPECT_FALSE(connection().supportsTransaction());
    EXPECT_TRUE(connection().supportsMultipleTransactions());
    EXPECT_EQ(connection().statementLimit(), 3);
}

TEST_F(ConnectionTest, FailedAnswersAreNotKept) {
    writeFiles(kMinimalEntry);
    fakedriver::failAlways("metadata.getOption", sqldriver::status::NotSupported);
    fakedriver::failAlways("connection.getOption", sqldriver::status::NotSupported);
    fakedriver::failAlways("connection.setIntOption", sqldriver::status::InvalidParameter);
    fakedriver::failAlways("metadata.setOption", sqldriver::status::InvalidParameter);
    fakedriver::setConnectionOptionInt(sqldriver::connopt::MaxStatements, 3);
    ASSERT_EQ(openError(), "") << "statuses of options and answers are not looked at";
    EXPECT_EQ(connection().quoteChar(), 0);
    EXPECT_EQ(connection().statementLimit(), 0);
    EXPECT_FALSE(connection().supportsTransaction());
}

// One failure condition: how to set it up and the text it gives.
struct FailureCase {
    const char* what;
    std::function<void(SettingsFolder&, SqlConnection&)> arrange;  // after default files are written
    std::string expected;                                          // "@" stands for the folder's path
    bool driverReached;                                            // the fake's entry function was called
};

class FailureTest : public ConnectionTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, GivesItsText) {
    const FailureCase& c = GetParam();
    writeFiles(kBuiltInEntry);
    c.arrange(m_folder, connection());
    std::string expected = c.expected;
    for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
        expected.replace(at, 1, m_folder.path());
    EXPECT_EQ(openError(), expected) << c.what;
    EXPECT_FALSE(connection().isOpen()) << c.what;
    EXPECT_EQ(fakedriver::liveObjects(), 0) << c.what;
    EXPECT_EQ(fakedriver::logOf("entry").size(), c.driverReached ? 1u : 0u) << c.what;
}

using Arrange = std::function<void(SettingsFolder&, SqlConnection&)>;

Arrange entry(const std::string& text) {
    return [text](SettingsFolder& f, SqlConnection&) { f.write("sqlconnections.ini", text); };
}
Arrange drivers(const std::string& text) {
    return [text](SettingsFolder& f, SqlConnection&) { f.write("sqldrivers.ini", text); };
}
Arrange script(std::function<void()> f) {
    return [f](SettingsFolder&, SqlConnection&) { f(); };
}

const std::string kDriverStart = "[Firebird]\nVendorLib=libfbclient.so.2\n";

const FailureCase kFailureCases[] = {
    {"connection name empty", [](SettingsFolder&, SqlConnection& c) { c.connectionName = ""; },
     "Connection name missing", false},
    {"no named-connection file",
     [](SettingsFolder& f, SqlConnection&) { std::remove(f.file("sqlconnections.ini").c_str()); },
     "Driver/Connection Registry File '@/sqlconnections.ini' not found", false},
    {"named-connection file cannot be opened",
     [](SettingsFolder& f, SqlConnection&) {
         std::remove(f.file("sqlconnections.ini").c_str());
         ASSERT_TRUE(tarvel::testing::makeUnopenableFile(f.file("sqlconnections.ini")));
     },
     "Cannot open file \"@/sqlconnections.ini\". No such device or address", false},
    {"driver settings file cannot be opened",
     [](SettingsFolder& f, SqlConnection&) {
         std::remove(f.file("sqldrivers.ini").c_str());
         ASSERT_TRUE(tarvel::testing::makeUnopenableFile(f.file("sqldrivers.ini")));
     },
     "Cannot open file \"@/sqldrivers.ini\". No such device or address", false},
    {"driver file value not text",
     [](SettingsFolder& f, SqlConnection&) { f.writeStore("Driver Registry File=dword:00000001\n"); },
     "Invalid data type for 'Driver Registry File'", false},
    {"section missing", entry("[Other]\nDriverName=Firebird\nDatabase=x\n"), "Missing DriverName property",
     false},
    {"no DriverName", entry("[Kestal]\nDatabase=x\n"), "Missing DriverName property", false},
    {"no driver settings file",
     [](SettingsFolder& f, SqlConnection&) { std::remove(f.file("sqldrivers.ini").c_str()); },
     "SQLConnection1: DLL/Shared Library Name not Set", false},
    {"no section for the driver", drivers("[OtherServer]\nLibraryName=x\nVendorLib=y\n"),
     "SQLConnection1: DLL/Shared Library Name not Set", false},
    {"no LibraryName", drivers(kDriverStart + "GetDriverFunc=GetFakeDriver\n"),
     "SQLConnection1: DLL/Shared Library Name not Set", false},
    {"empty LibraryName", drivers(kDriverStart + "LibraryName=  \n"),
     "SQLConnection1: DLL/Shared Library Name not Set", false},
    {"no VendorLib", drivers("[Firebird]\nLibraryName=libfakesqldrv.so\nGetDriverFunc=GetFakeDriver\n"),
     "SQLConnection1: DLL/Shared Library Name not Set", false},
    {"no Database", entry("[Kestal]\nDriverName=Firebird\nUser_Name=SYSDBA\n"), "Missing Database property",
     false},
    {"library cannot be loaded",
     drivers(kDriverStart + "LibraryName=libnothere-tarvel.so\nGetDriverFunc=X\n"),
     "Unable to Load libnothere-tarvel.so", false},
    {"no GetDriverFunc", drivers(kDriverStart + "LibraryName=libfakesqldrv.so\n"),
     "Unable to Find Procedure ", false},
    {"entry function not in the library",
     drivers(kDriverStart + "LibraryName=libfakesqldrv.so\nGetDriverFunc=GetFirebirdDriver\n"),
     "Unable to Find Procedure GetFirebirdDriver", false},
    {"library without interface version",
     drivers(kDriverStart + "LibraryName=libfakesqldrv_noversion.so\nGetDriverFunc=GetFakeDriver\n"),
     "Unable to Load libfakesqldrv_noversion.so: it does not report its driver interface version", false},
    {"library of another interface version", script([] { fakedriver::setInterfaceVersion(99); }),
     "Unable to Load libfakesqldrv.so: driver interface version 99, expected " +
         std::to_string(sqldriver::kInterfaceVersion),
     false},
    {"entry function fails",
     script([] { fakedriver::failNext("entry", sqldriver::status::DriverInitFailed); }),
     "Unable to Load libfbclient.so.2", true},
    {"dialect not a number", entry(kMinimalEntry + "SQLDialect= three \n"),
     "'three' is not a valid integer value", true},
    {"timeout not a number", entry(kMinimalEntry + "Connection Timeout=1.5\n"),
     "'1.5' is not a valid integer value", true},
    {"blob size not a number", entry(kMinimalEntry + "BlobSize=all\n"), "'all' is not a valid integer value",
     true},
    {"lines per call zero", entry(kMinimalEntry + "LinesPerCall=0\n"),
     "SQLConnection1: LinesPerCall must be a whole number from 1 to 4095, not '0'", false},
    {"lines per call over the parameter limit", entry(kMinimalEntry + "LinesPerCall=4096\n"),
     "SQLConnection1: LinesPerCall must be a whole number from 1 to 4095, not '4096'", false},
    {"lines per call not a number", entry(kMinimalEntry + "LinesPerCall= ten \n"),
     "SQLConnection1: LinesPerCall must be a whole number from 1 to 4095, not 'ten'", false},
    {"connection object refused", script([] {
         fakedriver::failNext("driver.getSQLConnection", sqldriver::status::NoMemory);
         fakedriver::setErrorMessage("driver", "not asked");
     }),
     "Driver Error: [0x0002]: Insufficient Memory for Operation", true},
    {"connect refused with server message", script([] {
         fakedriver::failNext("connection.connect", sqldriver::status::ConnectionFailed);
         fakedriver::setErrorMessage("connection",
                                     "Unable to complete network request to host \"127.0.0.1\".");
     }),
     "Driver Error: [0x0015]: Connection failed\r\n"
     "SQL Server Error: Unable to complete network request to host \"127.0.0.1\".",
     true},
    {"connect refused, password", script([] { fakedriver::failNext("connection.connect", 12); }),
     "Driver Error: [0x000C] Invalid Username/Password", true},
    {"metadata refused", script([] {
         fakedriver::failNext("connection.getSQLMetaData", sqldriver::status::SqlError);
         fakedriver::setErrorMessage("connection", "no metadata");
     }),
     "Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: no metadata", true},
};

INSTANTIATE_TEST_SUITE_P(Cases, FailureTest, ::testing::ValuesIn(kFailureCases));

TEST_F(ConnectionTest, ConnectionFileValueOfAnotherTypeIsSwallowedAtCreation) {
    writeFiles(kBuiltInEntry);
    m_folder.writeStore("Connection Registry File=hex(b):01,00,00,00,00,00,00,00\n");
    EXPECT_EQ(connection().connectionFilePath(), "");
    EXPECT_EQ(openError(), "Driver/Connection Registry File '' not found");
}

TEST_F(ConnectionTest, StoreNamesBothFiles) {
    m_folder.write("elsewhere-c.ini", kMinimalEntry);
    m_folder.write("elsewhere-d.ini", kFakeDrivers);
    m_folder.writeStore("Connection Registry File=" + m_folder.file("elsewhere-c.ini") +
                        "\nDriver Registry File=" + m_folder.file("elsewhere-d.ini") + "\n");
    EXPECT_EQ(openError(), "");
}

TEST_F(ConnectionTest, ConnectionFilePathIsResolvedOnlyAtCreation) {
    writeFiles(kMinimalEntry);
    connection();
    m_folder.writeStore("Connection Registry File=/nowhere/c.ini\n");
    EXPECT_EQ(openError(), "");
}

TEST_F(ConnectionTest, FailureAfterConnectDetachesAndReleasesEverything) {
    writeFiles(kMinimalEntry + "BlobSize=x\n");
    EXPECT_EQ(openError(), "'x' is not a valid integer value");
    std::vector<std::string> log = fakedriver::log();
    ASSERT_GE(log.size(), 4u);
    std::vector<std::string> tail(log.end() - 4, log.end());
    EXPECT_THAT(tail, ElementsAre("metadata.release", "connection.disconnect", "connection.release",
                                  "driver.release"));
}

TEST_F(ConnectionTest, MissingSectionCountsAsLoadedUntilRestart) {
    writeFiles("[Other]\n");
    EXPECT_EQ(openError(), "Missing DriverName property");
    EXPECT_TRUE(connection().paramsLoaded());
    EXPECT_TRUE(connection().params.empty());
    writeFiles(kMinimalEntry);
    EXPECT_EQ(openError(), "Missing Database property");
    // A new program run (a new connection) reads the section.
    m_connection.reset();
    EXPECT_EQ(openError(), "");
}

TEST_F(ConnectionTest, RetryKeepsLoadedListButRereadsDriverSettings) {
    writeFiles(kMinimalEntry + "User_Name=first\n");
    fakedriver::failNext("connection.connect", sqldriver::status::ConnectionFailed);
    EXPECT_EQ(openError(), "Driver Error: [0x0015]: Connection failed");
    EXPECT_EQ(connection().lastErrorText(), "Driver Error: [0x0015]: Connection failed");

    writeFiles(
        "[Kestal]\nDriverName=Other\nDatabase=/changed.fdb\nUser_Name=second\n",
        "[Other]\nLibraryName=libfakesqldrv.so\nVendorLib= libother.so \nGetDriverFunc=GetFakeDriver\n");
    fakedriver::clearLog();
    EXPECT_EQ(openError(), "");
    EXPECT_EQ(connection().driverName, "Other");
    EXPECT_EQ(connection().vendorLib, "libother.so");
    EXPECT_THAT(fakedriver::logOf("entry"), ElementsAre("entry \"libother.so\" \"\""));
    EXPECT_THAT(fakedriver::logOf("connection.connect"),
                ElementsAre("connection.connect \"/db/pos.fdb\" \"first\" \"\""));
}

TEST_F(ConnectionTest, OpenWhenOpenDoesNothing) {
    writeFiles(kMinimalEntry);
    ASSERT_EQ(openError(), "");
    fakedriver::clearLog();
    std::remove(m_folder.file("sqlconnections.ini").c_str());
    EXPECT_EQ(openError(), "");
    EXPECT_TRUE(fakedriver::log().empty());
}

TEST_F(ConnectionTest, WithoutLoadingTheSettingsAreCheckedAsTheyAre) {
    writeFiles("");
    SqlConnection& c = connection();
    c.loadParamsOnConnect = false;
    c.libraryName = "libfakesqldrv.so";
    c.getDriverFunc = "GetFakeDriver";
    c.params.setLines({"Database=/a.fdb", "Firebird TransIsolation= RepeatableRead"});
    c.driverName = "";
    EXPECT_EQ(openError(), "Missing DriverName property");
    c.driverName = "Firebird";
    c.vendorLib = "";
    EXPECT_EQ(openError(), "SQLConnection1: DLL/Shared Library Name not Set");
    c.vendorLib = "libv.so";
    c.connectionName = "";
    c.params.setLines({});
    EXPECT_EQ(openError(), "Connection name missing");
    c.connectionName = "Kestal";
    EXPECT_EQ(openError(), "Missing Database property");
    // The isolation word is lower-cased but not trimmed.
    c.params.setLines({"Database=/a.fdb", "Firebird TransIsolation= RepeatableRead"});
    EXPECT_EQ(openError(), "");
    EXPECT_EQ(c.isolationLevel(), 0);
    EXPECT_FALSE(c.paramsLoaded());
}

// Records when the connection asked it to let its driver objects go.
class RecordingClient : public tarvel::ConnectionClient {
public:
    void releaseDriverObjects() override { calledAtLogSize.push_back(fakedriver::log().size()); }
    std::vector<std::size_t> calledAtLogSize;
};

TEST_F(ConnectionTest, ClosingSequence) {
    writeFiles(kMinimalEntry);
    RecordingClient client;
    RecordingClient gone;
    connection().registerClient(&client);
    connection().registerClient(&gone);
    connection().registerClient(&client);  // registered once only
    connection().unregisterClient(&gone);
    ASSERT_EQ(openError(), "");
    fakedriver::clearLog();
    connection().close();
    EXPECT_THAT(client.calledAtLogSize, ElementsAre(0u)) << "clients must let go before anything else";
    EXPECT_TRUE(gone.calledAtLogSize.empty());
    EXPECT_THAT(fakedriver::log(),
                ElementsAre("connection.setIntOption 9 0", "connection.setIntOption 12 0", "metadata.release",
                            "connection.disconnect", "connection.release", "driver.release"));
    EXPECT_FALSE(connection().isOpen());
    EXPECT_TRUE(connection().paramsLoaded()) << "a reopening uses the entry loaded first";
    fakedriver::clearLog();
    connection().close();
    EXPECT_TRUE(fakedriver::log().empty()) << "closing a closed connection";
    connection().unregisterClient(&client);
}

// An opening after a close or a lost attachment connects with what the first
// opening read, overrides included, even when both files changed meanwhile.
TEST_F(ConnectionTest, ReopeningKeepsTheFirstOpeningsSettings) {
    const std::pair<const char*, std::function<void(SqlConnection&)>> endings[] = {
        {"closed", [](SqlConnection& c) { c.close(); }},
        {"attachment lost",
         [](SqlConnection& c) {
             fakedriver::setConnectionOptionInt(sqldriver::connopt::ConnectionLost, 1);
             c.noteFailedCall();
             fakedriver::setConnectionOptionInt(sqldriver::connopt::ConnectionLost, 0);
         }},
    };
    for (const auto& [ending, end] : endings) {
        SCOPED_TRACE(ending);
        fakedriver::reset();
        m_connection.reset();
        writeFiles("[Kestal]\nDriverName=Firebird\nDatabase=/db/pos.fdb\nUser_Name=clerk\nPassword=\n");
        tarvel::ParameterOverrides overrides;
        overrides.replace("Database", "host:/other.fdb");
        overrides.fillIn("Password", "from-environment");
        connection().setOverrides(overrides);
        ASSERT_EQ(openError(), "");
        end(connection());
        ASSERT_FALSE(connection().isOpen());
        writeFiles("[Kestal]\nDriverName=Firebird\nDatabase=/second.fdb\nUser_Name=other\nPassword=p2\n",
                   "[Firebird]\nLibraryName=libmissing.so\nVendorLib=libv.so\nGetDriverFunc=Missing\n");
        ASSERT_EQ(openError(), "");
        EXPECT_THAT(fakedriver::logOf("connection.connect"),
                    ElementsAre("connection.connect \"host:/other.fdb\" \"clerk\" \"from-environment\"",
                                "connection.connect \"host:/other.fdb\" \"clerk\" \"from-environment\""));
        EXPECT_THAT(fakedriver::logOf("entry"),
                    ElementsAre("entry \"libfbclient.so.2\" \"\"", "entry \"libfbclient.so.2\" \"\""));
        EXPECT_TRUE(connection().paramsLoaded());
    }
}

TEST_F(ConnectionTest, RefusedClosingOptionIsReportedAfterClosingCompletely) {
    writeFiles(kMinimalEntry);
    ASSERT_EQ(openError(), "");
    fakedriver::failNext("connection.setIntOption", sqldriver::status::InvalidHandle);
    fakedriver::setErrorMessage("connection", "handle gone");
    fakedriver::clearLog();
    try {
        connection().close();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Driver Error: [0x0004]: Invalid Handle\r\nSQL Server Error: handle gone");
    }
    EXPECT_FALSE(connection().isOpen());
    EXPECT_EQ(fakedriver::liveObjects(), 0);
    EXPECT_EQ(fakedriver::logOf("connection.disconnect").size(), 1u);
}

TEST_F(ConnectionTest, DestructionClosesWithoutThrowing) {
    writeFiles(kMinimalEntry);
    ASSERT_EQ(openError(), "");
    fakedriver::failAlways("connection.setIntOption", sqldriver::status::InvalidHandle);
    fakedriver::failAlways("connection.disconnect", sqldriver::status::InvalidHandle);
    EXPECT_NO_THROW(m_connection.reset());
    EXPECT_EQ(fakedriver::liveObjects(), 0);
}

struct ErrorTextCase {
    const char* what;
    sqldriver::Status status;
    const char* message;  // the failed object's message ("" none)
    sqldriver::Status lenStatus;
    sqldriver::Status msgStatus;
    const char* fallback;   // nullptr: none passed
    const char* lastError;  // the connection's last error before
    const char* expected;
};

TEST_F(ConnectionTest, DriverErrorTextComposition) {
    const ErrorTextCase cases[] = {
        {"static and server text", 21, "refused", 0, 0, nullptr, "",
         "Driver Error: [0x0015]: Connection failed\r\nSQL Server Error: refused"},
        {"static text only", 10, "", 0, 0, nullptr, "", "Driver Error: [0x000A]: Result set at EOF"},
        {"server text alone", 18, "msg", 0, 0, nullptr, "", "SQL Server Error: msg"},
        {"own-format static texts", 11, "", 0, 0, nullptr, "",
         "Driver Error: Driver Error [0x000B]: Parameter Not Set"},
        {"length call fails", 101, "msg", 4, 0, nullptr, "", "Driver Error: [0x0065]: SQL Error"},
        {"message call fails", 101, "msg", 0, 4, nullptr, "", "Driver Error: [0x0065]: SQL Error"},
        {"unknown code, nothing before", 999, "", 0, 0, nullptr, "",
         "Driver Error: Unknown Error Code '999'"},
        {"unknown code uses last error", 999, "", 0, 0, nullptr, "earlier", "earlier"},
        {"caller's text before the last error", 18, "", 0, 0, "query text", "earlier", "query text"},
        {"empty caller's text falls to the last error", 18, "", 0, 0, "", "earlier", "earlier"},
        {"lines win over fallbacks", 4, "", 0, 0, "query text", "earlier",
         "Driver Error: [0x0004]: Invalid Handle"},
        {"status 65535 unknown", 65535, "", 0, 0, nullptr, "", "Driver Error: Unknown Error Code '65535'"},
        {"message bytes unchanged", 18, "\xa4\xa4\r\nline2", 0, 0, nullptr, "",
         "SQL Server Error: \xa4\xa4\r\nline2"},
    };
    writeFiles(kMinimalEntry);
    ASSERT_EQ(openError(), "");
    // The server text is asked of the failed object: a command from the fake.
    sqldriver::ISQLCommand* command = nullptr;
    ASSERT_EQ(connection().connectionForStatement(false)->getSQLCommand(&command), 0);
    for (const ErrorTextCase& c : cases) {
        fakedriver::reset();
        fakedriver::setErrorMessage("command", c.message);
        SqlConnection fresh("SQLConnection1", m_folder.location());  // last error text empty
        if (*c.lastError) {
            // A composition with nothing but a fallback leaves exactly that text behind.
            std::string seed = c.lastError;
            fresh.driverErrorText(999, nullptr, &seed);
        }
        ASSERT_EQ(fresh.lastErrorText(), c.lastError) << c.what;
        if (c.lenStatus) fakedriver::failNext("command.getErrorMessageLen", c.lenStatus);
        if (c.msgStatus) fakedriver::failNext("command.getErrorMessage", c.msgStatus);
        std::string fallback = c.fallback ? c.fallback : "";
        std::string text = fresh.driverErrorText(c.status, command, c.fallback ? &fallback : nullptr);
        EXPECT_EQ(text, c.expected) << c.what;
        EXPECT_EQ(fresh.lastErrorText(), c.expected) << c.what;
        EXPECT_THROW(fresh.check(c.status, command), Error) << c.what;
        EXPECT_NO_THROW(fresh.check(0, command));
    }
    command->release();
}

TEST_F(ConnectionTest, NoServerTextWithoutObject) {
    writeFiles(kMinimalEntry);
    SqlConnection& c = connection();
    EXPECT_EQ(c.driverErrorText(21, nullptr), "Driver Error: [0x0015]: Connection failed");
    EXPECT_EQ(c.lastErrorText(), "Driver Error: [0x0015]: Connection failed");
    EXPECT_EQ(c.driverErrorText(42, nullptr), "Driver Error: [0x0015]: Connection failed");
}

struct LimitCase {
    const char* what;
    std::int32_t limit;
    std::vector<bool> selects;  // one statement each
    std::vector<bool> onClone;  // whether each ran on a new connection
    bool inTransaction;
};

TEST_F(ConnectionTest, StatementLimitAndClone) {
    const LimitCase cases[] = {
        {"no limit", 0, {true, true, false}, {false, false, false}, false},
        {"limit 1: every SELECT gets a new connection", 1, {true, false, true}, {true, false, true}, false},
        {"limit 2: the count is reset after each choice",
         2,
         {true, true, true},
         {false, false, false},
         false},
        {"limit 1 in a transaction", 1, {true, true}, {false, false}, true},
    };
    for (const LimitCase& c : cases) {
        fakedriver::reset();
        m_connection.reset();
        writeFiles(kMinimalEntry + "RoleName=R\n");
        fakedriver::setConnectionOptionInt(sqldriver::connopt::MaxStatements, c.limit);
        ASSERT_EQ(openError(), "") << c.what;
        if (c.inTransaction) connection().beginTransaction();
        sqldriver::ISQLConnection* own = connection().connectionForStatement(false);
        std::vector<sqldriver::ISQLConnection*> seen{own};
        for (std::size_t i = 0; i < c.selects.size(); ++i) {
            sqldriver::ISQLConnection* chosen = connection().connectionForStatement(c.selects[i]);
            ASSERT_NE(chosen, nullptr);
            bool isNew = std::find(seen.begin(), seen.end(), chosen) == seen.end();
            EXPECT_EQ(isNew, c.onClone[i]) << c.what << " statement " << i;
            EXPECT_EQ(chosen == own, !c.onClone[i]) << c.what << " statement " << i;
            seen.push_back(chosen);
        }
        std::size_t clones = static_cast<std::size_t>(std::count(c.onClone.begin(), c.onClone.end(), true));
        EXPECT_EQ(connection().cloneCount(), clones) << c.what;
        // Each clone opened with the loaded list: entry, options, connect.
        EXPECT_EQ(fakedriver::logOf("connection.connect").size(), 1 + clones) << c.what;
        EXPECT_EQ(fakedriver::logOf("connection.setTextOption").size(), 1 + clones) << c.what;
        if (c.inTransaction) connection().rollback();
    }
}

TEST_F(ConnectionTest, CloneCarriesItsOwnName) {
    writeFiles(kMinimalEntry);
    fakedriver::setConnectionOptionInt(sqldriver::connopt::MaxStatements, 1);
    ASSERT_EQ(openError(), "");
    connection().vendorLib = "";
    try {
        connection().connectionForStatement(true);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "SQLConnection1Clone1: DLL/Shared Library Name not Set");
    }
    EXPECT_EQ(connection().cloneCount(), 0u);
}

TEST_F(ConnectionTest, CloneSurvivesTheMainConnectionsClose) {
    writeFiles(kMinimalEntry);
    fakedriver::setConnectionOptionInt(sqldriver::connopt::MaxStatements, 1);
    ASSERT_EQ(openError(), "");
    connection().connectionForStatement(true);
    EXPECT_EQ(fakedriver::liveObjects("connection"), 2);
    connection().close();
    EXPECT_EQ(fakedriver::liveObjects("connection"), 1);
    m_connection.reset();
    EXPECT_EQ(fakedriver::liveObjects("connection"), 0);
}

TEST_F(ConnectionTest, StatementConnectionOpensOnDemand) {
    writeFiles(kMinimalEntry);
    EXPECT_NE(connection().connectionForStatement(false), nullptr);
    EXPECT_TRUE(connection().isOpen());
}

TEST_F(ConnectionTest, Transactions) {
    writeFiles(kMinimalEntry);
    SqlConnection& c = connection();
    EXPECT_NO_THROW(c.rollback()) << "nothing to undo";
    try {
        c.commit();
        FAIL() << "commit without a transaction";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "SQLConnection1: No transaction is active");
    }
    c.beginTransaction();  // opens first
    EXPECT_TRUE(c.isOpen());
    EXPECT_TRUE(c.inTransaction());
    c.commit();
    EXPECT_FALSE(c.inTransaction());
    c.beginTransaction();
    c.rollback();
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(fakedriver::logOf("connection.beginTransaction").size(), 2u);
    EXPECT_EQ(fakedriver::logOf("connection.commit").size(), 1u);
    EXPECT_EQ(fakedriver::logOf("connection.rollback").size(), 1u);

    fakedriver::failNext("connection.beginTransaction", sqldriver::status::TransactionActive);
    EXPECT_THROW(c.beginTransaction(), Error);
    EXPECT_EQ(c.lastErrorText(), "Driver Error: [0x0013]: Local Transaction already active");
    EXPECT_FALSE(c.inTransaction());

    c.beginTransaction();
    fakedriver::failNext("connection.commit", sqldriver::status::SqlError);
    EXPECT_THROW(c.commit(), Error);
    EXPECT_TRUE(c.inTransaction()) << "a failed commit leaves the transaction to roll back";
    c.rollback();
    EXPECT_FALSE(c.inTransaction());

    c.beginTransaction();
    c.close();
    EXPECT_FALSE(c.inTransaction()) << "closing ends the transaction count";
}

// A claim whose release the driver refuses may still mark the attachment,
// and would refuse every other run while an idle window stays open: the
// attachment is ended instead, and the next use opens afresh.
TEST_F(ConnectionTest, AClaimThatCannotBeReleasedEndsWithTheAttachment) {
    writeFiles(kMinimalEntry);
    SqlConnection& c = connection();
    c.claimTable("STORY_IN");  // opens first
    c.releaseClaim();
    EXPECT_TRUE(c.isOpen());
    EXPECT_THAT(fakedriver::logOf("connection.setTextOption"),
                ::testing::IsSupersetOf(
                    {"connection.setTextOption 36 \"STORY_IN\"", "connection.setTextOption 36 \"\""}));
    fakedriver::clearLog();
    c.claimTable("STORY_IN");
    fakedriver::failNext("connection.setTextOption", sqldriver::status::SqlError);
    c.releaseClaim();
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(fakedriver::logOf("connection.disconnect").size(), 1u);
    c.claimTable("STORY_IN");
    EXPECT_TRUE(c.isOpen()) << "opened afresh";
    EXPECT_EQ(fakedriver::logOf("connection.connect").size(), 1u);
}

}  // namespace
