// The program's own rebuild path without a window: SQLConnection1 with its
// settings files, SQLQuery1 and SQLQuery2, the query adapters of the rebuild
// and the reset command, answered Yes, purchase history chosen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "BenchShell.h"
#include "RunBudget.h"
#include "SqlBlockOperations.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlQueryOperations.h"

namespace bench {

class ProgramSession {
public:
    // folder: where the two settings files are written; database: a path or
    // "host:path"; driverFolder: where libfbsqldrv.so lies.
    ProgramSession(const std::string& folder, const std::string& database, const std::string& password,
                   const std::string& driverFolder);
    ~ProgramSession();  // the queries go before their connection

    // One rebuild of the purchase history; returns the lines scanned. A spent
    // budget ends the scan early at the end of a provider's lines.
    std::int64_t run(RunBudget& budget);

    tarvel::SqlConnection& connection() { return *m_connection; }
    BenchShell& shell() { return m_shell; }

private:
    BenchShell m_shell;
    std::unique_ptr<tarvel::SqlConnection> m_connection;
    std::unique_ptr<tarvel::SqlQuery> m_query1;
    std::unique_ptr<tarvel::SqlQuery> m_query2;
    std::unique_ptr<tarvel::SqlQueryOperations> m_scan;
    std::unique_ptr<tarvel::SqlQueryOperations> m_work;
    std::unique_ptr<tarvel::SqlBlockOperations> m_blocks;
    std::unique_ptr<tarvel::ConnectionTransactions> m_transactions;
};

}  // namespace bench
