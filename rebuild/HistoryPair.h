// The values one qualifying document line hands to its DELETE and INSERT,
// kept until its block is written (a line the block stopped at runs alone
// from them) and until its group is committed (which tells its pair).
#pragma once

#include <string>

namespace tarvel {

struct HistoryPair {
    std::string party;       // PROVIDER_ID or CUST_ID
    std::string tempProdId;  // TEMPPRODID
    std::string prodId;      // PROD_ID
    double price = 0;        // B_PRICE as a number, for STD_COST or U_PRICE
    std::string chgDate;     // BILL_DATE, for CHG_DATE
    std::string barcode;     // PROD_BARCODE
    double salePrice = 0;    // SALE_PRICE as a number
    double discount = 0;     // U_DIS as a number
};

}  // namespace tarvel
