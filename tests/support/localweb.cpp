#include "support/localweb.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <unistd.h>

QString binDir() {
    return QStringLiteral(TEST_BIN_DIR);
}

QList<QStringList> recordedStarts(const QString& file) {
    QList<QStringList> starts;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return starts;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList args;
        for (const QJsonValue& v : QJsonDocument::fromJson(line).array())
            args << v.toString();
        starts << args;
    }
    return starts;
}

QList<qint64> recordedPids(const QString& file) {
    QList<qint64> pids;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return pids;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty())
            pids << line.toLongLong();
    return pids;
}

bool processRuns(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const QByteArray state = stat.mid(stat.lastIndexOf(')') + 2, 1);
    return !state.isEmpty() && state != "Z" && state != "X";
}

void prepareWebEngine() {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}

LocalWeb::LocalWeb() = default;

LocalWeb::~LocalWeb() {
    stop();
}

bool LocalWeb::start(const QStringList& extraArgs) {
    writeRoutes();
    QStringList args = {QStringLiteral("--port"),   QStringLiteral("0"),
                        QStringLiteral("--log"),    logPath(),
                        QStringLiteral("--routes"), tmp_.filePath(QStringLiteral("routes.txt"))};
    args += extraArgs;
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start(binDir() + QStringLiteral("/localweb"), args);
    if (!proc_.waitForStarted(10000))
        return false;
    static const QRegularExpression listening(
        QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (!proc_.waitForReadyRead(int(deadline.remainingTime())))
            break;
        out += proc_.readAllStandardOutput();
        const auto m = listening.match(QString::fromUtf8(out));
        if (m.hasMatch()) {
            port_ = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    return false;
}

void LocalWeb::stop() {
    if (proc_.state() == QProcess::NotRunning)
        return;
    proc_.terminate();
    if (!proc_.waitForFinished(5000)) {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
}

QString LocalWeb::proxy() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void LocalWeb::useAsProxy() const {
    qputenv("http_proxy", proxy().toUtf8());
    qputenv("no_proxy", "127.0.0.1,localhost");
}

QString LocalWeb::logPath() const {
    return tmp_.filePath(QStringLiteral("requests.log"));
}

void LocalWeb::route(const QString& url, const QByteArray& body, int status, const QString& charset,
                     int delayMs) {
    // localweb sends .html files as HTML, anything else as plain text.
    const bool html = body.trimmed().startsWith('<');
    const QString name =
        QStringLiteral("body-%1%2").arg(++bodies_).arg(html ? QStringLiteral(".html") : QString());
    QFile f(tmp_.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(body);
    f.close();
    routes_.removeIf([&](const QStringList& r) { return r[0] == url; });
    routes_ << QStringList{url, QString::number(status), charset, name, QString::number(delayMs)};
    writeRoutes();
}

void LocalWeb::routeInTurn(const QString& url, const QList<QByteArray>& bodies) {
    routes_.removeIf([&](const QStringList& r) { return r[0] == url; });
    for (const QByteArray& body : bodies) {
        QString file = QStringLiteral("fault:/__fault/reset");
        if (!body.isNull()) {
            file = QStringLiteral("body-%1").arg(++bodies_);
            QFile f(tmp_.filePath(file));
            if (f.open(QIODevice::WriteOnly))
                f.write(body);
        }
        routes_ << QStringList{url, QStringLiteral("200"), QStringLiteral("raw"), file};
    }
    writeRoutes();
}

void LocalWeb::routeFault(const QString& url, const QString& faultPath) {
    routes_.removeIf([&](const QStringList& r) { return r[0] == url; });
    routes_ << QStringList{url, QStringLiteral("200"), QStringLiteral("raw"),
                           QStringLiteral("fault:") + faultPath};
    writeRoutes();
}

void LocalWeb::clearRoutes() {
    routes_.clear();
    writeRoutes();
}

void LocalWeb::writeRoutes() {
    QFile f(tmp_.filePath(QStringLiteral("routes.txt")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const QStringList& r : routes_)
        f.write(r.join(QLatin1Char('\t')).toUtf8() + '\n');
}

QList<QJsonObject> LocalWeb::requests() const {
    QList<QJsonObject> out;
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            out << doc.object();
    }
    return out;
}

QStringList LocalWeb::requestedUrls() const {
    return requestedUrls(QString());
}

QStringList LocalWeb::requestedUrls(const QString& prefix) const {
    QStringList out;
    for (const QJsonObject& r : requests()) {
        const QString url = r.value(QStringLiteral("url")).toString();
        if (url.startsWith(prefix))
            out << url;
    }
    return out;
}

void LocalWeb::clearLog() {
    QFile f(logPath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.close();
}
