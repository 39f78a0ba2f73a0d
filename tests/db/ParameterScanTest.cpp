// The marker scan, the command text and the server text, byte for byte.
#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MultiByteText.h"
#include "ParameterScan.h"
#include "ServerText.h"

namespace tarvel {
namespace {

using Names = std::vector<std::string>;

TEST(CommandText, EveryLineEndsWithCarriageReturnLineFeed) {
    EXPECT_EQ(commandTextFromLines({}), "");
    EXPECT_EQ(commandTextFromLines({"A", "B"}), "A\r\nB\r\n");
    EXPECT_EQ(commandTextFromLines({"SELECT COUNT(*) FROM INSTORAGE_SUB "}), "SELECT COUNT(*) FROM INSTORAGE_SUB \r\n");
    EXPECT_EQ(commandTextFromLines({"", "  x  "}), "\r\n  x  \r\n");
}

struct ScanCase {
    const char* label;
    std::string text;
    ByteCharset charset;
    Names names;
};

class ParameterScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ParameterScan, FindsTheMarkers) {
    const ScanCase& c = GetParam();
    EXPECT_EQ(scanParameterNames(c.text, c.charset), c.names) << c.label;
}

const ScanCase kScanCases[] = {
    {"none", "SELECT COUNT(*) FROM SAL_SUB \r\n", ByteCharset::SingleByte, {}},
    {"delete", "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID = :TEMPPRODID \r\n and PROVIDER_ID = :PROVIDER_ID \r\n",
     ByteCharset::SingleByte, {"TEMPPRODID", "PROVIDER_ID"}},
    {"insert values",
     "insert into STORY_SAL(CUST_ID)\r\n VALUES(:CUST_ID,:PROD_ID,:U_PRICE,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,"
     ":SALE_PRICE,:U_DIS)\r\n",
     ByteCharset::SingleByte,
     {"CUST_ID", "PROD_ID", "U_PRICE", "CHG_DATE", "TEMPPRODID", "PROD_BARCODE", "SALE_PRICE", "U_DIS"}},
    {"repeated name", "WHERE A=:A OR B=:A", ByteCharset::SingleByte, {"A", "A"}},
    {"semicolon ends", ":A;:B", ByteCharset::SingleByte, {"A", "B"}},
    {"equals, tab and open parenthesis do not end", ":A=1\t(x) ", ByteCharset::SingleByte, {"A=1\t(x"}},
    {"colon inside a name", ":A:B ", ByteCharset::SingleByte, {"A:B"}},
    {"name at the end of the text", "x=:LAST", ByteCharset::SingleByte, {"LAST"}},
    {"lone colon at the end", "x :", ByteCharset::SingleByte, {""}},
    {"escaped colon", "SELECT 'a' || ::B, :C", ByteCharset::SingleByte, {"C"}},
    {"three colons: escape then marker", ":::X ", ByteCharset::SingleByte, {"X"}},
    {"apostrophe literal", "WHERE A = ':NOT' AND B = :YES", ByteCharset::SingleByte, {"YES"}},
    {"double-quote literal", "SELECT \":NOT\" FROM T WHERE B=:YES", ByteCharset::SingleByte, {"YES"}},
    {"backquote literal", "`:NOT` :YES", ByteCharset::SingleByte, {"YES"}},
    {"quotes are not told apart", "'a\" :X '", ByteCharset::SingleByte, {"X"}},
    {"quoted name loses its quotes", "WHERE A = :\"My Name\" AND B = :C", ByteCharset::SingleByte, {"My Name", "C"}},
    {"quoted name with apostrophes", ":'x y',:z", ByteCharset::SingleByte, {"x y", "z"}},
    {"quote inside a plain name is kept", ":A'b c' d", ByteCharset::SingleByte, {"A'b c'"}},
    {"unclosed quoted name runs to the end", ":\"abc def", ByteCharset::SingleByte, {"abc def"}},
    {"empty quoted name", ":\"\" x", ByteCharset::SingleByte, {""}},
    {"CR and LF end names", ":A\r:B\n:C", ByteCharset::SingleByte, {"A", "B", "C"}},
    // 0xA4 0x60 is one Big5 character whose trail byte is the backquote.
    {"Big5 trail byte is no quote", "SELECT '\xA4\x60' , :A", ByteCharset::DoubleByte, {"A"}},
    {"same bytes single-byte: the backquote closes", "SELECT '\xA4\x60' , :A", ByteCharset::SingleByte, {}},
    {"Big5 character inside a name", ":\xB2\x60\xAB~ x", ByteCharset::DoubleByte, {"\xB2\x60\xAB~"}},
    {"Big5 lead byte at the very end", ":A \xA4", ByteCharset::DoubleByte, {"A"}},
    {"Big5 lead byte hides a colon", "\x81:A :B", ByteCharset::DoubleByte, {"B"}},
    {"UTF-8 name", "WHERE x = :\xE7\x94\xA2\xE5\x93\x81,:B", ByteCharset::Utf8, {"\xE7\x94\xA2\xE5\x93\x81", "B"}},
    {"UTF-8 literal", "'\xE5\x90\x8D :NOT' :YES", ByteCharset::Utf8, {"YES"}},
    {"broken UTF-8 sequence does not swallow a quote", "\xE5'\x90 :NOT' :YES", ByteCharset::Utf8, {"YES"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParameterScan, ::testing::ValuesIn(kScanCases));

struct LengthCase {
    std::string text;
    std::size_t pos;
    ByteCharset charset;
    std::size_t length;
};

TEST(CharacterLength, StepsOverWholeCharactersAndNeverPastTheEnd) {
    const LengthCase cases[] = {
        {"a", 0, ByteCharset::Utf8, 1},
        {"\xC3\xA9", 0, ByteCharset::Utf8, 2},
        {"\xE7\x94\xA2", 0, ByteCharset::Utf8, 3},
        {"\xF0\x9F\x98\x80", 0, ByteCharset::Utf8, 4},
        {"\xE7\x94", 0, ByteCharset::Utf8, 2},
        {"\xE7" "a", 0, ByteCharset::Utf8, 1},
        {"\xA4\x60", 0, ByteCharset::DoubleByte, 2},
        {"\x80\x60", 0, ByteCharset::DoubleByte, 1},
        {"\xFF\x60", 0, ByteCharset::DoubleByte, 1},
        {"x\xA4", 1, ByteCharset::DoubleByte, 1},
        {"\xA4\x60", 0, ByteCharset::SingleByte, 1},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(characterLength(c.text, c.pos, c.charset), c.length) << ::testing::PrintToString(c.text);
    }
}

TEST(CharacterLength, CodesetNames) {
    EXPECT_EQ(byteCharsetFromCodeset("UTF-8"), ByteCharset::Utf8);
    EXPECT_EQ(byteCharsetFromCodeset("utf8"), ByteCharset::Utf8);
    EXPECT_EQ(byteCharsetFromCodeset("BIG5"), ByteCharset::DoubleByte);
    EXPECT_EQ(byteCharsetFromCodeset("BIG5-HKSCS"), ByteCharset::DoubleByte);
    EXPECT_EQ(byteCharsetFromCodeset("ANSI_X3.4-1968"), ByteCharset::SingleByte);
    EXPECT_EQ(byteCharsetFromCodeset("ISO-8859-1"), ByteCharset::SingleByte);
}

TEST(CharacterLength, FollowsTheLocaleOfTheProcess) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    struct {
        const char* locale;
        ByteCharset charset;
    } const cases[] = {{"zh_TW.BIG5", ByteCharset::DoubleByte}, {"en_US.UTF-8", ByteCharset::Utf8},
                       {"C", ByteCharset::SingleByte}};
    for (const auto& c : cases) {
        ASSERT_NE(std::setlocale(LC_CTYPE, c.locale), nullptr) << c.locale << " is not installed";
        EXPECT_EQ(systemByteCharset(), c.charset) << c.locale;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

struct ServerCase {
    const char* label;
    std::string text;
    char quoteChar;
    std::string expected;
};

class ServerText : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ServerText, ReplacesMarkersWhereTheyStand) {
    const ServerCase& c = GetParam();
    EXPECT_EQ(serverTextFromCommand(c.text, c.quoteChar), c.expected) << c.label;
}

const ServerCase kServerCases[] = {
    {"delete", "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID = :TEMPPRODID \r\n and PROVIDER_ID = :PROVIDER_ID \r\n", '"',
     "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID =  ?  \r\n and PROVIDER_ID =  ?  \r\n"},
    {"insert", "insert into T(A,B)\r\n VALUES(:A,:B)\r\n", '"', "insert into T(A,B)\r\n VALUES( ? , ? )\r\n"},
    {"every preceding byte", "x=:a <:b >:c ,:d):e\r:f\n:g (:h)", '"',
     "x= ?  < ?  > ?  , ? ) ? \r ? \n ?  ( ? )"},
    {"other preceding bytes leave the colon", "a|:b +:c", '"', "a|:b +:c"},
    {"first byte is never a marker", ":a :b", '"', ":a  ? "},
    {"colon, less, equal, greater do not end a marker", "(:a:b<c=d>e)", '"', "( ? )"},
    {"apostrophe literal", "WHERE A = ' :no' AND B = :yes", '"', "WHERE A = ' :no' AND B =  ? "},
    {"quote char literal", "SELECT \" :no\" FROM T WHERE B = :yes", '"', "SELECT \" :no\" FROM T WHERE B =  ? "},
    {"no quote char: double quote is plain", "SELECT \" :x\"", '\0', "SELECT \"  ? "},
    {"blank quote char: double quote is plain", "SELECT \" :x\"", ' ', "SELECT \"  ? "},
    {"backquote as quote char", "` :no` :yes", '`', "` :no`  ? "},
    {"quoted marker is replaced whole", "= :\"My Name\" ,", '"', "=  ?  ,"},
    {"literal opened in the first byte", "' :no' :yes", '"', "' :no'  ? "},
    {"Big5 bytes pass unchanged", "WHERE A = '\xA4\x60\xB3\x5C' AND B = :B", '"',
     "WHERE A = '\xA4\x60\xB3\x5C' AND B =  ? "},
};

INSTANTIATE_TEST_SUITE_P(Cases, ServerText, ::testing::ValuesIn(kServerCases));

}  // namespace
}  // namespace tarvel
