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
    // Claims `table` for a run on this attachment, replacing its earlier
    // claim, until claimTable("") or the detach: refused as a lock conflict,
    // with nothing left claimed, when the server shows another attachment
    // claiming it (claimHolder() then names that one). It reserves nothing
    // and begins no transaction that outlives the call, so no other program
    // refuses it. An empty name ends the claim.
    void claimTable(const std::string& table);
    // Who held the claim that the last refused claimTable met; empty when the
    // server showed nothing of it, or no claim was refused.
    const std::string& claimHolder() const { return m_claimHolder; }

private:
    // The explicit transaction in use, nullptr when none is.
    Transaction* activeExplicit();

    ClientRef m_client;
    ConnectionOptions m_options;
    ErrorSlot m_errors;
    Attachment m_attachment;
    Transaction m_prepare;
    Transaction m_retained;
    Transaction m_explicit;
    std::string m_claimHolder;
    // The attachment's handle as cancel() reads it from another thread; 0
    // while not attached.
    std::atomic<isc_db_handle> m_cancelTarget{0};
    bool m_lost = false;
    int m_silenceWatched = 0;
};

}  // namespace tarvel::fb
