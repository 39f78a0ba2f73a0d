#include "HistoryReset.h"

#include <climits>

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
        {"SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM INSTORAGE_SUB ",
         " ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE "},
        {"DELETE FROM STORY_IN ", " WHERE TEMPPRODID = :TEMPPRODID ", " and PROVIDER_ID = :PROVIDER_ID "},
        {"insert into STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
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

// Deletes the pair's history row and inserts the one made from the current line.
void replaceHistoryRow(const HistoryMode& mode, ResetQuery& scan, ResetQuery& work) {
    setStatement(work, mode.deleteLines);
    work.setParamText("TEMPPRODID", scan.fieldText("TEMPPRODID"));
    work.setParamText(mode.partyColumn, scan.fieldText(mode.partyColumn));
    work.runStatement();

    setStatement(work, mode.insertLines);
    work.setParamText(mode.partyColumn, scan.fieldText(mode.partyColumn));
    work.setParamText("PROD_ID", scan.fieldText("PROD_ID"));
    work.setParamDouble(mode.priceParam, parameterNumber(scan, "B_PRICE"));
    work.setParamText("CHG_DATE", scan.fieldText("BILL_DATE"));
    work.setParamText("TEMPPRODID", scan.fieldText("TEMPPRODID"));
    work.setParamText("PROD_BARCODE", scan.fieldText("PROD_BARCODE"));
    work.setParamDouble("SALE_PRICE", parameterNumber(scan, "SALE_PRICE"));
    work.setParamDouble("U_DIS", parameterNumber(scan, "U_DIS"));
    work.runStatement();
}

}  // namespace

void runHistoryReset(ResetShell& shell, ResetQuery& scan, ResetQuery& work, ResetTransactions& transactions) {
    if (shell.confirm(kResetQuestion) != ResetShell::kYes) return;
    const int index = shell.chosenIndex();
    if (index != 0 && index != 1) return;
    const HistoryMode& mode = kModes[index];

    const char* const countLines[] = {mode.countLine};
    setStatement(scan, countLines);
    scan.open();
    shell.setProgressMax(integerFromText(scan.fieldText(0), 1));
    shell.setProgressPosition(0);

    setStatement(scan, mode.scanLines);
    scan.open();
    while (!scan.eof()) {
        const int position = shell.progressPosition();
        if (position < INT_MAX) shell.setProgressPosition(position + 1);

        if (numberOf(scan, "B_PRICE") > 0) {
            // The DELETE and the INSERT of one line stand or fall together, so
            // a refused INSERT never leaves its pair without a history row.
            transactions.begin();
            try {
                replaceHistoryRow(mode, scan, work);
                transactions.commit();
            } catch (...) {
                try {
                    transactions.rollback();
                } catch (...) {
                    // The first failure is the one the operator needs to see.
                }
                throw;
            }
        }
        scan.next();
    }
    shell.showInformation(kResetDone);
}

}  // namespace tarvel
