#include "HistoryReset.h"

#include <climits>

#include "CommitGroup.h"
#include "HistoryPair.h"
#include "NumberText.h"
#include "RegionalFormats.h"

namespace tarvel {

const char* const kResetQuestion = "確定重置所有歷史資料?";
const char* const kResetDone = "階段作業完成";

namespace {

// What differs between the purchase history (radio item 0) and the sales
// history (radio item 1): tables, the party column and the price column.
struct HistoryMode {
    const char* countLine;
    const char* scanLines[2];
    const char* deleteLines[3];
    const char* insertLines[2];
    const char* partyColumn;
    const char* priceParam;
};

const HistoryMode kModes[2] = {
    {
        "SELECT COUNT(*) FROM INSTORAGE_SUB ",
        {"SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM "
         "INSTORAGE_SUB ",
         " ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE "},
        {"DELETE FROM STORY_IN ", " WHERE TEMPPRODID = :TEMPPRODID ", " and PROVIDER_ID = :PROVIDER_ID "},
        {"insert into "
         "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
         " VALUES(:PROVIDER_ID,:PROD_ID,:STD_COST,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)"},
        "PROVIDER_ID",
        "STD_COST",
    },
    {
        "SELECT COUNT(*) FROM SAL_SUB ",
        {"SELECT CUST_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM SAL_SUB ",
         " ORDER BY CUST_ID,PROD_ID,BILL_DATE "},
        {"DELETE FROM STORY_SAL ", " WHERE TEMPPRODID = :TEMPPRODID ", " and CUST_ID = :CUST_ID "},
        {"insert into STORY_SAL(CUST_ID,PROD_ID,U_PRICE,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
         " VALUES(:CUST_ID,:PROD_ID,:U_PRICE,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)"},
        "CUST_ID",
        "U_PRICE",
    },
};

template <std::size_t N>
void setStatement(ResetQuery& query, const char* const (&lines)[N]) {
    query.close();
    query.clearLines();
    for (const char* line : lines) query.addLine(line);
}

// A field text read as a number; texts that are not numbers count as 0.
long double numberOf(ResetQuery& query, const char* column) {
    return floatFromText(query.fieldText(column), 0.0L, currentFormats().decimalSeparator);
}

double parameterNumber(ResetQuery& query, const char* column) {
    return static_cast<double>(numberOf(query, column));
}

// Deletes the pair's history row.
void runDelete(const HistoryMode& mode, ResetQuery& work, const HistoryPair& pair) {
    setStatement(work, mode.deleteLines);
    work.setParamText("TEMPPRODID", pair.tempProdId);
    work.setParamText(mode.partyColumn, pair.party);
    work.runStatement();
}

// Inserts the pair's history row made from the line.
void runInsert(const HistoryMode& mode, ResetQuery& work, const HistoryPair& pair) {
    setStatement(work, mode.insertLines);
    work.setParamText(mode.partyColumn, pair.party);
    work.setParamText("PROD_ID", pair.prodId);
    work.setParamDouble(mode.priceParam, pair.price);
    work.setParamText("CHG_DATE", pair.chgDate);
    work.setParamText("TEMPPRODID", pair.tempProdId);
    work.setParamText("PROD_BARCODE", pair.barcode);
    work.setParamDouble("SALE_PRICE", pair.salePrice);
    work.setParamDouble("U_DIS", pair.discount);
    work.runStatement();
}

// Deletes the pair's history row and inserts the one made from the current
// line, keeping the values handed over. Each value is read when its statement
// needs it, so a line that cannot be read fails after its DELETE, as before.
void replaceHistoryRow(const HistoryMode& mode, ResetQuery& scan, ResetQuery& work, double price,
                       HistoryPair& pair) {
    pair.tempProdId = scan.fieldText("TEMPPRODID");
    pair.party = scan.fieldText(mode.partyColumn);
    runDelete(mode, work, pair);

    pair.prodId = scan.fieldText("PROD_ID");
    pair.price = price;
    pair.chgDate = scan.fieldText("BILL_DATE");
    pair.barcode = scan.fieldText("PROD_BARCODE");
    pair.salePrice = parameterNumber(scan, "SALE_PRICE");
    pair.discount = parameterNumber(scan, "U_DIS");
    runInsert(mode, work, pair);
}

// Statements prepared during a run are kept for it and let go at its end,
// however it ends: a prepared statement keeps its tables in use against other
// connections' changes of them.
class StatementReuse {
public:
    StatementReuse(ResetQuery& scan, ResetQuery& work) : m_scan(scan), m_work(work) {
        m_scan.setStatementReuse(true);
        m_work.setStatementReuse(true);
    }
    ~StatementReuse() {
        m_scan.setStatementReuse(false);
        m_work.setStatementReuse(false);
    }
    StatementReuse(const StatementReuse&) = delete;
    StatementReuse& operator=(const StatementReuse&) = delete;

private:
    ResetQuery& m_scan;
    ResetQuery& m_work;
};

// The walk over the document lines: the bar, the price test and the pairs,
// committed in groups.
void rebuildHistory(ResetShell& shell, const HistoryMode& mode, ResetQuery& scan, ResetQuery& work,
                    ResetTransactions& transactions, const CommitLimits& limits, const CommitClock& clock) {
    StatementReuse reuse(scan, work);
    const char* const countLines[] = {mode.countLine};
    setStatement(scan, countLines);
    scan.open();
    shell.setProgressMax(integerFromText(scan.fieldText(0), 1));
    shell.setProgressPosition(0);

    setStatement(scan, mode.scanLines);
    scan.open();
    // A pair's DELETE and INSERT always share a transaction, so a refused
    // INSERT never leaves its pair without a history row.
    CommitGroup group(
        transactions,
        [&](const HistoryPair& pair) {
            runDelete(mode, work, pair);
            runInsert(mode, work, pair);
        },
        limits, clock);
    try {
        while (!scan.eof()) {
            const int position = shell.progressPosition();
            if (position < INT_MAX) shell.setProgressPosition(position + 1);

            const long double price = numberOf(scan, "B_PRICE");
            if (price > 0) {
                replaceHistoryRow(mode, scan, work, static_cast<double>(price), group.startLine());
                group.endLine();
            }
            scan.next();
        }
        group.commit();
    } catch (...) {
        group.recover();
        throw;
    }
}

}  // namespace

void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetTransactions& transactions) {
    runHistoryReset(shell, scan, work, transactions, kCommitLimits,
                    [] { return std::chrono::steady_clock::now(); });
}

void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetTransactions& transactions,
                     const CommitLimits& limits, const CommitClock& clock) {
    if (shell.confirm(kResetQuestion) != ResetShell::kYes) return;
    const int index = shell.chosenIndex();
    if (index != 0 && index != 1) return;
    rebuildHistory(shell, kModes[index], scan, work, transactions, limits, clock);
    shell.showInformation(kResetDone);
}

}  // namespace tarvel
