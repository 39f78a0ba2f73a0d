// Writes the rows of the demo point-of-sale database as SQL INSERT statements
// (UTF-8) on standard output: providers, customers, products with Traditional
// Chinese names, purchase and sales bills with their lines, and history rows
// as an older run of the shop's software would have left them. The data is the
// same on every run (fixed seed).
#include <array>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    // Uniform in [low, high].
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
    // True with the given chance in ten thousand.
    bool chance(int perTenThousand) { return between(0, 9999) < perTenThousand; }
    template <typename T, std::size_t N>
    const T& pick(const std::array<T, N>& items) {
        return items[next() % N];
    }

private:
    std::uint64_t m_state;
};

// Days since 1970-01-01 to a 'YYYY-MM-DD' literal.
std::string dateText(int days) {
    days += 719468;
    const int era = days / 146097;
    const int dayOfEra = days - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

constexpr int kFirstDay = 19358;  // 2023-01-01
constexpr int kLastDay = 20269;   // 2025-06-30
constexpr int kOldDay = 18993;    // 2022-01-01, history before the documents

// An amount with `places` decimals from hundredths or ten-thousandths.
std::string money(long long units, int places) {
    const long long scale = places == 4 ? 10000 : 100;
    const bool negative = units < 0;
    const long long magnitude = negative ? -units : units;
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%0*lld", negative ? "-" : "", magnitude / scale, places,
                  magnitude % scale);
    return text;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

const std::array<const char*, 12> kPlaces{"台北", "新北", "桃園", "新竹", "台中", "彰化",
                                          "嘉義", "台南", "高雄", "屏東", "宜蘭", "花蓮"};
const std::array<const char*, 16> kFirmWords{"永豐", "大同", "長榮", "福興", "金源", "順發", "宏達", "建興",
                                             "聯合", "全成", "新益", "正昌", "三陽", "合利", "東元", "裕隆"};
const std::array<const char*, 5> kFirmKinds{"商行", "企業社", "食品行", "股份有限公司", "貿易有限公司"};
const std::array<const char*, 16> kSurnames{"陳", "林", "黃", "張", "李", "王", "吳", "劉",
                                            "蔡", "楊", "許", "鄭", "謝", "郭", "洪", "曾"};
const std::array<const char*, 24> kGivenParts{"志", "明", "淑", "芬", "家", "豪", "怡", "君",
                                              "建", "宏", "美", "玲", "俊", "傑", "雅", "婷",
                                              "文", "雄", "秀", "英", "嘉", "慧", "冠", "廷"};
const std::array<const char*, 18> kBrands{"統一", "味全",   "義美", "光泉", "黑松", "金車",
                                          "泰山", "愛之味", "維力", "桂格", "舒潔", "白蘭",
                                          "花王", "好自在", "康寧", "大同", "台糖", "新東陽"};
const std::array<const char*, 24> kGoods{"鮮乳",   "綠茶",   "紅茶",   "豆漿",   "蘇打餅乾", "牛肉麵",
                                         "礦泉水", "咖啡",   "洗衣精", "衛生紙", "洗髮乳",   "沐浴乳",
                                         "醬油",   "米酒",   "白米",   "麵線",   "肉鬆",     "鳳梨酥",
                                         "牛奶糖", "口香糖", "烏龍茶", "麥片",   "沙拉油",   "肉醬罐頭"};
const std::array<const char*, 10> kSizes{"290ml", "600ml",  "1000ml", "12入", "6入",
                                         "大包",  "家庭號", "500g",   "1kg",  "單包"};
const std::array<const char*, 6> kUnits{"瓶", "包", "盒", "罐", "箱", "袋"};

struct Product {
    std::string tempProdId;
    std::string prodId;
    std::string barcode;
    long long cost;   // ten-thousandths
    long long price;  // hundredths
};

std::string barcode(Random& random) {
    std::string digits = "471";
    for (int i = 0; i < 9; ++i) digits += static_cast<char>('0' + random.between(0, 9));
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += (digits[i] - '0') * (i % 2 ? 3 : 1);
    digits += static_cast<char>('0' + (10 - sum % 10) % 10);
    return digits;
}

struct Line {
    std::string party;
    const Product* product;
    int day;
};

// One document line's values, with the gaps real data has: a few prices null,
// zero (free goods) or negative (returns), a few null sale prices, discounts
// and barcodes.
void writeLine(Random& random, const char* table, const char* partyColumn, const std::string& billNo,
               int item, const Line& line, bool selling) {
    const Product& p = *line.product;
    std::string price;
    if (random.chance(50)) {
        price = "NULL";
    } else if (random.chance(150)) {
        price = "0";
    } else if (random.chance(40)) {
        price = money(-(selling ? p.price * 100 : p.cost), 4);
    } else {
        const long long base = selling ? p.price * 100 : p.cost;
        price = money(base + base * random.between(-8, 8) / 100, 4);
    }
    const std::string salePrice = random.chance(50) ? "NULL" : money(p.price, 2);
    const std::string discount =
        random.chance(100) ? "NULL" : money(random.chance(2500) ? random.between(1, 4) * 500 : 0, 2);
    const std::string code = random.chance(100) ? "NULL" : quoted(p.barcode);
    const std::string tempId = random.chance(10) ? "NULL" : quoted(p.tempProdId);
    std::printf(
        "INSERT INTO %s (BILL_NO, ITEM_NO, %s, PROD_ID, TEMPPRODID, PROD_BARCODE, QTY, B_PRICE, "
        "SALE_PRICE, U_DIS, BILL_DATE) VALUES ('%s', %d, '%s', '%s', %s, %s, %s, %s, %s, %s, '%s');\n",
        table, partyColumn, billNo.c_str(), item, line.party.c_str(), p.prodId.c_str(), tempId.c_str(),
        code.c_str(), money(random.between(1, 48) * 100, 2).c_str(), price.c_str(), salePrice.c_str(),
        discount.c_str(), dateText(line.day).c_str());
}

void writeHistory(Random& random, const char* table, const char* partyColumn, const char* priceColumn,
                  const std::string& party, const Product& p) {
    std::printf(
        "INSERT INTO %s (%s, PROD_ID, %s, CHG_DATE, TEMPPRODID, PROD_BARCODE, SALE_PRICE, U_DIS) "
        "VALUES ('%s', '%s', %s, '%s', '%s', '%s', %s, 0);\n",
        table, partyColumn, priceColumn, party.c_str(), p.prodId.c_str(),
        money(p.cost * random.between(80, 95) / 100, 4).c_str(),
        dateText(kOldDay + random.between(0, 364)).c_str(), p.tempProdId.c_str(), p.barcode.c_str(),
        money(p.price, 2).c_str());
}

}  // namespace

int main() {
    Random random(0x7A2B5EEDULL);
    constexpr int kProviders = 320;
    constexpr int kCustomers = 450;
    constexpr int kProducts = 3200;
    constexpr int kPurchaseBills = 2600;
    constexpr int kSalesBills = 7200;

    std::vector<std::string> providers;
    for (int i = 1; i <= kProviders; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "S%04d", i);
        providers.emplace_back(id);
        const std::string name =
            std::string(random.pick(kPlaces)) + random.pick(kFirmWords) + random.pick(kFirmKinds);
        std::printf("INSERT INTO PROVIDER VALUES ('%s', '%s', '0%d-%07d', '%08d');\n", id, name.c_str(),
                    random.between(2, 8), random.between(0, 9999999), random.between(10000000, 99999999));
    }
    std::vector<std::string> customers;
    for (int i = 1; i <= kCustomers; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "C%05d", i);
        customers.emplace_back(id);
        const std::string name =
            std::string(random.pick(kSurnames)) + random.pick(kGivenParts) + random.pick(kGivenParts);
        std::printf("INSERT INTO CUSTOMER VALUES ('%s', '%s', '09%08d', '%s');\n", id, name.c_str(),
                    random.between(0, 99999999), random.chance(1500) ? "W" : "R");
    }
    std::vector<Product> products;
    for (int i = 1; i <= kProducts; ++i) {
        Product p;
        char temp[16];
        char prod[16];
        std::snprintf(temp, sizeof temp, "T%06d", i);
        std::snprintf(prod, sizeof prod, "%c%05d", "ABCDEFGH"[random.between(0, 7)], 10000 + i * 7 % 90000);
        p.tempProdId = temp;
        p.prodId = prod;
        p.barcode = barcode(random);
        p.cost = random.between(500, 50000) * 100LL;  // 5.00 .. 500.00 in ten-thousandths
        p.price = p.cost / 100 * random.between(125, 160) / 100;
        const std::string name =
            std::string(random.pick(kBrands)) + random.pick(kGoods) + " " + random.pick(kSizes);
        std::printf("INSERT INTO PRODUCT VALUES ('%s', '%s', '%s', '%s', '%s', %s, %s);\n", temp, prod,
                    name.c_str(), p.barcode.c_str(), random.pick(kUnits), money(p.cost, 4).c_str(),
                    money(p.price, 2).c_str());
        products.push_back(std::move(p));
    }
    std::printf("COMMIT;\n");

    // Every provider delivers from a catalogue of its own; every customer keeps
    // buying mostly the same goods, so pairs recur across bills.
    std::set<std::pair<std::string, const Product*>> purchased;
    for (int bill = 1; bill <= kPurchaseBills; ++bill) {
        const int providerIndex = random.between(0, kProviders - 1);
        const std::string& provider = providers[providerIndex];
        const int day = random.between(kFirstDay, kLastDay);
        char billNo[20];
        std::snprintf(billNo, sizeof billNo, "IN%s%04d", dateText(day).substr(2, 2).c_str(), bill);
        std::printf("INSERT INTO INSTORAGE VALUES ('%s', '%s', '%s', NULL);\n", billNo, dateText(day).c_str(),
                    provider.c_str());
        const int lines = random.between(3, 12);
        for (int item = 1; item <= lines; ++item) {
            const int catalogueStart = providerIndex * 97 % kProducts;
            const Product* product = &products[(catalogueStart + random.between(0, 29)) % kProducts];
            purchased.insert({provider, product});
            writeLine(random, "INSTORAGE_SUB", "PROVIDER_ID", billNo, item, {provider, product, day}, false);
        }
    }
    std::set<std::pair<std::string, const Product*>> sold;
    for (int bill = 1; bill <= kSalesBills; ++bill) {
        const int customerIndex = random.between(0, kCustomers - 1);
        const std::string& customer = customers[customerIndex];
        const int day = random.between(kFirstDay, kLastDay);
        char billNo[20];
        std::snprintf(billNo, sizeof billNo, "SA%s%05d", dateText(day).substr(2, 2).c_str(), bill);
        std::printf("INSERT INTO SAL VALUES ('%s', '%s', '%s', NULL);\n", billNo, dateText(day).c_str(),
                    customer.c_str());
        const int lines = random.between(2, 8);
        for (int item = 1; item <= lines; ++item) {
            const int favouriteStart = customerIndex * 131 % kProducts;
            const Product* product = random.chance(8000)
                                         ? &products[(favouriteStart + random.between(0, 39)) % kProducts]
                                         : &products[random.between(0, kProducts - 1)];
            sold.insert({customer, product});
            writeLine(random, "SAL_SUB", "CUST_ID", billNo, item, {customer, product, day}, true);
        }
    }
    std::printf("COMMIT;\n");

    // History as it stands before the rebuild: an older row for some pairs
    // (a few of them twice), and rows of pairs no document line mentions.
    for (const auto& [party, product] : purchased) {
        if (random.chance(3500)) writeHistory(random, "STORY_IN", "PROVIDER_ID", "STD_COST", party, *product);
        if (random.chance(100)) writeHistory(random, "STORY_IN", "PROVIDER_ID", "STD_COST", party, *product);
    }
    for (int i = 0; i < 60; ++i)
        writeHistory(random, "STORY_IN", "PROVIDER_ID", "STD_COST",
                     providers[random.between(0, kProviders - 1)],
                     products[random.between(0, kProducts - 1)]);
    for (const auto& [party, product] : sold) {
        if (random.chance(2500)) writeHistory(random, "STORY_SAL", "CUST_ID", "U_PRICE", party, *product);
        if (random.chance(100)) writeHistory(random, "STORY_SAL", "CUST_ID", "U_PRICE", party, *product);
    }
    for (int i = 0; i < 60; ++i)
        writeHistory(random, "STORY_SAL", "CUST_ID", "U_PRICE", customers[random.between(0, kCustomers - 1)],
                     products[random.between(0, kProducts - 1)]);
    std::printf("COMMIT;\n");
    return 0;
}
