// The per-user settings store: where the two settings files are looked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "Error.h"
#include "SettingsFolder.h"
#include "SettingsStore.h"

using tarvel::Error;
using tarvel::SettingsLocation;
using tarvel::SettingsStore;
using tarvel::testing::SettingsFolder;

namespace {

struct StoreCase {
    const char* what;
    std::optional<std::string> storeText;  // nullopt: no store file
    std::string expected;                  // "<default>" for the default path
};

class StoreLookupTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreLookupTest, ResolvesDriverFile) {
    const StoreCase& c = GetParam();
    SettingsFolder folder;
    if (c.storeText) folder.write("store.ini", *c.storeText);
    SettingsStore store(folder.location());
    std::string expected = c.expected == "<default>" ? folder.path() + "/sqldrivers.ini" : c.expected;
    EXPECT_EQ(store.resolvePath("Driver Registry File", "sqldrivers.ini"), expected) << c.what;
}

const char* const kSection = "[Software\\Kestal\\SQLAccess]\n";

const StoreCase kStoreCases[] = {
    {"no store file", std::nullopt, "<default>"},
    {"no section", "[Software\\Other]\nDriver Registry File=/etc/x.ini\n", "<default>"},
    {"no value", std::string(kSection) + "Connection Registry File=/etc/c.ini\n", "<default>"},
    {"empty value", std::string(kSection) + "Driver Registry File=\n", "<default>"},
    {"plain text", std::string(kSection) + "Driver Registry File=/srv/kestal/drivers.ini\n",
     "/srv/kestal/drivers.ini"},
    {"value name and section case", "[software\\KESTAL\\sqlaccess]\ndriver registry file=/a.ini\n", "/a.ini"},
    {"quoted name and value",
     std::string(kSection) + "\"Driver Registry File\"=\"/a b/c\\\\d \\\"q\\\".ini\"\n",
     "/a b/c\\d \"q\".ini"},
    {"expandable text left unexpanded",
     std::string(kSection) + "Driver Registry File=str(2):\"$HOME/%USER%.ini\"\n", "$HOME/%USER%.ini"},
    {"UTF-16LE hex text",
     std::string(kSection) + "Driver Registry File=hex(2):2f,00,78,00,e9,00,00,00,41,00\n", "/x\xc3\xa9"},
    {"relative path kept as given", std::string(kSection) + "Driver Registry File=conf/d.ini\n",
     "conf/d.ini"},
    {"first of two values",
     std::string(kSection) + "Driver Registry File=/1.ini\nDriver Registry File=/2.ini\n", "/1.ini"},
    {"lines before the section ignored", "Driver Registry File=/x.ini\n" + std::string(kSection),
     "<default>"},
    // Byte lists continued over several lines, as exported settings are written.
    {"exported hex(2) continued on the next line",
     std::string(kSection) + "\"Driver Registry File\"=hex(2):2f,00,73,00,72,00,76,00,2f,00,\\\r\n"
                             "  64,00,2e,00,69,00,6e,00,69,00,00,00\r\n",
     "/srv/d.ini"},
    {"hex(1) continued over three lines",
     std::string(kSection) + "Driver Registry File=hex(1):2f,00,\\\n  61,00,\\\n\t62,00\nOther=1\n", "/ab"},
    {"the value after a continued one is its own",
     std::string(kSection) +
         "Connection Registry File=hex(2):2f,00,\\\n  63,00\nDriver Registry File=/d.ini\n",
     "/d.ini"},
    {"empty hex(2)", std::string(kSection) + "Driver Registry File=hex(2):\n", "<default>"},
    {"hex(2) with a dangling odd byte",
     std::string(kSection) + "Driver Registry File=hex(2):2f,00,61,00,62\n", "/a"},
    {"upper-case hex(2)", std::string(kSection) + "Driver Registry File=HEX(2):2F,00,41,00\n", "/A"},
    // Texts that only start like a typed value.
    {"text starting with hex(", std::string(kSection) + "Driver Registry File=hex(2) copy/d.ini\n",
     "hex(2) copy/d.ini"},
    {"text starting with str(", std::string(kSection) + "Driver Registry File=str(x)/d.ini\n",
     "str(x)/d.ini"},
    {"str of another type", std::string(kSection) + "Driver Registry File=str(7):\"x\"\n", "str(7):\"x\""},
    {"hex( head without bytes", std::string(kSection) + "Driver Registry File=hex(2):not/bytes\n",
     "hex(2):not/bytes"},
    {"single hex digit", std::string(kSection) + "Driver Registry File=hex(2):4\n", "hex(2):4"},
    {"three hex digits", std::string(kSection) + "Driver Registry File=hex:41,004\n", "hex:41,004"},
    {"empty byte", std::string(kSection) + "Driver Registry File=hex(2):41,,00\n", "hex(2):41,,00"},
    {"trailing comma", std::string(kSection) + "Driver Registry File=hex(2):41,00,\n", "hex(2):41,00,"},
    {"empty type number", std::string(kSection) + "Driver Registry File=hex():41\n", "hex():41"},
    {"dword of one digit", std::string(kSection) + "Driver Registry File=DWORD:1\n", "DWORD:1"},
    {"dword of nine digits", std::string(kSection) + "Driver Registry File=dword:0000002a0\n",
     "dword:0000002a0"},
    {"dword of non-hex digits", std::string(kSection) + "Driver Registry File=dword:0000002g\n",
     "dword:0000002g"},
    {"qword is no typed form here", std::string(kSection) + "Driver Registry File=qword:00\n", "qword:00"},
    {"backslash with nothing to continue it",
     std::string(kSection) + "Driver Registry File=hex(2):41,00,\\\n", "hex(2):41,00,\\"},
    {"continuation that is no byte list",
     std::string(kSection) + "Driver Registry File=hex(2):41,00,\\\nOther=42,00\n", "hex(2):41,00,\\"},
    {"plain text ending in a backslash is not continued",
     std::string(kSection) + "Driver Registry File=/srv/kestal\\\n  41,00\n", "/srv/kestal\\"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StoreLookupTest, ::testing::ValuesIn(kStoreCases));

TEST(SettingsStoreTest, TypedValuesAreNotText) {
    // "DWORD:1", "qword:00", "hex(2):4" and "str(7):..." are not whole typed
    // forms and read as text (StoreLookupTest).
    for (const char* value :
         {"dword:0000002a", "DWORD:FFFFFFFF", "hex:41,00", "hex:", "hex(b):2a,00,00,00,00,00,00,00",
          "hex(7):41,00,00,00", "hex(0):", "hex(4):2A,00,00,00", "hex:41,00,\\\n  42,00",
          "hex(7):41,00,\\\r\n  00,00,\\\r\n  00,00"}) {
        SettingsFolder folder;
        folder.writeStore(std::string("Driver Registry File=") + value + "\n");
        SettingsStore store(folder.location());
        try {
            store.resolvePath("Driver Registry File", "sqldrivers.ini");
            ADD_FAILURE() << value << " was taken as text";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Invalid data type for 'Driver Registry File'") << value;
        }
    }
}

TEST(SettingsStoreTest, UnreadableStoreGivesDefault) {
    SettingsFolder folder;
    ASSERT_TRUE(tarvel::testing::makeUnopenableFile(folder.file("store.ini")));
    SettingsStore store(folder.location());
    EXPECT_EQ(store.resolvePath("Connection Registry File", "sqlconnections.ini"),
              folder.path() + "/sqlconnections.ini");
}

TEST(SettingsStoreTest, ReadAfreshEachTime) {
    SettingsFolder folder;
    SettingsStore store(folder.location());
    folder.writeStore("Driver Registry File=/one.ini\n");
    EXPECT_EQ(store.resolvePath("Driver Registry File", "sqldrivers.ini"), "/one.ini");
    folder.writeStore("Driver Registry File=/two.ini\n");
    EXPECT_EQ(store.resolvePath("Driver Registry File", "sqldrivers.ini"), "/two.ini");
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SettingsLocationTest, StoreUnderConfigHome) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg/home");
        EXPECT_EQ(SettingsLocation::ofProgram().storeFile, "/cfg/home/kestal/settings.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(SettingsLocation::ofProgram().storeFile, "/home/someone/.config/kestal/settings.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
        ScopedEnv home("HOME", "/h");
        EXPECT_EQ(SettingsLocation::ofProgram().storeFile, "/h/.config/kestal/settings.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", nullptr);
        std::string store = SettingsLocation::ofProgram().storeFile;
        EXPECT_NE(store.find("/.config/kestal/settings.ini"), std::string::npos) << store;
        EXPECT_EQ(store.front(), '/') << store;
    }
}

TEST(SettingsLocationTest, ProgramFolderIsTheExecutablesFolder) {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    ASSERT_GT(n, 0);
    std::string exe(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(SettingsLocation::ofProgram().executableDir, exe.substr(0, exe.rfind('/')));
    if (const char* bin = std::getenv("TARVEL_TEST_BIN")) {
        char real[4096];
        ASSERT_NE(::realpath(bin, real), nullptr);
        EXPECT_EQ(SettingsLocation::ofProgram().executableDir, std::string(real));
    }
}

}  // namespace
