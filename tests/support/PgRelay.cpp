#include "PgRelay.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>
#include <atomic>
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

struct PgRelay::Impl {
    QThread thread;
    Relay* relay = nullptr;
    quint16 port = 0;
};

PgRelay::PgRelay(const QString& host, quint16 port) : d(std::make_unique<Impl>()) {
    d->relay = new Relay(host, port);
    d->relay->moveToThread(&d->thread);
    QObject::connect(&d->thread, &QThread::finished, d->relay, &QObject::deleteLater);
    d->thread.start();
    QMetaObject::invokeMethod(
        d->relay, [this] { d->port = d->relay->Listen(); }, Qt::BlockingQueuedConnection);
}

PgRelay::~PgRelay() {
    QMetaObject::invokeMethod(
        d->relay, [this] { d->relay->DropAll(); }, Qt::BlockingQueuedConnection);
    d->thread.quit();
    d->thread.wait();
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
    QMetaObject::invokeMethod(
        d->relay, [this] { d->relay->DropAll(); }, Qt::BlockingQueuedConnection);
}

void PgRelay::Stall(bool stalled) {
    QMetaObject::invokeMethod(
        d->relay, [this, stalled] { d->relay->Stall(stalled); }, Qt::BlockingQueuedConnection);
}

void PgRelay::StallAfterServerBytes(qint64 bytes) {
    QMetaObject::invokeMethod(
        d->relay, [this, bytes] { d->relay->StallAfter(bytes); }, Qt::BlockingQueuedConnection);
}

void PgRelay::CutAfterServerBytes(qint64 bytes) {
    QMetaObject::invokeMethod(
        d->relay, [this, bytes] { d->relay->CutAfter(bytes); }, Qt::BlockingQueuedConnection);
}

} // namespace zpp::test
