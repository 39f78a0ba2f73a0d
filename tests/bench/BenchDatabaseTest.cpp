// The generated database has the shape the comparison of the variants relies
// on: no two lines share provider, product and date (so every pair's last line
// is decided), about 5% of the lines have no positive price, and the history
// holds rows the rebuild must keep.
#include <gtest/gtest.h>

#include <string>

#include "BenchDatabase.h"
#include "FbClient.h"
#include "TestDatabase.h"

namespace bench {
namespace {

double numberOf(Attachment& attachment, const std::string& sql) {
    Transaction transaction(attachment, Transaction::Kind::ReadOnly);
    Statement statement(attachment, transaction, sql);
    statement.execute(transaction);
    EXPECT_TRUE(statement.fetch()) << sql;
    const double value = statement.number(0);
    statement.closeCursor();
    transaction.commit();
    return value;
}

TEST(BenchDatabase, HasTheShapeTheComparisonReliesOn) {
    tarvel::testing::TempDir dir;
    const std::string path = dir.file("bench.fdb");
    const int lines = 10000;
    createBenchDatabase(path, lines, tarvel::testing::testPassword());
    Attachment db(Dsn{path, "SYSDBA", tarvel::testing::testPassword()});

    EXPECT_EQ(numberOf(db, "SELECT COUNT(*) FROM INSTORAGE_SUB"), lines);
    EXPECT_EQ(numberOf(db,
                       "SELECT COUNT(*) FROM (SELECT PROVIDER_ID FROM INSTORAGE_SUB "
                       "GROUP BY PROVIDER_ID, PROD_ID, BILL_DATE HAVING COUNT(*) > 1)"),
              0);
    const double unpriced =
        numberOf(db, "SELECT COUNT(*) FROM INSTORAGE_SUB WHERE NOT B_PRICE > 0 OR B_PRICE IS NULL");
    EXPECT_GT(unpriced, lines * 0.03);
    EXPECT_LT(unpriced, lines * 0.07);
    for (const char* column : {"TEMPPRODID", "PROD_BARCODE", "SALE_PRICE", "U_DIS", "B_PRICE"})
        EXPECT_GT(
            numberOf(db, std::string("SELECT COUNT(*) FROM INSTORAGE_SUB WHERE ") + column + " IS NULL"), 0)
            << column;
    // One product key per product code, so a pair is one product.
    EXPECT_EQ(numberOf(db,
                       "SELECT COUNT(*) FROM (SELECT PROD_ID FROM INSTORAGE_SUB WHERE TEMPPRODID IS NOT NULL "
                       "GROUP BY PROD_ID HAVING COUNT(DISTINCT TEMPPRODID) > 1)"),
              0);
    // Old rows for pairs the run replaces, and rows it must keep: of providers
    // without lines, and with a null product key.
    EXPECT_GT(numberOf(db,
                       "SELECT COUNT(*) FROM STORY_IN h WHERE EXISTS (SELECT 1 FROM INSTORAGE_SUB s "
                       "WHERE s.PROVIDER_ID = h.PROVIDER_ID AND s.TEMPPRODID = h.TEMPPRODID)"),
              100);
    EXPECT_GT(numberOf(db,
                       "SELECT COUNT(*) FROM STORY_IN h WHERE NOT EXISTS (SELECT 1 FROM INSTORAGE_SUB s "
                       "WHERE s.PROVIDER_ID = h.PROVIDER_ID)"),
              0);
    EXPECT_GT(numberOf(db, "SELECT COUNT(*) FROM STORY_IN WHERE TEMPPRODID IS NULL"), 0);
}

TEST(BenchDatabase, CopiesCarryTheForcedWritesAskedFor) {
    tarvel::testing::TempDir dir;
    const std::string path = dir.file("small.fdb");
    createBenchDatabase(path, 200, tarvel::testing::testPassword());
    for (const bool forcedWrites : {true, false, true}) {
        const std::string copy = dir.file("copy.fdb");
        copyDatabase(path, copy, forcedWrites, tarvel::testing::testPassword());
        Attachment db(Dsn{copy, "SYSDBA", tarvel::testing::testPassword()});
        EXPECT_EQ(db.forcedWrites(), forcedWrites);
        EXPECT_EQ(numberOf(db, "SELECT COUNT(*) FROM INSTORAGE_SUB"), 200);
    }
}

}  // namespace
}  // namespace bench
