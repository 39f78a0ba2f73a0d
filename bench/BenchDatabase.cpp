#include "BenchDatabase.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TestDatabase.h"

namespace bench {

namespace {

std::string replaced(std::string text, const std::string& name, int value) {
    const std::string with = std::to_string(value);
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + with.size()))
        text.replace(at, name.size(), with);
    return text;
}

std::string withShape(std::string text, const DataShape& shape) {
    text = replaced(std::move(text), "{LINES}", shape.lines);
    text = replaced(std::move(text), "{PROVIDERS}", shape.providers);
    text = replaced(std::move(text), "{PRODUCTS}", shape.products);
    return replaced(std::move(text), "{CATALOGUE}", shape.catalogue);
}

// A product's keys, barcode and cost follow from its number alone, so the
// lines and the history agree on them. Park-Miller steps give the chances.
const char* const kProductColumns = R"(
      v_temp = 'T' || LPAD(CAST(v_product + 1 AS VARCHAR(9)), 6, '0');
      v_prod = SUBSTRING('ABCDEFGH' FROM MOD(v_product * 5, 8) + 1 FOR 1) || LPAD(CAST(v_product + 1 AS VARCHAR(9)), 6, '0');
      v_barcode = '471' || LPAD(CAST(MOD(v_product * 104729 + 12345, 1000000000) AS VARCHAR(9)), 9, '0') || CAST(MOD(v_product, 10) AS VARCHAR(1));
      v_cost = 50000 + MOD(v_product * 7919, 4950000);
      v_sale = CAST(v_cost * 14 / 1000 AS NUMERIC(18,2)) / 100;
)";

const char* const kDeclarations = R"(
  DECLARE v_seed BIGINT = 20240601;
  DECLARE v_r INTEGER;
  DECLARE v_provider INTEGER;
  DECLARE v_product INTEGER;
  DECLARE v_party VARCHAR(10);
  DECLARE v_temp VARCHAR(12);
  DECLARE v_prod VARCHAR(20);
  DECLARE v_barcode VARCHAR(20);
  DECLARE v_cost BIGINT;
  DECLARE v_sale NUMERIC(12,2);
)";

}  // namespace

DataShape shapeFor(int lines) {
    DataShape shape;
    shape.lines = lines;
    shape.providers = std::clamp(lines / 100, 50, 5000);
    shape.products = std::max(3200, shape.providers * 16);
    return shape;
}

std::string linesBlock(const DataShape& shape) {
    return withShape(std::string("EXECUTE BLOCK AS") + kDeclarations + R"(
  DECLARE v_done INTEGER = 0;
  DECLARE v_bill INTEGER = 0;
  DECLARE v_items INTEGER;
  DECLARE v_item INTEGER;
  DECLARE v_first_slot INTEGER;
  DECLARE v_day DATE;
  DECLARE v_paid BIGINT;
  DECLARE v_price NUMERIC(12,4);
  DECLARE v_line_sale NUMERIC(12,2);
  DECLARE v_discount NUMERIC(5,2);
  DECLARE v_line_temp VARCHAR(12);
  DECLARE v_line_barcode VARCHAR(20);
BEGIN
  WHILE (v_done < {LINES}) DO
  BEGIN
    v_provider = MOD(v_bill, {PROVIDERS});
    v_party = 'S' || LPAD(CAST(v_provider + 1 AS VARCHAR(9)), 5, '0');
    v_day = DATEADD(v_bill / {PROVIDERS} DAY TO DATE '2023-01-01');
    v_seed = MOD(v_seed * 48271, 2147483647);
    v_items = 3 + MOD(v_seed, 10);
    v_seed = MOD(v_seed * 48271, 2147483647);
    v_first_slot = MOD(v_seed, {CATALOGUE});
    v_item = 1;
    WHILE (v_item <= v_items AND v_done < {LINES}) DO
    BEGIN
      v_product = MOD(v_provider * 97 + MOD(v_first_slot + v_item * 7, {CATALOGUE}), {PRODUCTS});)" +
                         kProductColumns + R"(
      v_seed = MOD(v_seed * 48271, 2147483647);
      v_r = MOD(v_seed, 10000);
      v_paid = v_cost + v_cost * (MOD(v_seed / 10000, 17) - 8) / 100;
      IF (v_r < 50) THEN v_price = NULL;
      ELSE IF (v_r < 200) THEN v_price = 0;
      ELSE IF (v_r < 500) THEN v_price = -CAST(v_cost AS NUMERIC(18,4)) / 10000;
      ELSE v_price = CAST(v_paid AS NUMERIC(18,4)) / 10000;
      v_seed = MOD(v_seed * 48271, 2147483647);
      v_r = MOD(v_seed, 10000);
      v_line_temp = IIF(v_r < 10, NULL, v_temp);
      v_line_barcode = IIF(MOD(v_r, 100) = 1, NULL, v_barcode);
      v_line_sale = IIF(MOD(v_r, 200) = 3, NULL, v_sale);
      v_discount = IIF(MOD(v_r, 100) = 5, NULL, IIF(MOD(v_r, 4) = 0, (MOD(v_r / 4, 4) + 1) * 5, 0));
      INSERT INTO INSTORAGE_SUB (BILL_NO, ITEM_NO, PROVIDER_ID, PROD_ID, TEMPPRODID, PROD_BARCODE, QTY, B_PRICE,
                                 SALE_PRICE, U_DIS, BILL_DATE)
      VALUES ('IN' || LPAD(CAST(:v_bill + 1 AS VARCHAR(12)), 9, '0'), :v_item, :v_party, :v_prod, :v_line_temp,
              :v_line_barcode, MOD(:v_seed / 1000, 48) + 1, :v_price, :v_line_sale, :v_discount, :v_day);
      v_done = v_done + 1;
      v_item = v_item + 1;
    END
    v_bill = v_bill + 1;
  END
END)",
                     shape);
}

std::string historyBlock(const DataShape& shape) {
    return withShape(std::string("EXECUTE BLOCK AS") + kDeclarations + R"(
  DECLARE v_slot INTEGER;
  DECLARE v_old DATE;
BEGIN
  v_provider = 0;
  WHILE (v_provider < {PROVIDERS} + 60) DO
  BEGIN
    v_party = 'S' || LPAD(CAST(v_provider + 1 AS VARCHAR(9)), 5, '0');
    v_slot = 0;
    WHILE (v_slot < {CATALOGUE}) DO
    BEGIN
      v_product = MOD(v_provider * 97 + v_slot, {PRODUCTS});)" +
                         kProductColumns + R"(
      v_seed = MOD(v_seed * 48271, 2147483647);
      v_r = MOD(v_seed, 10000);
      v_old = DATEADD(MOD(v_seed / 10000, 365) DAY TO DATE '2022-01-01');
      IF (v_provider >= {PROVIDERS}) THEN v_r = IIF(v_slot = 0, 0, 5000);
      IF (v_r < 3500) THEN
        INSERT INTO STORY_IN (PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS)
        VALUES (:v_party, :v_prod, CAST(:v_cost * 9 / 10 AS NUMERIC(18,4)) / 10000, :v_old, :v_temp, :v_barcode,
                :v_sale, 0);
      IF (v_r < 100) THEN
        INSERT INTO STORY_IN (PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS)
        VALUES (:v_party, :v_prod, CAST(:v_cost AS NUMERIC(18,4)) / 10000, DATEADD(-1 DAY TO :v_old), :v_temp,
                :v_barcode, :v_sale, 5);
      IF (v_r >= 9980) THEN
        INSERT INTO STORY_IN (PROVIDER_ID, PROD_ID, STD_COST, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS)
        VALUES (:v_party, :v_prod, CAST(:v_cost AS NUMERIC(18,4)) / 10000, :v_old, NULL, :v_barcode, :v_sale, 0);
      v_slot = v_slot + 1;
    END
    v_provider = v_provider + 1;
  END
END)",
                     shape);
}

void createBenchDatabase(const std::string& path, int lines, const std::string& password) {
    std::ifstream schemaFile(TARVEL_DEMO_SCHEMA);
    if (!schemaFile) throw std::runtime_error("cannot read " TARVEL_DEMO_SCHEMA);
    std::ostringstream schema;
    schema << schemaFile.rdbuf();
    std::filesystem::remove(path);
    tarvel::testing::createDatabase(path, schema.str());

    const DataShape shape = shapeFor(lines);
    Attachment attachment(Dsn{path, "SYSDBA", password});
    Transaction fill(attachment);
    fill.executeImmediate(linesBlock(shape));
    fill.executeImmediate(historyBlock(shape));
    fill.commit();
    // The indexes were made on empty tables; the scan's plan should see the
    // tables as they now are.
    Transaction statistics(attachment);
    for (const char* index : {"STORY_IN_PAIR", "INSTORAGE_SUB_WALK"})
        statistics.executeImmediate(std::string("SET STATISTICS INDEX ") + index);
    statistics.commit();
}

void copyDatabase(const std::string& source, const std::string& target, bool forcedWrites,
                  const std::string& password) {
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    ::chmod(target.c_str(), 0666);
    Attachment attachment(Dsn{target, "SYSDBA", password}, forcedWrites);
    if (attachment.forcedWrites() != forcedWrites)
        throw std::runtime_error("forced writes of " + target + " could not be switched");
}

}  // namespace bench
