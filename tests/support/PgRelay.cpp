#include "PgRelay.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zpp::test {

namespace {

// Lives on the relay's thread; every socket is made and used there.
class Relay : public QObject {
public:
    Relay(QString host, quint16 port) : m_host(std::move(host)), m_port(port) {}

    quint16 Listen() {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_server->nextPendingConnection())
                Pair(client);
        });
        return m_server->serverPort();
    }

    void DropAll() {
        for (const auto& p : m_pairs) {
            if (p.client)
                p.client->abort();
            if (p.upstream)
                p.upstream->abort();
        }
        m_pairs.clear();
    }

    void CutAfter(qint64 bytes) { m_cutAfter = bytes; }

    void StallAfter(qint64 bytes) {
        m_stallAfter = bytes;
        if (bytes == 0)
            Stall(true);
    }

    void Stall(bool stalled) {
        m_stalled = stalled;
        m_stallAfter = -1;
        if (stalled)
            return;
        // What arrived meanwhile goes on its way; readyRead does not come again for it.
        for (const auto& p : m_pairs) {
            if (p.client && p.upstream) {
                Up(p.client, p.upstream);
                Down(p.client, p.upstream);
            }
        }
    }

private:
    struct SocketPair {
        QPointer<QTcpSocket> client, upstream;
    };

    void Pair(QTcpSocket* client) {
        auto* upstream = new QTcpSocket(this);
        client->setParent(this);
        m_pairs.push_back({client, upstream});
        upstream->connectToHost(m_host, m_port);
        connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream] { Up(client, upstream); });
        connect(upstream, &QTcpSocket::connected, client, [this, client, upstream] { Up(client, upstream); });
        connect(upstream, &QTcpSocket::readyRead, client,
                [this, client, upstream] { Down(client, upstream); });
        auto close = [client, upstream] {
            client->disconnectFromHost();
            upstream->disconnectFromHost();
        };
        connect(client, &QTcpSocket::disconnected, upstream, close);
        connect(upstream, &QTcpSocket::disconnected, client, close);
    }

    void Up(QTcpSocket* client, QTcpSocket* upstream) {
        if (!m_stalled && upstream->state() == QAbstractSocket::ConnectedState)
            upstream->write(client->readAll());
    }

    void Down(QTcpSocket* client, QTcpSocket* upstream) {
        if (m_stalled)
            return;
        // Armed to stall, it takes no more than it may pass on; the rest waits in the socket.
        const QByteArray bytes = m_stallAfter >= 0 ? upstream->read(m_stallAfter) : upstream->readAll();
        if (m_cutAfter >= 0 && bytes.size() >= m_cutAfter) {
            client->write(bytes.left(m_cutAfter));
            client->flush();
            m_cutAfter = -1;
            client->abort();
            upstream->abort();
            return;
        }
        if (m_cutAfter >= 0)
            m_cutAfter -= bytes.size();
        if (m_stallAfter >= 0 && (m_stallAfter -= bytes.size()) == 0) {
            m_stalled = true;
            m_stallAfter = -1;
        }
        client->write(bytes);
    }

    QString m_host;
    quint16 m_port;
    bool m_stalled = false;
    qint64 m_stallAfter = -1;
    QTcpServer* m_server = nullptr;
    std::vector<SocketPair> m_pairs;
    qint64 m_cutAfter = -1;
};

} // namespace

// The relay runs an event loop on a std::thread, and every call from the test's thread goes
// through a queue under a std::mutex that the relay's thread polls: the thread sanitizer sees
// each hand-over, where Qt's queued calls and QThread::wait synchronise inside Qt, out of its
// sight.
struct PgRelay::Impl {
    using Call = std::function<void(Relay&, QEventLoop&)>;

    // Runs call on the relay's thread and returns once it has run.
    void Run(Call call) {
        std::unique_lock lock(mutex);
        calls.push_back(std::move(call));
        const quint64 ticket = ++queued;
        done.wait(lock, [&] { return ran >= ticket; });
    }

    // On the relay's thread.
    void RunQueued(Relay& relay, QEventLoop& loop) {
        std::unique_lock lock(mutex);
        while (!calls.empty()) {
            const Call call = std::move(calls.front());
            calls.pop_front();
            lock.unlock();
            call(relay, loop);
            lock.lock();
            ++ran;
            done.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable done;
    std::deque<Call> calls;
    quint64 queued = 0, ran = 0;
    quint16 port = 0;
    std::thread thread;
};

PgRelay::PgRelay(const QString& host, quint16 port) : d(std::make_unique<Impl>()) {
    d->thread = std::thread([impl = d.get(), host, port] {
        Relay relay(host, port);
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] { impl->RunQueued(relay, loop); });
        poll.start(2);
        loop.exec();
    });
    d->Run([this](Relay& relay, QEventLoop&) { d->port = relay.Listen(); });
}

PgRelay::~PgRelay() {
    d->Run([](Relay& relay, QEventLoop& loop) {
        relay.DropAll();
        loop.quit();
    });
    d->thread.join();
}

quint16 PgRelay::Port() const {
    return d->port;
}

QString PgRelay::Through(const QString& url) const {
    QUrl through(url);
    through.setHost(QStringLiteral("127.0.0.1"));
    through.setPort(d->port);
    return through.toString();
}

void PgRelay::DropAll() {
    d->Run([](Relay& relay, QEventLoop&) { relay.DropAll(); });
}

void PgRelay::Stall(bool stalled) {
    d->Run([stalled](Relay& relay, QEventLoop&) { relay.Stall(stalled); });
}

void PgRelay::StallAfterServerBytes(qint64 bytes) {
    d->Run([bytes](Relay& relay, QEventLoop&) { relay.StallAfter(bytes); });
}

void PgRelay::CutAfterServerBytes(qint64 bytes) {
    d->Run([bytes](Relay& relay, QEventLoop&) { relay.CutAfter(bytes); });
}

} // namespace zpp::test
