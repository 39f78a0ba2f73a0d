// Runs the purchase-history rebuild headless over a generated database of N
// document lines, embedded, and prints the time it took. Meant to be run
// under `perf record -g`:
//
//   rebuild_profile [lines] [folder to keep the database in]
//
// About 5% of the lines carry no positive price; every pair has an old
// history row. The database file is made with forced writes off.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "FileText.h"
#include "HistoryReset.h"
#include "LinesPerCallSetting.h"
#include "ProgramFile.h"
#include "RegionalFormats.h"
#include "SqlBlockOperations.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlQueryOperations.h"
#include "TestDatabase.h"

namespace {

std::string demoSchema() {
    std::ifstream file(TARVEL_DEMO_SCHEMA);
    if (!file) throw std::runtime_error("cannot read " TARVEL_DEMO_SCHEMA);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Lines spread over 200 providers and 2,000 products, several lines per pair,
// dates over about three years; every 20th line has no positive price.
std::string dataScript(long lines) {
    return "SET TERM ^ ;\n"
           "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN\n"
           "  WHILE (i < " +
           std::to_string(lines) +
           ") DO BEGIN\n"
           "    INSERT INTO INSTORAGE_SUB (BILL_NO, ITEM_NO, PROVIDER_ID, PROD_ID, TEMPPRODID, PROD_BARCODE, "
           "QTY,\n"
           "        B_PRICE, SALE_PRICE, U_DIS, BILL_DATE)\n"
           "      VALUES ('B' || (:i / 10), MOD(:i, 10), 'P' || MOD(:i * 7, 200), 'A' || MOD(:i * 13, "
           "2000),\n"
           "        'T' || MOD(:i * 13, 2000), '4710' || MOD(:i * 13, 2000), 1,\n"
           "        IIF(MOD(:i, 20) = 0, 0, 1 + MOD(:i, 997) / 7.0), 10 + MOD(:i, 50), MOD(:i, 3),\n"
           "        DATEADD(MOD(:i * 31, 1100) DAY TO DATE '2021-01-01'));\n"
           "    i = i + 1;\n"
           "  END\n"
           "END^\n"
           "SET TERM ; ^\n"
           "COMMIT;\n"
           "INSERT INTO STORY_IN (PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, "
           "SALE_PRICE, U_DIS)\n"
           "  SELECT DISTINCT PROVIDER_ID, PROD_ID, 1, DATE '2000-01-01', TEMPPRODID, 'OLD', 1, 1 FROM "
           "INSTORAGE_SUB;\n"
           "COMMIT;\n";
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The window's part, answered at once: Yes, purchase history, a bar that
// keeps its position.
class SilentShell : public tarvel::ResetShell {
public:
    int confirm(const std::string&) override { return kYes; }
    int chosenIndex() override { return 0; }
    void setProgressMax(int) override {}
    void setProgressPosition(int value) override { m_position = value; }
    int progressPosition() override { return m_position; }
    void showInformation(const std::string&) override {}

private:
    int m_position = 0;
};

// The driver library lies beside this program.
std::string driverFolder() {
    std::string folder = tarvel::programFolder();
    return folder.empty() ? "." : folder;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvel;
    using namespace tarvel::testing;
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;
    try {
        TempDir dir;
        const std::string database = dir.file("pos.fdb");
        createDatabase(database, demoSchema() + dataScript(lines));
        writeFile(dir.file("sqlconnections.ini"), "[Kestal]\nDriverName=Firebird\nDatabase=" + database +
                                                      "\nUser_Name=SYSDBA\nPassword=" + testPassword() +
                                                      "\nSQLDialect=3\n" + bench::linesPerCallSetting());
        writeFile(dir.file("sqldrivers.ini"), "[Firebird]\nLibraryName=" + driverFolder() +
                                                  "/libfbsqldrv.so\nVendorLib=libfbclient.so.2\n"
                                                  "GetDriverFunc=GetFirebirdDriver\n");
        RegionalFormats formats;
        formats.shortDateFormat = "yyyy/m/d";
        setCurrentFormats(formats);

        SettingsLocation location;
        location.executableDir = dir.path();
        location.storeFile = dir.file("no-store.ini");
        SqlConnection connection("SQLConnection1", location);
        SqlQuery query1("SQLQuery1", connection);
        SqlQuery query2("SQLQuery2", connection);
        SqlQueryOperations scan(query1);
        SqlQueryOperations work(query2);
        SqlBlockOperations blocks(connection);
        ConnectionTransactions transactions(connection);
        SilentShell shell;

        // The machine may be shared: the process's CPU time (all threads, the
        // embedded engine's included) says more than the wall clock.
        const double cpuStart = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        runHistoryReset(shell, scan, work, blocks, transactions);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = processCpuSeconds() - cpuStart;
        std::printf("%ld lines in %.3f s (%.0f lines/s), %.3f s of CPU (%.1f us per line)\n", lines, seconds,
                    lines / seconds, cpu, cpu * 1e6 / static_cast<double>(lines));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rebuild_profile: %s\n", e.what());
        return 1;
    }
    return 0;
}
