// The marker scan, the command text and the server text, byte for byte.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "ParameterScan.h"
#include "ServerText.h"
#include "TextEncoding.h"

namespace tarvel {
namespace {

using Names = std::vector<std::string>;

TEST(CommandText, EveryLineEndsWithCarriageReturnLineFeed) {
    EXPECT_EQ(commandTextFromLines({}), "");
    EXPECT_EQ(commandTextFromLines({"A", "B"}), "A\r\nB\r\n");
    EXPECT_EQ(commandTextFromLines({"SELECT COUNT(*) FROM INSTORAGE_SUB "}),
              "SELECT COUNT(*) FROM INSTORAGE_SUB \r\n");
    EXPECT_EQ(commandTextFromLines({"", "  x  "}), "\r\n  x  \r\n");
}

struct ScanCase {
    const char* label;
    std::string text;
    TextEncoding charset;
    Names names;
};

class ParameterScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ParameterScan, FindsTheMarkers) {
    const ScanCase& c = GetParam();
    EXPECT_EQ(scanParameterNames(c.text, c.charset), c.names) << c.label;
}

const ScanCase kScanCases[] = {
    {"none", "SELECT COUNT(*) FROM SAL_SUB \r\n", TextEncoding::SingleByte, {}},
    {"delete",
     "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID = :TEMPPRODID \r\n and PROVIDER_ID = :PROVIDER_ID \r\n",
     TextEncoding::SingleByte,
     {"TEMPPRODID", "PROVIDER_ID"}},
    {"insert values",
     "insert into STORY_SAL(CUST_ID)\r\n "
     "VALUES(:CUST_ID,:PROD_ID,:U_PRICE,:CHG_DATE,:TEMPPRODID,:PROD_BARCODE,"
     ":SALE_PRICE,:U_DIS)\r\n",
     TextEncoding::SingleByte,
     {"CUST_ID", "PROD_ID", "U_PRICE", "CHG_DATE", "TEMPPRODID", "PROD_BARCODE", "SALE_PRICE", "U_DIS"}},
    {"repeated name", "WHERE A=:A OR B=:A", TextEncoding::SingleByte, {"A", "A"}},
    {"semicolon ends", ":A;:B", TextEncoding::SingleByte, {"A", "B"}},
    {"equals, tab and open parenthesis do not end", ":A=1\t(x) ", TextEncoding::SingleByte, {"A=1\t(x"}},
    {"colon inside a name", ":A:B ", TextEncoding::SingleByte, {"A:B"}},
    {"name at the end of the text", "x=:LAST", TextEncoding::SingleByte, {"LAST"}},
    {"lone colon at the end", "x :", TextEncoding::SingleByte, {""}},
    {"escaped colon", "SELECT 'a' || ::B, :C", TextEncoding::SingleByte, {"C"}},
    {"three colons: escape then marker", ":::X ", TextEncoding::SingleByte, {"X"}},
    {"apostrophe literal", "WHERE A = ':NOT' AND B = :YES", TextEncoding::SingleByte, {"YES"}},
    {"double-quote literal", "SELECT \":NOT\" FROM T WHERE B=:YES", TextEncoding::SingleByte, {"YES"}},
    {"backquote literal", "`:NOT` :YES", TextEncoding::SingleByte, {"YES"}},
    {"quotes are not told apart", "'a\" :X '", TextEncoding::SingleByte, {"X"}},
    {"quoted name loses its quotes",
     "WHERE A = :\"My Name\" AND B = :C",
     TextEncoding::SingleByte,
     {"My Name", "C"}},
    {"quoted name with apostrophes", ":'x y',:z", TextEncoding::SingleByte, {"x y", "z"}},
    {"quote inside a plain name is kept", ":A'b c' d", TextEncoding::SingleByte, {"A'b c'"}},
    {"unclosed quoted name runs to the end", ":\"abc def", TextEncoding::SingleByte, {"abc def"}},
    {"empty quoted name", ":\"\" x", TextEncoding::SingleByte, {""}},
    {"CR and LF end names", ":A\r:B\n:C", TextEncoding::SingleByte, {"A", "B", "C"}},
    // 0xA4 0x60 is one Big5 character whose trail byte is the backquote.
    {"Big5 trail byte is no quote", "SELECT '\xA4\x60' , :A", TextEncoding::DoubleByte, {"A"}},
    {"same bytes single-byte: the backquote closes", "SELECT '\xA4\x60' , :A", TextEncoding::SingleByte, {}},
    {"Big5 character inside a name", ":\xB2\x60\xAB~ x", TextEncoding::DoubleByte, {"\xB2\x60\xAB~"}},
    {"Big5 lead byte at the very end", ":A \xA4", TextEncoding::DoubleByte, {"A"}},
    {"Big5 lead byte hides a colon", "\x81:A :B", TextEncoding::DoubleByte, {"B"}},
    {"UTF-8 name",
     "WHERE x = :\xE7\x94\xA2\xE5\x93\x81,:B",
     TextEncoding::Utf8,
     {"\xE7\x94\xA2\xE5\x93\x81", "B"}},
    {"UTF-8 literal", "'\xE5\x90\x8D :NOT' :YES", TextEncoding::Utf8, {"YES"}},
    {"broken UTF-8 sequence does not swallow a quote", "\xE5'\x90 :NOT' :YES", TextEncoding::Utf8, {"YES"}},
    // GB18030 and Shift-JIS trail bytes reach into ASCII too: 0x81 0x60 and
    // 0x83 0x60 are one character each, as are 0x81 0x5C and 0x95 0x5C.
    {"GB18030 trail byte is no quote", "SELECT '\x81\x60' , :A", TextEncoding::DoubleByte, {"A"}},
    {"GB18030 four-byte character before a quote", "'\x81\x30\x81\x30' :A", TextEncoding::DoubleByte, {"A"}},
    {"GB18030 backslash trail byte inside a name",
     ":\x81\x5C\x81\x60 x",
     TextEncoding::DoubleByte,
     {"\x81\x5C\x81\x60"}},
    {"Shift-JIS trail byte is no quote", "SELECT '\x83\x60' , :A", TextEncoding::ShiftJis, {"A"}},
    {"Shift-JIS backslash trail byte inside a name",
     ":\x95\x5C\x83\x60 x",
     TextEncoding::ShiftJis,
     {"\x95\x5C\x83\x60"}},
    // A half-width katakana is one byte: the quote after it closes the literal.
    {"Shift-JIS half-width katakana takes no trail byte", "'\xB1' , :A", TextEncoding::ShiftJis, {"A"}},
    {"EUC-JP three-byte character before a quote", "'\x8F\xB0\xA1' :A", TextEncoding::EucJp, {"A"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParameterScan, ::testing::ValuesIn(kScanCases));

struct LengthCase {
    std::string text;
    std::size_t pos;
    TextEncoding charset;
    std::size_t length;
};

TEST(CharacterLength, StepsOverWholeCharactersAndNeverPastTheEnd) {
    const LengthCase cases[] = {
        {"a", 0, TextEncoding::Utf8, 1},
        {"\xC3\xA9", 0, TextEncoding::Utf8, 2},
        {"\xE7\x94\xA2", 0, TextEncoding::Utf8, 3},
        {"\xF0\x9F\x98\x80", 0, TextEncoding::Utf8, 4},
        {"\xE7\x94", 0, TextEncoding::Utf8, 2},
        {"\xE7"
         "a",
         0, TextEncoding::Utf8, 1},
        {"\xA4\x60", 0, TextEncoding::DoubleByte, 2},
        {"\x80\x60", 0, TextEncoding::DoubleByte, 1},
        {"\xFF\x60", 0, TextEncoding::DoubleByte, 1},
        {"x\xA4", 1, TextEncoding::DoubleByte, 1},
        {"\xA4\x60", 0, TextEncoding::SingleByte, 1},
        {"\x81\x30\x81\x30", 0, TextEncoding::DoubleByte, 2},
        {"\x81\x30\x81\x30", 2, TextEncoding::DoubleByte, 2},
        {"\x83\x60", 0, TextEncoding::ShiftJis, 2},
        {"\xE0\x5C", 0, TextEncoding::ShiftJis, 2},
        {"\xB1'", 0, TextEncoding::ShiftJis, 1},
        {"\xFD'", 0, TextEncoding::ShiftJis, 1},
        {"\x8F\xB0\xA1", 0, TextEncoding::EucJp, 3},
        {"\x8E\xB1", 0, TextEncoding::EucJp, 2},
        {"\xA4\xA2", 0, TextEncoding::EucJp, 2},
        {"\x8F\xB0", 0, TextEncoding::EucJp, 2},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(characterLength(c.text, c.pos, c.charset), c.length) << ::testing::PrintToString(c.text);
    }
}

TEST(CharacterLength, CodesetNames) {
    EXPECT_EQ(encodingOfCodeset("UTF-8"), TextEncoding::Utf8);
    EXPECT_EQ(encodingOfCodeset("utf8"), TextEncoding::Utf8);
    EXPECT_EQ(encodingOfCodeset("BIG5"), TextEncoding::DoubleByte);
    EXPECT_EQ(encodingOfCodeset("BIG5-HKSCS"), TextEncoding::DoubleByte);
    EXPECT_EQ(encodingOfCodeset("ANSI_X3.4-1968"), TextEncoding::SingleByte);
    EXPECT_EQ(encodingOfCodeset("ISO-8859-1"), TextEncoding::SingleByte);
}

// Every multi-byte character set glibc has a character map for, and the
// other names nl_langinfo may give them.
TEST(CharacterLength, EveryMultiByteCodesetOfTheSystemLibrary) {
    const struct {
        const char* codeset;
        TextEncoding encoding;
    } cases[] = {
        {"BIG5", TextEncoding::DoubleByte},      {"BIG5-HKSCS", TextEncoding::DoubleByte},
        {"CP950", TextEncoding::DoubleByte},     {"GBK", TextEncoding::DoubleByte},
        {"CP936", TextEncoding::DoubleByte},     {"GB18030", TextEncoding::DoubleByte},
        {"GB2312", TextEncoding::DoubleByte},    {"EUC-CN", TextEncoding::DoubleByte},
        {"EUC-KR", TextEncoding::DoubleByte},    {"CP949", TextEncoding::DoubleByte},
        {"UHC", TextEncoding::DoubleByte},       {"JOHAB", TextEncoding::DoubleByte},
        {"EUC-TW", TextEncoding::DoubleByte},    {"SHIFT_JIS", TextEncoding::ShiftJis},
        {"SJIS", TextEncoding::ShiftJis},        {"CP932", TextEncoding::ShiftJis},
        {"WINDOWS-31J", TextEncoding::ShiftJis}, {"SHIFT_JISX0213", TextEncoding::ShiftJis},
        {"EUC-JP", TextEncoding::EucJp},         {"EUC-JP-MS", TextEncoding::EucJp},
        {"EUC-JISX0213", TextEncoding::EucJp},   {"KOI8-R", TextEncoding::SingleByte},
        {"TIS-620", TextEncoding::SingleByte},   {"", TextEncoding::SingleByte},
    };
    for (const auto& c : cases) EXPECT_EQ(encodingOfCodeset(c.codeset), c.encoding) << c.codeset;
}

TEST(CharacterLength, FollowsTheLocaleOfTheProcess) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    struct {
        const char* locale;
        TextEncoding charset;
    } const cases[] = {{"zh_TW.BIG5", TextEncoding::DoubleByte},
                       {"en_US.UTF-8", TextEncoding::Utf8},
                       {"C", TextEncoding::SingleByte}};
    for (const auto& c : cases) {
        ASSERT_NE(std::setlocale(LC_CTYPE, c.locale), nullptr) << c.locale << " is not installed";
        EXPECT_EQ(systemTextEncoding(), c.charset) << c.locale;
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
    {"delete",
     "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID = :TEMPPRODID \r\n and PROVIDER_ID = :PROVIDER_ID \r\n", '"',
     "DELETE FROM STORY_IN \r\n WHERE TEMPPRODID =  ?  \r\n and PROVIDER_ID =  ?  \r\n"},
    {"insert", "insert into T(A,B)\r\n VALUES(:A,:B)\r\n", '"', "insert into T(A,B)\r\n VALUES( ? , ? )\r\n"},
    {"every preceding byte", "x=:a <:b >:c ,:d):e\r:f\n:g (:h)", '"',
     "x= ?  < ?  > ?  , ? ) ? \r ? \n ?  ( ? )"},
    {"other preceding bytes leave the colon", "a|:b +:c", '"', "a|:b +:c"},
    {"first byte is never a marker", ":a :b", '"', ":a  ? "},
    {"colon, less, equal, greater do not end a marker", "(:a:b<c=d>e)", '"', "( ? )"},
    {"apostrophe literal", "WHERE A = ' :no' AND B = :yes", '"', "WHERE A = ' :no' AND B =  ? "},
    {"quote char literal", "SELECT \" :no\" FROM T WHERE B = :yes", '"',
     "SELECT \" :no\" FROM T WHERE B =  ? "},
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
