// Measures what one purchase-history INSERT of the rebuild costs through the
// driver: a new statement, prepare, eight bound parameters, execute (which
// commits), release. Embedded and over the loopback server, with forced
// writes on and off.
//
//   insert_bench [iterations]      (server password from TARVEL_FB_PASSWORD)
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "SqlDriver.h"
#include "TestDatabase.h"

namespace {

using namespace sqldriver;

// The tables as the demo ships them, so the INSERT meets the same columns and
// the same index as in a real run.
std::string demoSchema() {
    std::ifstream file(TARVEL_DEMO_SCHEMA);
    if (!file) throw std::runtime_error("cannot read " TARVEL_DEMO_SCHEMA);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The INSERT as the rebuild hands it to the driver.
const char* const kInsert =
    "insert into STORY_IN(PROVIDER_ID,PROD_ID,STD_COST,CHG_DATE,TEMPPRODID,PROD_BARCODE,SALE_PRICE,U_DIS)\r\n"
    " VALUES( ? , ? , ? , ? , ? , ? , ? , ? )\r\n";

std::string message(ISQLObject* object) {
    std::uint16_t length = 0;
    object->getErrorMessageLen(&length);
    std::string text(length + 1u, '\0');
    object->getErrorMessage(text.data());
    text.resize(length);
    return text;
}

void check(Status status, ISQLObject* object, const char* what) {
    if (status != status::Ok)
        throw std::runtime_error(std::string(what) + " failed (" + std::to_string(status) +
                                 "): " + message(object));
}

Status bindText(ISQLCommand* command, std::uint16_t position, const std::string& text) {
    return command->setParameter(position, 0, direction::Input, kind::Text, 0,
                                 static_cast<std::int32_t>(text.size()), 0,
                                 static_cast<std::uint32_t>(text.size() + 1), text.c_str(), false);
}

Status bindDouble(ISQLCommand* command, std::uint16_t position, double value) {
    return command->setParameter(position, 0, direction::Input, kind::Double, 0, 8, 0, 8, &value, false);
}

SqlDriverEntry loadEntry() {
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder =
        length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string("./x");
    folder.erase(folder.rfind('/'));
    void* library = ::dlopen((folder + "/libfbsqldrv.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(std::string("cannot load the driver: ") + ::dlerror());
    auto entry = reinterpret_cast<SqlDriverEntry>(::dlsym(library, "GetFirebirdDriver"));
    if (!entry) throw std::runtime_error("the driver has no entry function");
    return entry;
}

// Microseconds per INSERT, over `iterations` of them.
double measure(ISQLDriver* driver, const std::string& database, int iterations) {
    ISQLConnection* connection = nullptr;
    check(driver->getSQLConnection(&connection), driver, "getSQLConnection");
    connection->setIntOption(connopt::SqlDialect, 3);
    connection->setIntOption(connopt::WaitOnLocks, 1);
    connection->setIntOption(connopt::CommitRetain, 0);
    const std::string password = tarvel::testing::testPassword();
    check(connection->connect(database.c_str(), "SYSDBA", password.c_str()), connection, "connect");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) {
        ISQLCommand* command = nullptr;
        check(connection->getSQLCommand(&command), connection, "getSQLCommand");
        command->setOption(cmdopt::RowsetSize, 20);
        check(command->prepare(kInsert, 8), command, "prepare");
        const std::string number = std::to_string(i);
        check(bindText(command, 1, "P" + std::to_string(i % 50)), connection, "bind");
        check(bindText(command, 2, "PROD" + number), connection, "bind");
        check(bindDouble(command, 3, 12.5 + i), connection, "bind");
        check(bindText(command, 4, "3/5/2004"), connection, "bind");
        check(bindText(command, 5, "T" + number), connection, "bind");
        check(bindText(command, 6, "4711" + number), connection, "bind");
        check(bindDouble(command, 7, 19.9), connection, "bind");
        check(bindDouble(command, 8, 0), connection, "bind");
        ISQLCursor* cursor = nullptr;
        check(command->execute(&cursor), command, "execute");
        command->close();
        command->release();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    connection->disconnect();
    connection->release();
    return std::chrono::duration<double, std::micro>(elapsed).count() / iterations;
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 500;
    try {
        SqlDriverEntry entry = loadEntry();
        ISQLDriver* driver = nullptr;
        if (entry("libfbclient.so.2", "", &driver) != status::Ok)
            throw std::runtime_error("the driver could not load libfbclient.so.2");
        tarvel::testing::TempDir dir;
        const bool server = tarvel::testing::serverAvailable();
        const std::string schema = demoSchema();
        std::printf("%d INSERTs each (new statement, prepare, bind 8, execute with commit, release)\n",
                    iterations);
        for (const bool forcedWrites : {true, false}) {
            const std::string path = dir.file(forcedWrites ? "sync.fdb" : "async.fdb");
            tarvel::testing::createDatabase(path, schema);
            if (forcedWrites && std::system(("gfix -user SYSDBA -write sync '" + path + "'").c_str()) != 0)
                throw std::runtime_error("gfix -write sync failed");
            const double embedded = measure(driver, path, iterations);
            std::printf("forced writes %-3s  embedded: %8.1f us/insert (%6.0f per second)\n",
                        forcedWrites ? "on" : "off", embedded, 1e6 / embedded);
            if (server) {
                const double tcp = measure(driver, tarvel::testing::serverDatabase(path), iterations);
                std::printf("forced writes %-3s  TCP:      %8.1f us/insert (%6.0f per second)\n",
                            forcedWrites ? "on" : "off", tcp, 1e6 / tcp);
            }
        }
        if (!server)
            std::printf("no server on %s: TCP not measured\n", tarvel::testing::serverDescription().c_str());
        driver->release();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "insert_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
