#pragma once

// What the files of Store share and its users need not see: a libpq connection of its own, the
// watchdog of a PostgreSQL connection, and the text of a driver's error.

#include "Store.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

class QSqlError;

namespace zpp::store {

// A libpq connection of its own to the server a store's URL names (a log-in check, a listener),
// giving up after five seconds. Keepalives make a connection that only waits for notices find out
// when the network under it is gone.
PGconn* ConnectLibpq(const QString& location, bool keepalives);

// Cuts a PostgreSQL connection whose server has stopped answering. Qt's driver waits for an
// answer without a limit of its own, so a call of the store's into it (Store::Call) that has
// waited past the limit with no data moving either way on the connection means the server, or
// the network to it, has stalled. The watch is on the store's own calls, not on libpq's state:
// a forward-only query leaves libpq busy until the query is gone, idle or not, and libpq is not
// to be read from a second thread. The cut (a shutdown of the socket, which touches no libpq
// state) ends the driver's wait with a lost connection; the next command opens it anew. It works
// on a duplicate of the socket, so the descriptor it shuts down is never one that libpq closed
// and the system gave out again; the connection is reported before it is closed.
class Store::Watchdog {
public:
    Watchdog() : m_thread([this] { Loop(); }) {}
    ~Watchdog();
    // The connection to watch; nullptr before it is closed. From the store's thread.
    void Watch(PGconn* conn);
    void SetLimit(int ms) { m_limitMs = ms; }
    // While paused (a long read the user can cancel) nothing is cut.
    void Pause(bool paused) { m_paused += paused ? 1 : -1; }
    // The store's thread went into the driver, or came back.
    void Enter() { m_callSince = NowMs(); }
    void Leave() { m_callSince = kNoCall; }
    // True once after the watchdog cut the connection.
    bool TakeCut() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_cut, false);
    }

private:
    static constexpr qint64 kNoCall = std::numeric_limits<qint64>::min();
    static qint64 NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<int> m_limitMs{65000}, m_paused{0};
    std::atomic<qint64> m_callSince{kNoCall};
    bool m_cut = false, m_stop = false;
    int m_socket = -1;
    std::thread m_thread;
};

// The driver's words for a failed statement, without the empty brackets of a missing code.
QString SqlErrorText(const QSqlError& e);

} // namespace zpp::store
