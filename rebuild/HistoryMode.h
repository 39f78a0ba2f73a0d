// What differs between the purchase history (radio item 0) and the sales
// history (radio item 1): tables, statements, the party and the price column.
#pragma once

namespace tarvel {

struct HistoryMode {
    const char* countLine;
    const char* scanLines[2];
    const char* deleteLines[3];
    const char* insertLines[2];
    const char* targetTable;
    const char* partyColumn;
    const char* priceParam;
    const char* sourceTable;  // the document lines
    const char* word;         // its name on the command line
};

inline constexpr HistoryMode kModes[2] = {
    {
        "SELECT COUNT(*) FROM INSTORAGE_SUB ",
        {"SELECT PROVIDER_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM "
         "INSTORAGE_SUB ",
         " ORDER BY PROVIDER_ID,PROD_ID,BILL_DATE "},
        {"DELETE FROM STORY_IN ", " WHERE TEMPPRODID = :TEMPPRODID ", " and PROVIDER_ID = :PROVIDER_ID "},
        {"insert into "
         "STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
         " VALUES(:PROVIDER_ID,:PROD_ID,:STD_COST,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)"},
        "STORY_IN",
        "PROVIDER_ID",
        "STD_COST",
        "INSTORAGE_SUB",
        "purchase",
    },
    {
        "SELECT COUNT(*) FROM SAL_SUB ",
        {"SELECT CUST_ID,PROD_ID,B_PRICE,BILL_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS FROM SAL_SUB ",
         " ORDER BY CUST_ID,PROD_ID,BILL_DATE "},
        {"DELETE FROM STORY_SAL ", " WHERE TEMPPRODID = :TEMPPRODID ", " and CUST_ID = :CUST_ID "},
        {"insert into STORY_SAL(CUST_ID,PROD_ID,U_PRICE,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)",
         " VALUES(:CUST_ID,:PROD_ID,:U_PRICE,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,:SALE_PRICE,:U_DIS)"},
        "STORY_SAL",
        "CUST_ID",
        "U_PRICE",
        "SAL_SUB",
        "sales",
    },
};

}  // namespace tarvel
