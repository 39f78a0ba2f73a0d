#include "FakeDriverFixture.h"

#include "FileText.h"

namespace tarvel::testing {

void FakeDriverFixture::SetUp() {
    fakedriver::reset();
    m_savedFormats = currentFormats();
    RegionalFormats formats;
    formats.shortDateFormat = "yyyy/m/d";
    formats.longTimeFormat = "hh:mm:ss";
    setCurrentFormats(formats);

    writeFile(m_dir.file("sqlconnections.ini"),
              "[Kestal]\nDriverName=Fake\nDatabase=/fake/pos.fdb\nUser_Name=SYSDBA\nPassword=pw\n");
    writeFile(m_dir.file("sqldrivers.ini"), "[Fake]\nLibraryName=" + binFolder() +
                                                "/libfakesqldrv.so\nVendorLib=libfbclient.so.2\n"
                                                "GetDriverFunc=GetFakeDriver\n");
    SettingsLocation location;
    location.executableDir = m_dir.path();
    location.storeFile = m_dir.file("no-store.ini");
    connection = std::make_unique<SqlConnection>("SQLConnection1", location);
    query1 = std::make_unique<SqlQuery>("SQLQuery1", *connection);
    query2 = std::make_unique<SqlQuery>("SQLQuery2", *connection);
}

void FakeDriverFixture::TearDown() {
    query2.reset();
    query1.reset();
    connection.reset();
    setCurrentFormats(m_savedFormats);
}

void FakeDriverFixture::openConnection() {
    connection->open();
    fakedriver::clearLog();
}

std::vector<std::string> FakeDriverFixture::statementLog() {
    std::vector<std::string> lines;
    for (const std::string& line : fakedriver::log()) {
        if (line.rfind("command.", 0) == 0 || line.rfind("cursor.", 0) == 0 ||
            line.rfind("connection.getSQLCommand", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace tarvel::testing
