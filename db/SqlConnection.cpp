#include "SqlConnection.h"

#include <algorithm>
#include <exception>
#include <mutex>

#include "DriverError.h"
#include "DriverLibrary.h"
#include "Error.h"
#include "LinesPerCall.h"
#include "SettingsFile.h"
#include "SettingsText.h"

namespace tarvel {

namespace {

// Driver objects are released through the driver, never deleted here.
struct Releaser {
    void operator()(sqldriver::ISQLObject* object) const noexcept {
        if (object) object->release();
    }
};
template <typename T>
using DriverPtr = std::unique_ptr<T, Releaser>;

enum class ConnectionState { Closed, Connecting, Open, Disconnecting };

std::vector<std::string> builtInParams() {
    return {
        "DriverName=Firebird",
        "Database=127.0.0.1:d:\\Kestal\\Data\\Data45\\POSDATA.GDB",
        "RoleName=RoleName",
        "User_Name=SYSDBA",
        "Password=quernmill",
        "ServerCharSet=",
        "SQLDialect=3",
        "BlobSize=-1",
        "CommitRetain=False",
        "WaitOnLocks=True",
        "ErrorResourceFile=",
        "LocaleCode=0000",
        "Firebird TransIsolation=ReadCommited",
        "Trim Char=False",
    };
}

// How the option table hands a parameter to the driver.
enum class OptionForm { Text, NonEmptyText, Boolean, Number, Isolation };

struct OptionRow {
    const char* parameter;  // nullptr: the driver's isolation parameter
    std::int32_t option;
    OptionForm form;
};

constexpr OptionRow kOptionTable[] = {
    {"HostName", sqldriver::connopt::HostName, OptionForm::Text},
    {"RoleName", sqldriver::connopt::RoleName, OptionForm::Text},
    {"WaitOnLocks", sqldriver::connopt::WaitOnLocks, OptionForm::Boolean},
    {"CommitRetain", sqldriver::connopt::CommitRetain, OptionForm::Boolean},
    {"AutoCommit", sqldriver::connopt::AutoCommit, OptionForm::Boolean},
    {"BlockingMode", sqldriver::connopt::BlockingMode, OptionForm::Boolean},
    {"ServerCharSet", sqldriver::connopt::ServerCharSet, OptionForm::NonEmptyText},
    {nullptr, sqldriver::connopt::TransIsolation, OptionForm::Isolation},
    {"SqlDialect", sqldriver::connopt::SqlDialect, OptionForm::Number},
    {"OS Authentication", sqldriver::connopt::OsAuthentication, OptionForm::Boolean},
    {"Server Port", sqldriver::connopt::ServerPort, OptionForm::Text},
    {"Multiple Transaction", sqldriver::connopt::MultipleTransaction, OptionForm::Boolean},
    {"Trim Char", sqldriver::connopt::TrimChar, OptionForm::Boolean},
    {"Custom String", sqldriver::connopt::CustomString, OptionForm::Text},
    {"Connection Timeout", sqldriver::connopt::ConnectionTimeout, OptionForm::Number},
    {"WireCrypt", sqldriver::connopt::WireCrypt, OptionForm::NonEmptyText},
};

std::int32_t wholeNumber(const std::string& value) {
    std::string text = trimmed(value);
    std::optional<std::int32_t> number = parseInt32(text);
    if (!number) throw Error("'" + text + "' is not a valid integer value");
    return *number;
}

std::int32_t isolationOf(const std::string& value) {
    std::string word = lowerCased(value);
    if (word == "repeatableread") return 1;
    if (word == "dirtyread") return 2;
    return 0;
}

}  // namespace

struct SqlConnection::State {
    std::string name;
    SettingsStore store;
    std::string connectionFilePath;
    bool paramsLoaded = false;
    // The driver's settings (its name, library, client library and entry
    // point) were read for an opening that succeeded: they are not read again.
    bool driverSettingsLoaded = false;
    ParameterOverrides overrides;
    ConnectionState state = ConnectionState::Closed;

    SqlDriverEntry entry = nullptr;
    // Declared in the order they are obtained, so that they are let go in reverse.
    DriverPtr<sqldriver::ISQLDriver> driver;
    DriverPtr<sqldriver::ISQLConnection> connection;
    DriverPtr<sqldriver::ISQLMetaData> metaData;
    bool connected = false;
    // The attachment is gone, or a refused rollback left its transaction in an
    // unknown state: the connection must be opened afresh before its next use.
    bool lost = false;

    std::string lastError;
    std::int32_t statementLimit = 0;
    std::int32_t activeStatements = 0;
    int transactions = 0;
    int isolationLevel = 0;
    bool supportsTransaction = false;
    bool supportsMultipleTransactions = false;
    char quoteChar = 0;
    std::size_t linesPerCall = kDefaultLinesPerCall;

    std::vector<ConnectionClient*> clients;
    std::vector<std::unique_ptr<SqlConnection>> clones;

    // The attached driver connection as cancel() reaches it from another
    // thread; cleared under the lock before the connection is let go.
    std::mutex cancelLock;
    sqldriver::ISQLConnection* cancelTarget = nullptr;
    void setCancelTarget(sqldriver::ISQLConnection* target) {
        std::lock_guard<std::mutex> hold(cancelLock);
        cancelTarget = target;
    }

    State(std::string n, SettingsLocation location) : name(std::move(n)), store(std::move(location)) {}
};

SqlConnection::SqlConnection(std::string name)
    : SqlConnection(std::move(name), SettingsLocation::ofProgram()) {}

SqlConnection::SqlConnection(std::string name, SettingsLocation location)
    : params(builtInParams()), m_state(std::make_unique<State>(std::move(name), std::move(location))) {
    // A store that cannot say where the file lies leaves the path empty; the
    // first opening then reports the file as not found.
    try {
        m_state->connectionFilePath =
            m_state->store.resolvePath(SettingsStore::kConnectionFileValue, "sqlconnections.ini");
    } catch (const Error&) {
        m_state->connectionFilePath.clear();
    }
}

SqlConnection::~SqlConnection() {
    try {
        close();
    } catch (...) {
        // Destruction cannot report anything; close() has let everything go.
    }
    // Clients may hold statements made on the clones; those go before the clones.
    if (!m_state->clones.empty()) {
        std::vector<ConnectionClient*> clients = m_state->clients;
        for (ConnectionClient* client : clients) {
            try {
                client->releaseDriverObjects();
            } catch (...) {
                // As above: nothing can be reported from here.
            }
        }
    }
    m_state->clones.clear();
}

const std::string& SqlConnection::name() const { return m_state->name; }
bool SqlConnection::isOpen() const { return m_state->state == ConnectionState::Open && !m_state->lost; }
char SqlConnection::quoteChar() const { return m_state->quoteChar; }
const std::string& SqlConnection::lastErrorText() const { return m_state->lastError; }
bool SqlConnection::inTransaction() const { return m_state->transactions > 0; }
const std::string& SqlConnection::connectionFilePath() const { return m_state->connectionFilePath; }
bool SqlConnection::paramsLoaded() const { return m_state->paramsLoaded; }
std::int32_t SqlConnection::statementLimit() const { return m_state->statementLimit; }
int SqlConnection::isolationLevel() const { return m_state->isolationLevel; }
bool SqlConnection::supportsTransaction() const { return m_state->supportsTransaction; }
bool SqlConnection::supportsMultipleTransactions() const { return m_state->supportsMultipleTransactions; }
std::size_t SqlConnection::cloneCount() const { return m_state->clones.size(); }
std::size_t SqlConnection::linesPerCall() const { return m_state->linesPerCall; }

void SqlConnection::loadParamsFromIniFile() {
    if (m_state->paramsLoaded) return;
    if (connectionName.empty()) throw Error("Connection name missing");
    const std::string& path = m_state->connectionFilePath;
    if (!SettingsFile::exists(path)) throw Error("Driver/Connection Registry File '" + path + "' not found");
    params.setLines(SettingsFile::read(path).section(connectionName).lines());
    m_state->overrides.applyTo(params);
    m_state->paramsLoaded = true;
}

void SqlConnection::setOverrides(ParameterOverrides overrides) {
    m_state->overrides = std::move(overrides);
    if (m_state->paramsLoaded) m_state->overrides.applyTo(params);
}

void SqlConnection::open() {
    if (isOpen()) return;
    if (m_state->state == ConnectionState::Open) discardLost();
    State& s = *m_state;

    if (loadParamsOnConnect && !s.driverSettingsLoaded) {
        loadParamsFromIniFile();
        driverName = SettingsFile::read(s.connectionFilePath).section(connectionName).value("DriverName");
        if (driverName.empty()) throw Error("Missing DriverName property");
        // The store and the driver settings file are read afresh for each setting.
        auto driverSetting = [&](const char* key) {
            std::string path = s.store.resolvePath(SettingsStore::kDriverFileValue, "sqldrivers.ini");
            return SettingsFile::read(path).section(driverName).value(key);
        };
        libraryName = driverSetting("LibraryName");
        if (libraryName.empty()) throw Error(s.name + ": DLL/Shared Library Name not Set");
        vendorLib = trimmed(driverSetting("VendorLib"));
        if (vendorLib.empty()) throw Error(s.name + ": DLL/Shared Library Name not Set");
        getDriverFunc = driverSetting("GetDriverFunc");
    } else {
        if (driverName.empty()) throw Error("Missing DriverName property");
        if (libraryName.empty() || vendorLib.empty())
            throw Error(s.name + ": DLL/Shared Library Name not Set");
    }
    if (!params.given("Database")) {
        throw Error(connectionName.empty() ? "Connection name missing" : "Missing Database property");
    }
    s.linesPerCall = linesPerCallOf(s.name, params.value(kLinesPerCallKey));

    s.state = ConnectionState::Connecting;
    try {
        connectDriver();
    } catch (...) {
        abandonOpening();
        throw;
    }
    s.state = ConnectionState::Open;
    // Until an opening succeeds, a retry takes a corrected driver file.
    s.driverSettingsLoaded = loadParamsOnConnect;
}

void SqlConnection::noteFailedCall() {
    State& s = *m_state;
    if (s.state != ConnectionState::Open || s.lost || !s.connection) return;
    std::int32_t answer = 0;
    std::int32_t length = 0;
    // A driver that cannot tell is taken to keep its attachment.
    if (s.connection->getOption(sqldriver::connopt::ConnectionLost, &answer, sizeof answer, &length) ==
            sqldriver::status::Ok &&
        answer != 0) {
        s.lost = true;
        s.transactions = 0;
    }
}

void SqlConnection::discardLost() noexcept {
    m_state->lost = false;
    try {
        close();
    } catch (...) {
        // What the driver says about a dead attachment changes nothing: every
        // step of closing has run, and the state is closed.
    }
}

void SqlConnection::connectDriver() {
    State& s = *m_state;
    s.quoteChar = 0;
    s.statementLimit = 0;
    s.activeStatements = 0;
    s.isolationLevel = 0;
    s.supportsTransaction = false;
    s.supportsMultipleTransactions = false;

    DriverLibrary library = DriverLibrary::load(libraryName, getDriverFunc);
    s.entry = library.entry();

    sqldriver::ISQLDriver* driver = nullptr;
    std::string errorResourceFile = trimmed(params.value("ErrorResourceFile"));
    sqldriver::Status status = s.entry(vendorLib.c_str(), errorResourceFile.c_str(), &driver);
    s.driver.reset(driver);
    if (status != sqldriver::status::Ok || !driver) throw Error("Unable to Load " + vendorLib);

    sqldriver::ISQLConnection* connection = nullptr;
    status = s.driver->getSQLConnection(&connection);
    s.connection.reset(connection);
    check(status, nullptr);  // no connection object to ask for a message
    if (!connection) check(sqldriver::status::InvalidHandle, nullptr);

    // The login list: the credentials under the names the driver expects.
    std::string database = trimmed(params.value("Database"));
    std::string userName = params.value("User_Name");
    std::string password = params.value("Password");

    applyOptions();

    status = s.connection->connect(database.c_str(), userName.c_str(), password.c_str());
    check(status, s.connection.get());
    s.connected = true;
    s.setCancelTarget(s.connection.get());

    std::int32_t limit = 0;
    std::int32_t length = 0;
    // Status ignored: a driver that does not answer leaves the limit at 0, no limit.
    s.connection->getOption(sqldriver::connopt::MaxStatements, &limit, sizeof limit, &length);
    s.statementLimit = limit;

    sqldriver::ISQLMetaData* metaData = nullptr;
    status = s.connection->getSQLMetaData(&metaData);
    s.metaData.reset(metaData);
    check(status, s.connection.get());
    if (!metaData) check(sqldriver::status::InvalidHandle, s.connection.get());

    std::string schema = trimmed(userName);
    // Status ignored: the schema name only narrows the driver's catalogue
    // lookups, which this program never makes.
    if (!schema.empty()) s.metaData->setOption(sqldriver::metaopt::SchemaName, schema.c_str());

    char quote = 0;
    if (s.metaData->getOption(sqldriver::metaopt::QuoteChar, &quote, 1, &length) == sqldriver::status::Ok &&
        quote != 0) {
        s.quoteChar = quote;
    }
    std::int32_t blobSize = params.given("BlobSize") ? wholeNumber(params.value("BlobSize")) : -1;
    // Status ignored: the blob size only bounds blob reads, and a driver that
    // refuses it reads with its own bound.
    s.connection->setIntOption(sqldriver::connopt::BlobSize, blobSize);

    std::int32_t answer = 0;
    s.supportsTransaction = s.metaData->getOption(sqldriver::metaopt::SupportsTransaction, &answer,
                                                  sizeof answer, &length) == sqldriver::status::Ok &&
                            answer != 0;
    answer = 0;
    s.supportsMultipleTransactions = s.metaData->getOption(sqldriver::metaopt::SupportsTransactions, &answer,
                                                           sizeof answer, &length) == sqldriver::status::Ok &&
                                     answer != 0;
}

void SqlConnection::applyOptions() {
    State& s = *m_state;
    sqldriver::ISQLConnection* c = s.connection.get();
    // Statuses ignored: an option the driver refuses leaves its own default in
    // force, and the connect that follows reports whatever keeps it from working.
    for (const OptionRow& row : kOptionTable) {
        std::string name = row.parameter ? std::string(row.parameter) : driverName + " TransIsolation";
        std::string value = params.value(name);
        if (value.empty()) continue;
        switch (row.form) {
            case OptionForm::Text:
                c->setTextOption(row.option, trimmed(value).c_str());
                break;
            case OptionForm::NonEmptyText:
                if (!trimmed(value).empty()) c->setTextOption(row.option, trimmed(value).c_str());
                break;
            case OptionForm::Boolean:
                c->setIntOption(row.option, equalsIgnoringCase(trimmed(value), "TRUE") ? 1 : 0);
                break;
            case OptionForm::Number:
                c->setIntOption(row.option, wholeNumber(value));
                break;
            case OptionForm::Isolation:
                s.isolationLevel = isolationOf(value);
                c->setIntOption(row.option, s.isolationLevel);
                break;
        }
    }
    // Status ignored: a driver without it waits for a silent server as long
    // as the system lets it.
    c->setIntOption(sqldriver::connopt::SilenceTimeout, kSilenceSeconds);
}

void SqlConnection::abandonOpening() noexcept {
    State& s = *m_state;
    s.metaData.reset();
    s.setCancelTarget(nullptr);
    // An attachment that was made must not outlive the failed opening. Status
    // ignored: the failure that ended the opening is the one to report.
    if (s.connected && s.connection) s.connection->disconnect();
    s.connected = false;
    s.connection.reset();
    s.entry = nullptr;
    s.driver.reset();
    s.state = ConnectionState::Closed;
}

void SqlConnection::close() {
    State& s = *m_state;
    if (s.state != ConnectionState::Open) return;
    if (s.lost) {
        discardLost();
        return;
    }
    s.state = ConnectionState::Disconnecting;

    // Every step runs even when one fails; the first failure is raised at the end.
    std::exception_ptr failure;
    std::vector<ConnectionClient*> clients = s.clients;
    for (ConnectionClient* client : clients) {
        try {
            client->releaseDriverObjects();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    for (std::int32_t option : {sqldriver::connopt::NativeHandle, sqldriver::connopt::ServerVersionHint}) {
        sqldriver::Status status = s.connection->setIntOption(option, 0);
        if (status != sqldriver::status::Ok && !failure) {
            failure = std::make_exception_ptr(Error(driverErrorText(status, s.connection.get())));
        }
    }
    s.metaData.reset();
    s.setCancelTarget(nullptr);
    // Status ignored: the connection object is let go next whatever it reports.
    s.connection->disconnect();
    s.connected = false;
    s.transactions = 0;
    s.connection.reset();
    s.entry = nullptr;
    s.driver.reset();
    s.state = ConnectionState::Closed;
    if (failure) std::rethrow_exception(failure);
}

sqldriver::ISQLConnection* SqlConnection::connectionForStatement(bool isSelect) {
    State& s = *m_state;
    // The statement limit is known only once this connection is open.
    if (!isOpen()) open();
    if (isSelect) ++s.activeStatements;
    SqlConnection* chosen = this;
    if (s.statementLimit != 0 && s.activeStatements >= s.statementLimit && s.transactions == 0) {
        auto clone = std::make_unique<SqlConnection>(s.name + "Clone1", s.store.location());
        clone->driverName = driverName;
        clone->connectionName = connectionName;
        clone->libraryName = libraryName;
        clone->vendorLib = vendorLib;
        clone->getDriverFunc = getDriverFunc;
        clone->params = params;
        clone->loadParamsOnConnect = false;
        clone->loginPrompt = false;
        s.activeStatements = 0;
        // A clone whose opening fails is not kept: it could serve nothing.
        clone->open();
        chosen = clone.get();
        s.clones.push_back(std::move(clone));
    }
    s.activeStatements = 0;
    if (chosen->loadParamsOnConnect) chosen->loadParamsFromIniFile();
    return chosen->m_state->connection.get();
}

std::string SqlConnection::driverErrorText(sqldriver::Status status, sqldriver::ISQLObject* failed,
                                           const std::string* fallback) {
    return recordDriverError(m_state->lastError, status, failed, fallback ? *fallback : std::string(),
                             m_state->lastError);
}

void SqlConnection::check(sqldriver::Status status, sqldriver::ISQLObject* failed) {
    checkDriverCall(m_state->lastError, status, failed, std::string(), m_state->lastError,
                    [this] { noteFailedCall(); });
}

void SqlConnection::registerClient(ConnectionClient* client) {
    if (client &&
        std::find(m_state->clients.begin(), m_state->clients.end(), client) == m_state->clients.end()) {
        m_state->clients.push_back(client);
    }
}

void SqlConnection::unregisterClient(ConnectionClient* client) {
    auto& clients = m_state->clients;
    clients.erase(std::remove(clients.begin(), clients.end(), client), clients.end());
}

void SqlConnection::beginTransaction() {
    open();
    check(m_state->connection->beginTransaction(), m_state->connection.get());
    ++m_state->transactions;
}

void SqlConnection::commit() {
    if (!isOpen() || m_state->transactions == 0) throw Error(m_state->name + ": No transaction is active");
    check(m_state->connection->commit(), m_state->connection.get());
    --m_state->transactions;
}

void SqlConnection::rollback() {
    // Rolling back is what cleanup paths do after a failure; with nothing
    // begun there is nothing to undo.
    if (!isOpen() || m_state->transactions == 0) return;
    const sqldriver::Status status = m_state->connection->rollback();
    if (status != sqldriver::status::Ok) {
        std::string text = driverErrorText(status, m_state->connection.get());
        // The transaction may still hang on the attachment, and the driver
        // would refuse the next one: the connection is opened afresh at its
        // next use instead, which ends whatever was left.
        m_state->lost = true;
        m_state->transactions = 0;
        throw Error(text);
    }
    --m_state->transactions;
}

void SqlConnection::cancel(std::int32_t request) noexcept {
    std::lock_guard<std::mutex> hold(m_state->cancelLock);
    // Status ignored: a cancel that finds nothing running changes nothing.
    if (m_state->cancelTarget) m_state->cancelTarget->cancel(request);
}

void SqlConnection::claimTable(const std::string& table) {
    open();
    check(m_state->connection->setTextOption(sqldriver::connopt::ClaimTable, table.c_str()),
          m_state->connection.get());
}

std::string SqlConnection::claimHolder() noexcept {
    if (!isOpen()) return {};
    // Room for the longest names the server keeps (255 characters each).
    char holder[4096] = {};
    std::int32_t length = 0;
    if (m_state->connection->getOption(sqldriver::connopt::ClaimHolder, holder, sizeof holder, &length) !=
        sqldriver::status::Ok)
        return {};
    return std::string(holder,
                       static_cast<std::size_t>(std::clamp<std::int32_t>(length, 0, sizeof holder - 1)));
}

void SqlConnection::releaseClaim() noexcept {
    if (!isOpen()) return;
    if (m_state->connection->setTextOption(sqldriver::connopt::ClaimTable, "") == sqldriver::status::Ok)
        return;
    // The mark may still be on the attachment, and would refuse every other
    // run for as long as this connection stays open (an idle window for
    // hours): the attachment is ended instead, which ends the claim with it.
    discardLost();
}

}  // namespace tarvel
