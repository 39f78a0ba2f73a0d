// Loading the driver: the interface version and the entry's refusal of a
// client library it cannot use.
#include <gtest/gtest.h>

#include "DriverHarness.h"

namespace tarvel::testing {
namespace {

using namespace sqldriver;

TEST(DriverLoad, ReportsTheInterfaceVersionItWasBuiltWith) {
    EXPECT_EQ(DriverLibrary::instance().version()(), kInterfaceVersion);
}

struct VendorCase {
    const char* vendorLib;
    bool loads;
};

class VendorLibrary : public ::testing::TestWithParam<VendorCase> {};

TEST_P(VendorLibrary, EntryLoadsOnlyAUsableClientLibrary) {
    ISQLDriver* driver = reinterpret_cast<ISQLDriver*>(0x1);
    const Status status = DriverLibrary::instance().entry()(GetParam().vendorLib, "", &driver);
    DriverPtr owned(status == status::Ok ? driver : nullptr);
    if (GetParam().loads) {
        EXPECT_EQ(status, status::Ok);
        EXPECT_NE(driver, nullptr);
    } else {
        EXPECT_NE(status, status::Ok);
        EXPECT_EQ(driver, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, VendorLibrary,
                         ::testing::Values(VendorCase{"libfbclient.so.2", true},
                                           VendorCase{"libfbclient-missing.so.9", false},
                                           VendorCase{"/nonexistent/libfbclient.so.2", false},
                                           VendorCase{"", false},
                                           // Loads, but is not a Firebird client.
                                           VendorCase{"libm.so.6", false}));

TEST(DriverLoad, EntryWithoutAPlaceForTheDriverFails) {
    EXPECT_NE(DriverLibrary::instance().entry()("libfbclient.so.2", "", nullptr), status::Ok);
}

TEST(DriverLoad, UnconnectedConnectionRefusesStatementsWithAMessage) {
    ConnectionPtr connection = newConnection();
    ISQLCommand* command = nullptr;
    EXPECT_EQ(connection->getSQLCommand(&command), status::InvalidHandle);
    EXPECT_EQ(command, nullptr);
    EXPECT_EQ(errorMessage(connection.get()), "not connected");
}

}  // namespace
}  // namespace tarvel::testing
