// The blob handle against a client library made of test functions: whatever
// way a read ends, the blob it opened is closed exactly once. A real server
// cannot be made to fail between opening a blob and closing it on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "DriverFailure.h"
#include "Handles.h"

namespace tarvel::fb {
namespace {

constexpr isc_blob_handle kOpenedBlob = 42;

// What the fake library does, and what was done to it; the library's entry
// points are plain functions, so both live in globals.
struct BlobScript {
    bool openFails = false;
    std::vector<std::string> segments;  // handed out in order, then the end of the blob
    ISC_STATUS readFailure = 0;         // a gds code the first read after the segments fails with
    bool interpretThrows = false;       // building the failure text runs out of memory
};
struct BlobLog {
    std::size_t segmentsRead = 0;
    std::vector<isc_blob_handle> closed;
};
BlobScript script;
BlobLog done;

void play(const BlobScript& next) {
    script = next;
    done = BlobLog{};
}

void fail(ISC_STATUS* status, ISC_STATUS code) {
    status[0] = 1;
    status[1] = code;
    status[2] = isc_arg_end;
}

ISC_STATUS openBlob(ISC_STATUS* status, isc_db_handle*, isc_tr_handle*, isc_blob_handle* blob, ISC_QUAD*,
                    ISC_USHORT, const ISC_UCHAR*) {
    if (script.openFails) {
        fail(status, isc_bad_segstr_id);
        return status[1];
    }
    *blob = kOpenedBlob;
    return 0;
}

ISC_STATUS getSegment(ISC_STATUS* status, isc_blob_handle*, unsigned short* length, unsigned short size,
                      ISC_SCHAR* buffer) {
    if (done.segmentsRead < script.segments.size()) {
        const std::string& segment = script.segments[done.segmentsRead++];
        std::memcpy(buffer, segment.data(), std::min<std::size_t>(segment.size(), size));
        *length = static_cast<unsigned short>(segment.size());
        status[0] = 1;
        status[1] = 0;
        return 0;
    }
    fail(status, script.readFailure ? script.readFailure : isc_segstr_eof);
    return status[1];
}

ISC_STATUS closeBlob(ISC_STATUS* status, isc_blob_handle* blob) {
    done.closed.push_back(*blob);
    *blob = 0;
    status[0] = 1;
    status[1] = 0;
    return 0;
}

ISC_LONG interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** vector) {
    if (script.interpretThrows) throw std::bad_alloc();
    if ((*vector)[0] != 1 || (*vector)[1] == 0) return 0;
    std::snprintf(buffer, size, "gds code %ld", static_cast<long>((*vector)[1]));
    *vector += 2;  // the one code
    return static_cast<ISC_LONG>(std::strlen(buffer));
}

ISC_LONG sqlcode(const ISC_STATUS*) { return 0; }

ClientRef fakeClient() {
    auto client = std::make_shared<ClientLibrary>();
    client->openBlob = openBlob;
    client->getSegment = getSegment;
    client->closeBlob = closeBlob;
    client->interpret = interpret;
    client->sqlcode = sqlcode;
    return client;
}

struct BlobCase {
    const char* label;
    BlobScript script;
    std::size_t limit;
    const char* content;  // nullptr: the read throws
    bool throwsBadAlloc;  // else a DriverFailure
};

class BlobHandle : public ::testing::TestWithParam<BlobCase> {};

TEST_P(BlobHandle, ClosesTheBlobOnceHoweverTheReadEnds) {
    const BlobCase& c = GetParam();
    play(c.script);
    isc_db_handle database = 1;
    isc_tr_handle transaction = 2;
    {
        Blob blob(fakeClient(), &database, &transaction, ISC_QUAD{});
        if (c.content) {
            EXPECT_EQ(blob.read(c.limit), c.content) << c.label;
        } else if (c.throwsBadAlloc) {
            EXPECT_THROW(blob.read(c.limit), std::bad_alloc) << c.label;
        } else {
            try {
                blob.read(c.limit);
                ADD_FAILURE() << c.label << ": the read did not fail";
            } catch (const DriverFailure& failure) {
                EXPECT_EQ(failure.status(), sqldriver::status::SqlError) << c.label;
                EXPECT_EQ(std::string(failure.what()), "gds code " + std::to_string(c.script.readFailure))
                    << c.label;
            }
        }
    }
    EXPECT_EQ(done.closed, std::vector<isc_blob_handle>{kOpenedBlob}) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Reads, BlobHandle,
    ::testing::Values(
        BlobCase{"whole blob", BlobScript{false, {"abc", "def"}, 0, false}, std::string::npos, "abcdef",
                 false},
        BlobCase{"cut at the limit", BlobScript{false, {"abc", "def"}, 0, false}, 4, "abcd", false},
        BlobCase{"empty blob", BlobScript{}, std::string::npos, "", false},
        BlobCase{"a segment cannot be read", BlobScript{false, {"abc"}, isc_io_error, false},
                 std::string::npos, nullptr, false},
        BlobCase{"the failure text cannot be built", BlobScript{false, {"abc"}, isc_io_error, true},
                 std::string::npos, nullptr, true}));

TEST(BlobHandleOpen, ABlobThatDoesNotOpenIsNeverClosed) {
    play(BlobScript{true, {}, 0, false});
    isc_db_handle database = 1;
    isc_tr_handle transaction = 2;
    EXPECT_THROW(Blob(fakeClient(), &database, &transaction, ISC_QUAD{}), DriverFailure);
    EXPECT_TRUE(done.closed.empty());
}

TEST(BlobHandleOpen, AMovedBlobIsClosedByItsLastOwnerOnly) {
    play(BlobScript{});
    isc_db_handle database = 1;
    isc_tr_handle transaction = 2;
    {
        Blob first(fakeClient(), &database, &transaction, ISC_QUAD{});
        Blob second(std::move(first));
        EXPECT_TRUE(done.closed.empty());
    }
    EXPECT_EQ(done.closed, std::vector<isc_blob_handle>{kOpenedBlob});
}

}  // namespace
}  // namespace tarvel::fb
