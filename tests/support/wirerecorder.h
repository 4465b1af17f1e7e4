#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <optional>

// A relay between the browser and localweb that keeps every byte the browser sends, so that a
// test can read request headers exactly as they went over the wire.
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
        for (const auto& stream : std::as_const(streams_))
            stream->clear();
    }

    // The value of header `name` in the last request for `url`, or none.
    std::optional<QString> header(const QString& url, const QByteArray& name) const {
        std::optional<QString> found;
        const QByteArray requestLine = "GET " + url.toUtf8() + " HTTP/";
        for (const auto& stream : streams_) {
            const QList<QByteArray> blocks = splitBlocks(*stream);
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

    void accept() {
        while (QTcpSocket* client = server_.nextPendingConnection()) {
            auto* upstream = new QTcpSocket(client);
            auto sent = std::make_shared<QByteArray>();
            streams_ << sent;
            connect(client, &QTcpSocket::readyRead, upstream, [client, upstream, sent] {
                const QByteArray data = client->readAll();
                sent->append(data);
                upstream->write(data);
            });
            connect(upstream, &QTcpSocket::readyRead, client,
                    [client, upstream] { client->write(upstream->readAll()); });
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            upstream->connectToHost(QHostAddress::LocalHost, upstream_);
        }
    }

    QTcpServer server_;
    quint16 upstream_ = 0;
    QList<std::shared_ptr<QByteArray>> streams_;
};
