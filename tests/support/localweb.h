#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the local stand-in for the outside web on a free loopback port for one test case or
// test class, with its request log and a routes file of the test's own pages.
class LocalWeb {
public:
    LocalWeb();
    ~LocalWeb();

    // Starts localweb and waits until it listens. Extra arguments such as "--latency-ms" go last.
    bool start(const QStringList& extraArgs = {});
    void stop();

    quint16 port() const { return port_; }
    // The proxy address to put in http_proxy.
    QString proxy() const;
    // Puts http_proxy (and a no_proxy for loopback) into this process's environment.
    void useAsProxy() const;

    // Serves `body` at `url` (a trailing "*" matches as a prefix). charset "raw" sends the
    // bytes as they are, "gbk" converts the UTF-8 body to GBK first. A delay holds the answer
    // back that many milliseconds.
    void route(const QString& url, const QByteArray& body, int status = 200,
               const QString& charset = QStringLiteral("raw"), int delayMs = 0);
    // Serves `text` at `url` in GBK, as the Chinese sites send their pages.
    void routeGbk(const QString& url, const QString& text, int delayMs = 0) {
        route(url, text.toUtf8(), 200, QStringLiteral("gbk"), delayMs);
    }
    // Answers successive requests for `url` in turn with these bodies (status 200, bytes as
    // they are); a body that is null answers with a dropped connection. The last answer stays.
    void routeInTurn(const QString& url, const QList<QByteArray>& bodies);
    // Answers `url` with one of localweb's failures, e.g. "/__fault/stall".
    void routeFault(const QString& url, const QString& faultPath);
    void clearRoutes();

    // Every request received so far, oldest first: objects with method, url and headers.
    QList<QJsonObject> requests() const;
    QStringList requestedUrls() const;
    // Requested URLs that begin with `prefix`.
    QStringList requestedUrls(const QString& prefix) const;
    void clearLog();

    QString logPath() const;
    QString dir() const { return tmp_.path(); }

private:
    void writeRoutes();

    QTemporaryDir tmp_;
    QProcess proc_;
    quint16 port_ = 0;
    QList<QStringList> routes_;
    int bodies_ = 0;
};

// The folder of the built programs (corvale, brenlo/lumetta, localweb).
QString binDir();

// The starts that the recording stand-in for the player wrote to `file`, oldest first: the
// arguments of each start.
QList<QStringList> recordedStarts(const QString& file);

// The process ids that the recording stand-in, kept running, wrote to `file`, oldest first.
QList<qint64> recordedPids(const QString& file);
// Whether process `pid` runs: it exists and has not ended (a zombie has).
bool processRuns(qint64 pid);

// Settles QtWebEngine's environment before the first browser is made: no sandbox when running
// as root (it refuses to start otherwise), and no GPU unless flags were given.
void prepareWebEngine();
