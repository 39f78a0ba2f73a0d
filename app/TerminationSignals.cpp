#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace tarvel {

namespace {

TerminationSignals* current = nullptr;
std::function<void()> onTaken;

}  // namespace

TerminationSignals::TerminationSignals(StopSignals& stops, QObject* parent)
    : QObject(parent), m_stops(stops) {
    m_stops.block();
    m_notifier = new QSocketNotifier(m_stops.descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
    current = this;
}

TerminationSignals::~TerminationSignals() {
    if (current == this) current = nullptr;
    delete m_notifier;
    m_stops.discardPending();
}

int TerminationSignals::received() { return current ? current->takeAndRemember(false) : 0; }

int TerminationSignals::receivedNow() { return current ? current->takeAndRemember(true) : 0; }

int TerminationSignals::pendingNow() {
    // current is set before the first run and cleared after the last.
    const TerminationSignals* watching = current;
    return watching ? watching->m_stops.pendingNow() : 0;
}

void TerminationSignals::whenTaken(std::function<void()> taken) { onTaken = std::move(taken); }

int TerminationSignals::takeAndRemember(bool now) {
    if (m_received == 0) {
        m_received = now ? m_stops.takePending() : m_stops.pollPending();
        // Ends every event loop that runs, a modal box's included. A run in
        // progress has asked received() and ends first, as it returns to the loop.
        if (m_received != 0) {
            if (onTaken) onTaken();
            QCoreApplication::exit(StopSignals::exitCodeFor(m_received));
        }
    }
    return m_received;
}

void TerminationSignals::onReadable() {
    takeAndRemember(true);
    // A second signal after the first changes nothing: the loop is ending.
    m_stops.discardPending();
}

}  // namespace tarvel
