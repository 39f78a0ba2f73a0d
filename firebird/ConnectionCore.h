// The state one connection shares with the statements and cursors it made:
// the attachment, the options and the transaction rules. Statements keep it
// alive, so releasing objects in any order never leaves a dangling handle.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "ConnectionOptions.h"
#include "ErrorSlot.h"
#include "Handles.h"

namespace tarvel::fb {

class ConnectionCore {
public:
    explicit ConnectionCore(ClientRef client) : m_client(std::move(client)) { noteSilenceIn(m_errors); }
    // Has `slot` add silenceNote() to the failures it records; the slot must
    // not outlive this connection.
    void noteSilenceIn(ErrorSlot& slot) const {
        slot.noteFailuresWith(
            [this](const sqldriver::ErrorCodes& codes, std::chrono::steady_clock::duration waited) {
                return silenceNote(codes, waited);
            });
    }

    const ClientLibrary& client() const { return *m_client; }
    const ClientRef& clientRef() const { return m_client; }
    ConnectionOptions& options() { return m_options; }
    ErrorSlot& errors() { return m_errors; }

    void connect(const std::string& database, const std::string& userName, const std::string& password);
    // Ends every transaction the connection holds (the explicit one rolled
    // back), then detaches.
    void disconnect();
    bool isConnected() const { return m_attachment.isOpen(); }
    // True once the attachment is known to be gone. Asked after a failed call,
    // so it asks the server only while the attachment still looks alive.
    bool isLost();
    // The attachment; throws InvalidHandle when not connected.
    isc_db_handle* database();

    // A read-only read-committed transaction kept for preparing statements and
    // reading the system tables.
    isc_tr_handle* prepareTransaction();
    // A new transaction for a statement that returns rows, owned by its cursor.
    Transaction startCursorTransaction();

    // Runs `execute` (given the transaction handle) for a statement that returns
    // no rows, under the rules: in the explicit transaction when one is active
    // (or when auto commit is off, which begins one), else in a transaction that
    // is committed (or commit-retained) as soon as `execute` has returned.
    template <typename Execute>
    void runWriting(Execute&& execute) {
        if (!activeExplicit() && !m_options.autoCommit) beginTransaction();
        if (Transaction* current = activeExplicit()) {
            execute(current->handle());
        } else if (m_claim.isActive()) {
            // A statement of its own while the claim is held runs in it.
            execute(m_claim.handle());
            m_claim.commitRetaining();
        } else if (m_options.commitRetain) {
            if (!m_retained.isActive())
                m_retained = Transaction(m_client, database(), transactionParameters(m_options, false));
            execute(m_retained.handle());
            m_retained.commitRetaining();
        } else {
            Transaction own(m_client, database(), transactionParameters(m_options, false));
            execute(own.handle());
            own.commit();
        }
    }

    void beginTransaction();
    void commit();
    void rollback();

    // A request of sqldriver::cancelopt for the call running on the
    // attachment; safe from any thread. Not attached: nothing to do.
    void cancel(std::int32_t request);
    // The TCP sockets of the attachment given the silence time-out at
    // connecting; 0 when embedded or none was asked for.
    int silenceWatched() const { return m_silenceWatched; }
    // The line a failure's text gets when it is the silence time-out's doing:
    // a network read or write error after a call that waited as long as the
    // keep-alive probes take to find a silent server, on an attachment whose
    // sockets have them. Empty otherwise.
    std::string silenceNote(const sqldriver::ErrorCodes& codes,
                            std::chrono::steady_clock::duration waited) const;
    // Claims `table`: once a reservation for protected write, without
    // waiting, has shown that no other attachment claims or writes the
    // table, starts a transaction that reserves it for shared write and holds
    // it until reserveTable("") or the detach. While the claim is held the
    // explicit transactions are that one: a begin takes it up, a commit or a
    // rollback keeps it (retaining). Others can still read and write the
    // table, but no other claim passes. An empty name ends the claim.
    void reserveTable(const std::string& table);

private:
    // The explicit transaction in use, nullptr when none is.
    Transaction* activeExplicit();
    // Ends every transaction and forgets the attachment's handle for cancel().
    void dropTransactions() noexcept;

    ClientRef m_client;
    ConnectionOptions m_options;
    ErrorSlot m_errors;
    Attachment m_attachment;
    Transaction m_prepare;
    Transaction m_retained;
    Transaction m_explicit;
    Transaction m_claim;
    bool m_claimInUse = false;  // begun as the explicit transaction
    // The attachment's handle as cancel() reads it from another thread; 0
    // while not attached.
    std::atomic<isc_db_handle> m_cancelTarget{0};
    bool m_lost = false;
    int m_silenceWatched = 0;
};

}  // namespace tarvel::fb
