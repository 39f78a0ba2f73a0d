// SQLConnection1: the program's one database connection. It finds its two
// settings files, loads its named entry and the driver library when it first
// opens, and stays open until it is destroyed. What the first opening read
// from the files holds for the connection's life: an opening after a lost
// connection (or a close) connects with the same settings and reads no file,
// so a run never continues against a database other than the one it began on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ParameterList.h"
#include "ParameterOverrides.h"
#include "SettingsStore.h"
#include "SqlDriver.h"

namespace tarvel {

// Something that holds driver objects made by the connection and must let
// them go before the connection closes (the queries).
class ConnectionClient {
public:
    virtual ~ConnectionClient() = default;
    // Closes the result and releases the driver statement.
    virtual void releaseDriverObjects() = 0;
};

class SqlConnection {
public:
    // name: the component name ("SQLConnection1"); the connection-file path is
    // resolved here and only here.
    explicit SqlConnection(std::string name);
    // The same, with the settings looked for where `location` says (tests).
    SqlConnection(std::string name, SettingsLocation location);
    ~SqlConnection();  // closes when open; never throws
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    const std::string& name() const;

    // Built-in settings; the opening replaces them from the two files.
    std::string connectionName = "Kestal";
    std::string driverName = "Firebird";
    std::string getDriverFunc = "GetFirebirdDriver";
    std::string libraryName = "libfbsqldrv.so";
    std::string vendorLib = "libfbclient.so.2";
    bool loadParamsOnConnect = true;
    bool loginPrompt = false;
    ParameterList params;  // the fourteen built-in lines at creation

    // False also once the attachment is lost or its transaction state unknown
    // (see noteFailedCall): the next opening then starts afresh.
    bool isOpen() const;
    // Opens when closed (the whole opening, every failure thrown as tarvel::Error).
    // A lost connection is let go first.
    void open();
    // Closes when open: releases the clients' driver objects, then disconnects.
    // A lost connection is let go without any failure being raised.
    void close();
    // After a driver call on this connection or its statements failed: asks the
    // driver whether the attachment is gone, and if so the connection counts as
    // closed from now on (no transaction active); the next use opens it again.
    void noteFailedCall();
    // Loads the named entry unless it is loaded, and puts the overrides over it.
    void loadParamsFromIniFile();
    // Values put over the named entry when it is loaded (the command line's
    // database, user and password); the loaded entry keeps them for the
    // connection's life, every reconnect included. Overrides set after the
    // entry was loaded are put over it at once. The window sets none.
    void setOverrides(ParameterOverrides overrides);

    // The driver connection a new statement runs on: this one, or the clone when
    // the statement limit is reached. isSelect: the statement starts with SELECT.
    sqldriver::ISQLConnection* connectionForStatement(bool isSelect);

    // Identifier quote character asked of the driver at opening (0: none).
    char quoteChar() const;
    // Composes the driver error text for a failed call (failed: the object to ask
    // for the server's message, may be null), stores it as the last error text
    // and returns it. fallback: the caller's own last error text, used before the
    // connection's when neither line exists.
    std::string driverErrorText(sqldriver::Status status, sqldriver::ISQLObject* failed,
                                const std::string* fallback = nullptr);
    // Throws tarvel::Error with driverErrorText(status, failed) unless status is 0.
    void check(sqldriver::Status status, sqldriver::ISQLObject* failed);
    const std::string& lastErrorText() const;

    void registerClient(ConnectionClient* client);
    void unregisterClient(ConnectionClient* client);

    // Explicit transaction on the driver connection (opens the connection first).
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // Seconds a TCP connection waits for a server that has gone silent (no
    // answer, not even to keep-alive probes) before it counts as lost; a
    // live server's slow statement or lock wait is never cut by it.
    static constexpr int kSilenceSeconds = 15;
    // From any thread, also while this thread waits in a call on the
    // connection: a request of sqldriver::cancelopt (Raise makes the running
    // call fail as cancelled). Never throws; nothing happens while closed.
    void cancel(std::int32_t request) noexcept;
    // Claims `table` for a run on this connection's attachment (driver option
    // ClaimTable; opens the connection first) until releaseClaim() or the
    // connection closes. Throws DatabaseError of kind LockConflict, without
    // waiting, when the server shows another attachment's claim on it;
    // nothing that other programs do to the table refuses it, and the
    // transactions are not touched.
    void claimTable(const std::string& table);
    // Who holds the claim that the last refused claimTable met, as the server
    // shows it ("tarvel-rebuild, process 4242 on host pos1"); empty when it
    // shows nothing of it. Never throws.
    std::string claimHolder() noexcept;
    // Ends the claim. When the driver cannot end it, the connection is
    // closed, since the claim ends with the attachment; the next use opens it
    // afresh. Never throws.
    void releaseClaim() noexcept;

    // Run-time state, for the queries and for tests.
    // Full path of the named-connection file as resolved at creation (empty
    // when the settings store could not give it).
    const std::string& connectionFilePath() const;
    // True once the named entry has been loaded into params (it stays loaded
    // when the connection closes).
    bool paramsLoaded() const;
    // Active statements the driver allows on one connection (0: no limit).
    std::int32_t statementLimit() const;
    // Isolation level handed to the driver at the last opening (0, 1 or 2).
    int isolationLevel() const;
    // What the driver reported at opening about transactions.
    bool supportsTransaction() const;
    bool supportsMultipleTransactions() const;
    // Connections made for statements when the statement limit was reached.
    std::size_t cloneCount() const;
    // Document lines a rebuild writes per server call, from the setting
    // LinesPerCall read at the last opening (db/LinesPerCall.h).
    std::size_t linesPerCall() const;

private:
    // Steps 3 to 12 of the opening: library, driver, options, connect, metadata.
    void connectDriver();
    // Hands the option table's parameters to the driver connection.
    void applyOptions();
    // After a failed opening: lets go of everything the opening obtained.
    void abandonOpening() noexcept;
    // Lets go of a lost connection: every step of closing, no failure raised.
    void discardLost() noexcept;

    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace tarvel
