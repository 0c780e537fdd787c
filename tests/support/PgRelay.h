#pragma once

#include <QString>
#include <memory>

namespace zpp::test {

// A TCP relay on a loopback port between the program's connections and a database server, on a
// thread of its own (the program blocks in its driver while the relay forwards). It can drop
// every connection, cut the next one that the server answers after some bytes, or stall, so tests
// meet a connection that dies or hangs before, inside or after a command's statements.
class PgRelay {
public:
    PgRelay(const QString& host, quint16 port);
    ~PgRelay();
    PgRelay(const PgRelay&) = delete;
    PgRelay& operator=(const PgRelay&) = delete;

    quint16 Port() const;
    // The URL of the same database through the relay.
    QString Through(const QString& url) const;
    // Closes every connection now; new ones are relayed as before.
    void DropAll();
    // Lets the server send this many more bytes, then closes the connection that carried them.
    void CutAfterServerBytes(qint64 bytes);
    // Stops forwarding in both directions, on every connection, new ones included (a server or
    // network that hangs); false forwards again, what arrived meanwhile first.
    void Stall(bool stalled);
    // Lets the server send this many more bytes, then stalls.
    void StallAfterServerBytes(qint64 bytes);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zpp::test
