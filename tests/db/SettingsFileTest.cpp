// The settings-file reader and the small text rules under it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Error.h"
#include "ParameterList.h"
#include "SettingsFile.h"
#include "SettingsFolder.h"
#include "SettingsText.h"

using tarvel::Error;
using tarvel::ParameterList;
using tarvel::SettingsFile;
using tarvel::testing::SettingsFolder;

namespace {

struct ParseCase {
    const char* what;
    std::string text;
    const char* section;
    std::vector<std::string> lines;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, SectionLines) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(SettingsFile::parse(c.text).section(c.section).lines(), c.lines) << c.what;
}

const ParseCase kParseCases[] = {
    {"CR LF line ends", "[Kestal]\r\nA=1\r\nB=2\r\n", "Kestal", {"A=1", "B=2"}},
    {"lone LF", "[Kestal]\nA=1\nB=2", "Kestal", {"A=1", "B=2"}},
    {"lone CR", "[Kestal]\rA=1\rB=2\r", "Kestal", {"A=1", "B=2"}},
    {"mixed ends, LF CR is two ends", "[Kestal]\n\rA=1\r\n\r\nB=2", "Kestal", {"A=1", "B=2"}},
    {"name and value trimmed and joined",
     "[Kestal]\n  user_name \t=  SYSDBA  \n",
     "Kestal",
     {"user_name=SYSDBA"}},
    {"value split at the first equals", "[Kestal]\nPassword = a = b\n", "Kestal", {"Password=a = b"}},
    {"line without equals kept trimmed", "[Kestal]\n   just words  \n", "Kestal", {"just words"}},
    {"comments and empty lines skipped",
     "[Kestal]\n; a comment\n\n   \n  ;indented comment\nA=1\n",
     "Kestal",
     {"A=1"}},
    {"a semicolon inside a value stays", "[Kestal]\nA=x;y\n", "Kestal", {"A=x;y"}},
    {"lines before the first section ignored", "A=0\nloose\n[Kestal]\nA=1\n", "Kestal", {"A=1"}},
    {"section found without regard to case", "[KESTAL]\nA=1\n", "kestal", {"A=1"}},
    {"section name trimmed inside brackets", "[ kestal ]\nA=1\n", "Kestal", {"A=1"}},
    {"last of duplicate sections wins",
     "[Kestal]\nA=1\nB=1\n[Other]\nC=3\n[kestal]\nA=2\n",
     "Kestal",
     {"A=2"}},
    {"missing section gives no lines", "[Other]\nA=1\n", "Kestal", {}},
    {"byte-order mark hides the first header", "\xEF\xBB\xBF[Kestal]\nA=1\n[Next]\nB=2\n", "Kestal", {}},
    {"NUL ends the text", std::string("[Kestal]\nA=1\0\nB=2\n", 18), "Kestal", {"A=1"}},
    {"NUL inside a line cuts it",
     std::string("[Kestal]\nA=12\0"
                 "3\n",
                 16),
     "Kestal",
     {"A=12"}},
    {"control characters trimmed", "[Kestal]\n\x01\tA=1\x1f\n", "Kestal", {"A=1"}},
    {"bytes above 0x7f kept as they are",
     "[Kestal]\nName=\xe9\x80\xb2\xa4\x40\n",
     "Kestal",
     {"Name=\xe9\x80\xb2\xa4\x40"}},
    {"a lone opening bracket is a plain line", "[Kestal]\n[\nA]\n", "Kestal", {"[", "A]"}},
    {"empty brackets open a nameless section", "[Kestal]\nA=1\n[]\nB=2\n", "", {"B=2"}},
    {"header with text after the bracket is no header", "[Kestal] x\nA=1\n", "Kestal", {}},
    {"empty text", "", "Kestal", {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParseTest, ::testing::ValuesIn(kParseCases));

TEST(SettingsFileTest, DuplicateNamesFirstWinsInLookup) {
    ParameterList section =
        SettingsFile::parse("[Kestal]\nPassword=first\nPASSWORD=second\n").section("Kestal");
    EXPECT_EQ(section.value("password"), "first");
    EXPECT_EQ(section.lines().size(), 2u);
}

TEST(SettingsFileTest, ByteOrderMarkLeavesLaterSectionsReadable) {
    SettingsFile file = SettingsFile::parse("\xEF\xBB\xBF[Kestal]\nA=1\n[Next]\nB=2\n");
    EXPECT_FALSE(file.hasSection("Kestal"));
    EXPECT_EQ(file.section("Next").value("B"), "2");
}

TEST(SettingsFileTest, ReadsRealFilesAsBytes) {
    SettingsFolder folder;
    std::string path = folder.write("a.ini", "[Kestal]\r\nDatabase = /x/\xa4\xa4.fdb\r\n");
    EXPECT_EQ(SettingsFile::read(path).section("Kestal").value("Database"), "/x/\xa4\xa4.fdb");
}

TEST(SettingsFileTest, MissingFileAndFolderReadAsEmpty) {
    SettingsFolder folder;
    EXPECT_TRUE(SettingsFile::read(folder.file("none.ini")).sections().empty());
    EXPECT_FALSE(SettingsFile::exists(folder.file("none.ini")));
    EXPECT_TRUE(SettingsFile::read(folder.path()).sections().empty());
    EXPECT_FALSE(SettingsFile::exists(folder.path()));
    EXPECT_FALSE(SettingsFile::exists(""));
}

TEST(SettingsFileTest, FileThatCannotBeOpenedGivesReason) {
    SettingsFolder folder;
    std::string path = folder.file("socket.ini");
    ASSERT_TRUE(tarvel::testing::makeUnopenableFile(path));
    EXPECT_TRUE(SettingsFile::exists(path));
    try {
        SettingsFile::read(path);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), ("Cannot open file \"" + path + "\". No such device or address").c_str());
    }
}

TEST(SettingsFileTest, PermissionDeniedWhenNotRoot) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
    SettingsFolder folder;
    std::string path = folder.write("locked.ini", "[Kestal]\nA=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    try {
        SettingsFile::read(path);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), ("Cannot open file \"" + path + "\". Permission denied").c_str());
    }
}

TEST(SettingsFileTest, EndlessDeviceStopsAtItsFirstNul) {
    EXPECT_TRUE(SettingsFile::read("/dev/zero").sections().empty());
}

struct LookupCase {
    std::vector<std::string> lines;
    const char* name;
    const char* value;
};

TEST(ParameterListTest, LookupRules) {
    const LookupCase cases[] = {
        {{"User_Name=SYSDBA"}, "USER_NAME", "SYSDBA"},
        {{"a=1", "A=2"}, "a", "1"},
        {{"noequals", "x=1"}, "noequals", ""},
        {{"Password=a=b"}, "Password", "a=b"},
        {{"Key= spaced "}, "Key", " spaced "},
        {{"Key =1"}, "Key", ""},
        {{"SQLDialect=3"}, "SqlDialect", "3"},
        {{"Empty=", "Empty=later"}, "Empty", ""},
        {{}, "Database", ""},
        {{"=nameless"}, "", "nameless"},
    };
    for (const LookupCase& c : cases) {
        ParameterList list(c.lines);
        EXPECT_EQ(list.value(c.name), c.value) << c.name;
        EXPECT_EQ(list.given(c.name), std::string(c.value) != "") << c.name;
    }
}

TEST(SettingsTextTest, TrimAndCase) {
    EXPECT_EQ(tarvel::trimmed(" \t\r\n\x01x y\x7f\x1f "), "x y\x7f");
    EXPECT_EQ(tarvel::trimmed("   "), "");
    EXPECT_EQ(tarvel::trimmed("\xa0x\xa0"), "\xa0x\xa0");
    EXPECT_TRUE(tarvel::equalsIgnoringCase("Trim Char", "TRIM char"));
    EXPECT_FALSE(tarvel::equalsIgnoringCase("Trim Char", "Trim Chars"));
    EXPECT_FALSE(tarvel::equalsIgnoringCase("\xc3\xa9", "\xc3\x89"));
    EXPECT_EQ(tarvel::lowerCased("DirtyRead\xc3\x89"), "dirtyread\xc3\x89");
}

TEST(SettingsTextTest, WholeNumbers) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"3", 3},
        {"-1", -1},
        {"+7", 7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"three", std::nullopt},
        {"1.5", std::nullopt},
        {"0x10", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(tarvel::parseInt32(c.text), c.value) << c.text;
}

}  // namespace
