#include "ClientLoops.h"

#include <optional>
#include <string>

namespace bench {

namespace {

// The program's statements, with positional parameters in the same order.
const char* const kScan =
    "SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM "
    "INSTORAGE_SUB \r\n"
    " ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE \r\n";
const char* const kDelete = "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID = ? \r\n and PROVIDER_ID = ? \r\n";
const char* const kInsert =
    "insert into STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)\r\n"
    " VALUES(?,?,?,?,?,?,?,?)\r\n";

enum Column { Party, ProdId, Price, BillDate, TempProdId, Barcode, SalePrice, Discount };
constexpr int kInsertValues = 8;

// Binds as the program does: texts with null as empty, numbers with null as 0.
void bindDelete(Statement& statement, const Statement& scan) {
    statement.setText(0, scan.text(TempProdId));
    statement.setText(1, scan.text(Party));
}

// The INSERT's eight values, from parameter `first` on (a block holds many lines').
void bindInsert(Statement& statement, const Statement& scan, int first = 0) {
    statement.setText(first + 0, scan.text(Party));
    statement.setText(first + 1, scan.text(ProdId));
    statement.setDouble(first + 2, scan.number(Price));
    statement.setText(first + 3, scan.text(BillDate));
    statement.setText(first + 4, scan.text(TempProdId));
    statement.setText(first + 5, scan.text(Barcode));
    statement.setDouble(first + 6, scan.number(SalePrice));
    statement.setDouble(first + 7, scan.number(Discount));
}

// Moves the scan to the next line with a positive price, counting the lines
// passed; false at the scan's end or once the budget stops the walk.
bool nextPricedLine(Statement& scan, RunBudget& budget, LoopOutcome& outcome) {
    while (scan.fetch()) {
        if (budget.expired() && budget.leavesParty(scan.text(Party))) return false;
        ++outcome.lines;
        if (scan.number(Price) <= 0) continue;
        ++outcome.worked;
        return true;
    }
    return false;
}

void replacePrepared(Statement& remove, Statement& insert, const Statement& scan, Transaction& transaction) {
    bindDelete(remove, scan);
    remove.execute(transaction);
    bindInsert(insert, scan);
    insert.execute(transaction);
}

void replacePreparingEach(Attachment& attachment, const Statement& scan, Transaction& transaction) {
    Statement remove(attachment, transaction, kDelete);
    bindDelete(remove, scan);
    remove.execute(transaction);
    Statement insert(attachment, transaction, kInsert);
    bindInsert(insert, scan);
    insert.execute(transaction);
}

}  // namespace

LoopOutcome runClientLoop(Attachment& attachment, LoopKind kind, RunBudget& budget) {
    Transaction scanTransaction(attachment, Transaction::Kind::ReadOnly);
    Statement scan(attachment, scanTransaction, kScan);
    std::optional<Statement> remove;
    std::optional<Statement> insert;
    if (kind != LoopKind::PreparePerStatement) {
        remove.emplace(attachment, scanTransaction, kDelete);
        insert.emplace(attachment, scanTransaction, kInsert);
    }

    LoopOutcome outcome;
    std::optional<Transaction> group;
    int inGroup = 0;
    scan.execute(scanTransaction);
    while (nextPricedLine(scan, budget, outcome)) {
        if (kind == LoopKind::GroupedCommits) {
            if (!group) group.emplace(attachment);
            replacePrepared(*remove, *insert, scan, *group);
            if (++inGroup == kGroupLines) {
                group->commit();
                group.reset();
                inGroup = 0;
            }
            continue;
        }
        Transaction line(attachment);
        if (kind == LoopKind::PreparedOnce)
            replacePrepared(*remove, *insert, scan, line);
        else
            replacePreparingEach(attachment, scan, line);
        line.commit();
    }
    if (group) group->commit();
    scan.closeCursor();
    scanTransaction.commit();
    return outcome;
}

namespace {

// The plain block loop: 100 lines a call through a sub-procedure declared in
// the block, parameters typed as written, nothing else tuned.
constexpr int kBlockLines = 100;

std::string blockLoopText(bool handlers) {
    std::string text = "EXECUTE BLOCK (N INTEGER = ?";
    for (int line = 0; line < kBlockLines; ++line) {
        const std::string l = std::to_string(line);
        text += ",\n P" + l + " VARCHAR(10) = ?, R" + l + " VARCHAR(20) = ?, B" + l +
                " NUMERIC(12,4) = ?, D" + l + " DATE = ?, T" + l + " VARCHAR(12) = ?, C" + l +
                " VARCHAR(20) = ?, S" + l + " NUMERIC(12,2) = ?, U" + l + " NUMERIC(5,2) = ?";
    }
    text +=
        ")\nAS\nDECLARE PROCEDURE W (p VARCHAR(10), pr VARCHAR(20), b NUMERIC(12,4), d DATE, t VARCHAR(12), "
        "c VARCHAR(20), s NUMERIC(12,2), u NUMERIC(5,2))\nAS\nBEGIN\n"
        "DELETE FROM STORY_IN WHERE TEMPPRODID = :t AND PROVIDER_ID = :p;\n"
        "INSERT INTO "
        "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS) "
        "VALUES (:p, :pr, :b, :d, :t, :c, :s, :u);\nEND\nBEGIN\n";
    for (int line = 0; line < kBlockLines; ++line) {
        const std::string l = std::to_string(line);
        const std::string call = "EXECUTE PROCEDURE W(:P" + l + ", :R" + l + ", :B" + l + ", :D" + l +
                                 ", :T" + l + ", :C" + l + ", :S" + l + ", :U" + l + ");";
        text += "IF (N > " + l + ") THEN " + (handlers ? "BEGIN " + call + " WHEN ANY DO EXIT; END" : call) +
                "\n";
    }
    return text + "END";
}

}  // namespace

LoopOutcome runBlockLoop(Attachment& attachment, RunBudget& budget, bool handlers) {
    Transaction scanTransaction(attachment, Transaction::Kind::ReadOnly);
    Statement scan(attachment, scanTransaction, kScan);
    Statement block(attachment, scanTransaction, blockLoopText(handlers));
    LoopOutcome outcome;
    std::optional<Transaction> group;
    int inBlock = 0;
    int inGroup = 0;
    const auto flush = [&] {
        if (inBlock == 0) return;
        for (int i = 1 + inBlock * kInsertValues; i < block.parameterCount(); ++i) block.setNull(i);
        block.setDouble(0, inBlock);
        if (!group) group.emplace(attachment);
        block.execute(*group);
        inGroup += inBlock;
        inBlock = 0;
        if (inGroup >= kGroupLines) {
            group->commit();
            group.reset();
            inGroup = 0;
        }
    };
    scan.execute(scanTransaction);
    while (nextPricedLine(scan, budget, outcome)) {
        bindInsert(block, scan, 1 + inBlock * kInsertValues);
        if (++inBlock == kBlockLines) flush();
    }
    flush();
    if (group) group->commit();
    scan.closeCursor();
    scanTransaction.commit();
    return outcome;
}

void runPsqlLoop(Attachment& attachment) {
    Transaction transaction(attachment);
    transaction.executeImmediate(R"(EXECUTE BLOCK AS
  DECLARE p VARCHAR(10);
  DECLARE pr VARCHAR(20);
  DECLARE b NUMERIC(12,4);
  DECLARE d DATE;
  DECLARE t VARCHAR(12);
  DECLARE c VARCHAR(20);
  DECLARE s NUMERIC(12,2);
  DECLARE u NUMERIC(5,2);
BEGIN
  FOR SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM INSTORAGE_SUB
      ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE INTO :p, :pr, :b, :d, :t, :c, :s, :u DO
    IF (b > 0) THEN
    BEGIN
      DELETE FROM STORY_IN WHERE TEMPPRODID = COALESCE(:t, '') AND PROVIDER_ID = :p;
      INSERT INTO STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)
      VALUES (:p, :pr, :b, :d, COALESCE(:t, ''), COALESCE(:c, ''), COALESCE(:s, 0), COALESCE(:u, 0));
    END
END)");
    transaction.commit();
}

void runSetBased(Attachment& attachment) {
    Transaction transaction(attachment);
    transaction.executeImmediate(
        "DELETE FROM STORY_IN h WHERE EXISTS (SELECT 1 FROM INSTORAGE_SUB s WHERE s.PROVIDER_ID = "
        "h.PROVIDER_ID "
        "AND COALESCE(s.TEMPPRODID, '') = h.TEMPPRODID AND s.B_PRICE > 0)");
    transaction.executeImmediate(
        "INSERT INTO "
        "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS) "
        "SELECT PROVIDER_ID, PROD_ID, B_PRICE, BILL_DATE, COALESCE(TEMPPRODID, ''), COALESCE(PROD_BARCODE, "
        "''), "
        "COALESCE(SALE_PRICE, 0), COALESCE(U_DIS, 0) FROM ("
        "SELECT s.*, ROW_NUMBER() OVER (PARTITION BY s.PROVIDER_ID, COALESCE(s.TEMPPRODID, '') "
        "ORDER BY s.PROD_ID DESC, s.BILL_DATE DESC) AS LAST_FIRST FROM INSTORAGE_SUB s WHERE s.B_PRICE > 0) "
        "WHERE LAST_FIRST = 1");
    transaction.commit();
}

}  // namespace bench
