#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

// A relay between the browser and localweb that keeps every byte the browser sends, so that a
// test can read request headers exactly as they went over the wire. It can also hold requests
// back, to see what a program does while an answer is still on its way.
class WireRecorder : public QObject {
public:
    bool start(quint16 upstream) {
        upstream_ = upstream;
        connect(&server_, &QTcpServer::newConnection, this, &WireRecorder::accept);
        return server_.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return server_.serverPort(); }

    // Forgets what was recorded; call it while no request is on its way.
    void clear() {
        for (const auto& c : std::as_const(connections_))
            c->sent.clear();
    }

    // From now on, a connection whose bytes hold `marker` (a request line, say) is held: it
    // reaches localweb only after release().
    void hold(const QByteArray& marker) { holdMarker_ = marker; }
    // How many connections are being held, their clients still waiting.
    qsizetype held() const {
        return std::count_if(connections_.cbegin(), connections_.cend(),
                             [](const auto& c) { return c->holding; });
    }
    // Lets every held connection go on, and holds nothing more.
    void release() {
        holdMarker_.clear();
        for (const auto& c : std::as_const(connections_)) {
            if (!c->holding)
                continue;
            c->holding = false;
            if (c->upstream)
                forward(c->upstream, std::exchange(c->pending, {}));
        }
    }

    // The value of header `name` in the last request for `url`, or none.
    std::optional<QString> header(const QString& url, const QByteArray& name) const {
        std::optional<QString> found;
        const QByteArray requestLine = "GET " + url.toUtf8() + " HTTP/";
        for (const auto& c : connections_) {
            const QList<QByteArray> blocks = splitBlocks(c->sent);
            for (const QByteArray& block : blocks) {
                const QList<QByteArray> lines = block.split('\n');
                if (lines.isEmpty() || !lines[0].startsWith(requestLine))
                    continue;
                found = QString();
                for (const QByteArray& raw : lines.mid(1)) {
                    const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
                    const qsizetype colon = line.indexOf(':');
                    if (colon > 0 && line.left(colon).compare(name, Qt::CaseInsensitive) == 0)
                        found = QString::fromUtf8(line.mid(colon + 1).trimmed());
                }
            }
        }
        return found;
    }

private:
    static QList<QByteArray> splitBlocks(const QByteArray& stream) {
        QList<QByteArray> blocks;
        qsizetype from = 0;
        for (;;) {
            const qsizetype end = stream.indexOf("\r\n\r\n", from);
            if (end < 0)
                break;
            blocks << stream.mid(from, end - from);
            from = end + 4;
        }
        return blocks;
    }

    struct Connection {
        QByteArray sent;      // every byte the client sent
        bool holding = false; // held back by hold()
        QByteArray pending;   // what waits for release()
        QPointer<QTcpSocket> upstream;
    };

    void accept() {
        while (QTcpSocket* client = server_.nextPendingConnection()) {
            auto* upstream = new QTcpSocket(client);
            auto c = std::make_shared<Connection>();
            c->upstream = upstream;
            connections_ << c;
            connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream, c] {
                const QByteArray data = client->readAll();
                // Only what comes now is looked at (with enough before it for a marker cut
                // in two): a connection kept alive may have carried the marker long before.
                const qsizetype from =
                    std::max<qsizetype>(0, c->sent.size() - holdMarker_.size() + 1);
                c->sent.append(data);
                if (!holdMarker_.isEmpty() && c->sent.indexOf(holdMarker_, from) >= 0)
                    c->holding = true;
                if (c->holding)
                    c->pending.append(data);
                else
                    forward(upstream, data);
            });
            connect(upstream, &QTcpSocket::readyRead, client,
                    [client, upstream] { client->write(upstream->readAll()); });
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            // A client that goes away while held is held no more: its request, which it will
            // send again on a connection of its own if it still wants an answer, is dropped.
            connect(client, &QTcpSocket::disconnected, client, [c] {
                c->holding = false;
                c->pending.clear();
            });
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    // localweb closes a connection that sends nothing for a while: the relay connects only
    // once it has something to pass on, so that a held request finds its connection open.
    void forward(QTcpSocket* upstream, const QByteArray& data) {
        if (upstream->state() == QAbstractSocket::UnconnectedState)
            upstream->connectToHost(QHostAddress::LocalHost, upstream_);
        upstream->write(data);
    }

    QTcpServer server_;
    quint16 upstream_ = 0;
    QByteArray holdMarker_;
    QList<std::shared_ptr<Connection>> connections_;
};
