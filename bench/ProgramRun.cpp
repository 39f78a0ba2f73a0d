#include "ProgramRun.h"

#include <stdexcept>

#include "FileText.h"
#include "HistoryReset.h"
#include "LinesPerCallSetting.h"
#include "RegionalFormats.h"

namespace bench {

namespace {

using tarvel::testing::writeFile;

// The only call of the reset command: a change of its signature is fixed here.
void runProgramRebuild(tarvel::ResetShell& shell, tarvel::ResetQuery& scan, tarvel::ResetQuery& work,
                       tarvel::ResetBlock& blocks, tarvel::ResetTransactions& transactions) {
    tarvel::runHistoryReset(shell, scan, work, blocks, transactions);
}

// The scan as the reset command sees it, counting the lines it moves past and
// reporting its end early once the budget is spent and a new provider begins.
class BudgetedScan : public tarvel::ResetQuery {
public:
    BudgetedScan(tarvel::ResetQuery& scan, RunBudget& budget) : m_scan(scan), m_budget(budget) {}

    void close() override { m_scan.close(); }
    void clearLines() override { m_scan.clearLines(); }
    void addLine(const std::string& line) override { m_scan.addLine(line); }
    void open() override { m_scan.open(); }
    bool eof() override {
        if (m_stopped || m_scan.eof()) return true;
        m_stopped = m_budget.expired() && m_budget.leavesParty(m_scan.fieldText("PROVIDER_ID"));
        return m_stopped;
    }
    void next() override {
        ++m_lines;
        m_scan.next();
    }
    std::string fieldText(int index) override { return m_scan.fieldText(index); }
    std::string fieldText(const std::string& name) override { return m_scan.fieldText(name); }
    void setParamText(const std::string& name, const std::string& value) override {
        m_scan.setParamText(name, value);
    }
    void setParamDouble(const std::string& name, double value) override {
        m_scan.setParamDouble(name, value);
    }
    void runStatement() override { m_scan.runStatement(); }
    void setStatementReuse(bool on) noexcept override { m_scan.setStatementReuse(on); }

    std::int64_t lines() const { return m_lines; }

private:
    tarvel::ResetQuery& m_scan;
    RunBudget& m_budget;
    bool m_stopped = false;
    std::int64_t m_lines = 0;
};

}  // namespace

ProgramSession::ProgramSession(const std::string& folder, const std::string& database,
                               const std::string& password, const std::string& driverFolder) {
    writeFile(folder + "/sqlconnections.ini",
              "[Kestal]\r\nDriverName=Firebird\r\nDatabase=" + database +
                  "\r\nUser_Name=SYSDBA\r\nPassword=" + password +
                  "\r\nSQLDialect=3\r\nBlobSize=-1\r\nCommitRetain=False\r\nWaitOnLocks=True\r\n"
                  "Firebird TransIsolation=ReadCommited\r\nTrim Char=False\r\n" +
                  linesPerCallSetting());
    writeFile(folder + "/sqldrivers.ini", "[Firebird]\r\nLibraryName=" + driverFolder +
                                              "/libfbsqldrv.so\r\nVendorLib=libfbclient.so.2\r\n"
                                              "GetDriverFunc=GetFirebirdDriver\r\n");
    // Dates year first, which the server reads back unambiguously.
    tarvel::RegionalFormats formats;
    formats.shortDateFormat = "yyyy/m/d";
    formats.longTimeFormat = "hh:mm:ss";
    tarvel::setCurrentFormats(formats);

    tarvel::SettingsLocation location;
    location.executableDir = folder;
    location.storeFile = folder + "/no-store.ini";
    m_connection = std::make_unique<tarvel::SqlConnection>("SQLConnection1", location);
    m_query1 = std::make_unique<tarvel::SqlQuery>("SQLQuery1", *m_connection);
    m_query2 = std::make_unique<tarvel::SqlQuery>("SQLQuery2", *m_connection);
    m_scan = std::make_unique<tarvel::SqlQueryOperations>(*m_query1);
    m_work = std::make_unique<tarvel::SqlQueryOperations>(*m_query2);
    m_blocks = std::make_unique<tarvel::SqlBlockOperations>(*m_connection);
    m_transactions = std::make_unique<tarvel::ConnectionTransactions>(*m_connection);
}

ProgramSession::~ProgramSession() {
    m_query2.reset();
    m_query1.reset();
    m_connection.reset();
}

std::int64_t ProgramSession::run(RunBudget& budget) {
    BudgetedScan scan(*m_scan, budget);
    runProgramRebuild(m_shell, scan, *m_work, *m_blocks, *m_transactions);
    return scan.lines();
}

}  // namespace bench
