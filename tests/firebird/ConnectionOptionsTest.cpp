// Where an attachment goes: host, port and embedded access from the database
// text and the host name and port options.
#include <gtest/gtest.h>
#include <ibase.h>

#include "ConnectionOptions.h"
#include "DriverFailure.h"

namespace tarvel::fb {
namespace {

struct TargetCase {
    const char* database;
    const char* hostName;
    const char* serverPort;
    const char* target;
    bool embedded;
};

class AttachTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(AttachTarget, NamesHostAndPortOrOpensTheFileEmbedded) {
    const TargetCase& c = GetParam();
    ConnectionOptions options;
    options.hostName = c.hostName;
    options.serverPort = c.serverPort;
    bool embedded = !c.embedded;
    EXPECT_EQ(attachTarget(c.database, options, &embedded), c.target);
    EXPECT_EQ(embedded, c.embedded);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AttachTarget,
    ::testing::Values(TargetCase{"/tmp/x.fdb", "", "", "/tmp/x.fdb", true},
                      TargetCase{"x.fdb", "", "", "x.fdb", true},
                      TargetCase{"127.0.0.1:/tmp/x.fdb", "", "", "127.0.0.1:/tmp/x.fdb", false},
                      TargetCase{"db.example:/data/pos.fdb", "", "", "db.example:/data/pos.fdb", false},
                      TargetCase{"127.0.0.1/3051:/tmp/x.fdb", "", "", "127.0.0.1/3051:/tmp/x.fdb", false},
                      TargetCase{"127.0.0.1:/tmp/x.fdb", "", "3051", "127.0.0.1/3051:/tmp/x.fdb", false},
                      // A port already in the text wins over the option.
                      TargetCase{"127.0.0.1/3052:/tmp/x.fdb", "", "3051", "127.0.0.1/3052:/tmp/x.fdb", false},
                      TargetCase{"/tmp/x.fdb", "10.0.0.5", "", "10.0.0.5:/tmp/x.fdb", false},
                      TargetCase{"/tmp/x.fdb", "10.0.0.5", "3051", "10.0.0.5/3051:/tmp/x.fdb", false},
                      TargetCase{"inet://10.0.0.5/tmp/x.fdb", "", "3051", "inet://10.0.0.5/tmp/x.fdb", false},
                      TargetCase{"[::1]:/tmp/x.fdb", "", "3051", "[::1]/3051:/tmp/x.fdb", false},
                      TargetCase{"[::1]/3052:/tmp/x.fdb", "", "3051", "[::1]/3052:/tmp/x.fdb", false},
                      TargetCase{"[::1:/tmp/x.fdb", "", "3051", "[::1:/tmp/x.fdb", false}));

TEST(DatabaseParameters, OnlyAPlainPathForcesTheInProcessEngine) {
    ConnectionOptions options;
    const std::string embedded = databaseParameters(options, "SYSDBA", "pw", true);
    const std::string remote = databaseParameters(options, "SYSDBA", "pw", false);
    EXPECT_NE(embedded.find("Providers=Engine12"), std::string::npos);
    EXPECT_EQ(remote.find("Providers"), std::string::npos);
    EXPECT_NE(remote.find("SYSDBA"), std::string::npos);
}

TEST(DatabaseParameters, RefusesAValueTooLongForItsItem) {
    ConnectionOptions options;
    options.roleName = std::string(300, 'R');
    EXPECT_ANY_THROW(databaseParameters(options, "SYSDBA", "pw", false));
}

// The refusal names the item and never quotes the value, which may be the password.
TEST(DatabaseParameters, RefusalOfATooLongValueDoesNotQuoteIt) {
    const std::string secret = std::string(256, 'Q');
    struct Case {
        const char* item;
        std::string userName;
        std::string password;
        std::string roleName;
    };
    for (const Case& c : {Case{"password", "SYSDBA", secret, ""}, Case{"user name", secret, "pw", ""},
                          Case{"role name", "SYSDBA", "pw", secret}}) {
        ConnectionOptions options;
        options.roleName = c.roleName;
        try {
            databaseParameters(options, c.userName, c.password, false);
            ADD_FAILURE() << c.item << " of 256 bytes was taken";
        } catch (const DriverFailure& e) {
            const std::string message = e.what();
            EXPECT_EQ(message, std::string(c.item) + " too long: 256 bytes, at most 255");
            EXPECT_EQ(e.status(), sqldriver::status::InvalidParameter);
        }
    }
}

// A lock timeout bounds the waits of writing transactions that wait; it
// leaves out transactions that do not wait and those that only read.
TEST(TransactionParameters, ALockTimeoutOnlyForWritingTransactionsThatWait) {
    const auto bytes = [](std::initializer_list<int> items, const std::string& tail = "") {
        std::string buffer;
        for (int item : items) buffer += static_cast<char>(item);
        return buffer + tail;
    };
    ConnectionOptions options;
    options.waitOnLocks = false;
    const std::string plain =
        bytes({isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_nowait});
    options.lockTimeout = 10;
    EXPECT_EQ(transactionParameters(options, false), plain);
    options.waitOnLocks = true;
    const std::string waiting =
        bytes({isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait});
    EXPECT_EQ(transactionParameters(options, false), waiting + bytes({isc_tpb_lock_timeout, 4, 10, 0, 0, 0}));
    options.lockTimeout = 300;
    EXPECT_EQ(transactionParameters(options, false), waiting + bytes({isc_tpb_lock_timeout, 4, 44, 1, 0, 0}));
    EXPECT_EQ(transactionParameters(options, true).find(static_cast<char>(isc_tpb_lock_timeout)),
              std::string::npos);
}

}  // namespace
}  // namespace tarvel::fb
