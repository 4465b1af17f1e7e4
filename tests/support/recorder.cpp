// A stand-in for the player in window tests: every start appends one line to the file that
// PLAYER_RECORD names, a JSON array of the arguments it was given (its own name left out).
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

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
    return 0;
}
