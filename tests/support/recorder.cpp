// A stand-in for the player in window tests: every start appends one line to the file that
// PLAYER_RECORD names, a JSON array of the arguments it was given (its own name left out).
// When PLAYER_PIDS names a file, it also appends its process id there and stays running, as a
// player would, until it is ended (or ten minutes have passed, should a test fail to end it).
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <unistd.h>

int main(int argc, char** argv) {
    QJsonArray args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromUtf8(argv[i]));
    const QByteArray path = qgetenv("PLAYER_RECORD");
    if (path.isEmpty())
        return 2;
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 1;
    // One write per line, so starts that run at the same time never mix their lines.
    f.write(QJsonDocument(args).toJson(QJsonDocument::Compact) + '\n');
    f.close();

    const QByteArray pids = qgetenv("PLAYER_PIDS");
    if (pids.isEmpty())
        return 0;
    QFile p(QString::fromLocal8Bit(pids));
    if (!p.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 1;
    p.write(QByteArray::number(qint64(getpid())) + '\n');
    p.close();
    alarm(600);
    for (;;)
        pause();
}
