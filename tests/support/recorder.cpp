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

namespace {

enum class Appended { Done, NoFile, Failed };

// Appends `line` to the file that the environment variable `variable` names.
Appended appendLine(const char* variable, const QByteArray& line) {
    const QByteArray path = qgetenv(variable);
    if (path.isEmpty())
        return Appended::NoFile;
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Appended::Failed;
    // One write per line, so that starts that run at the same time never mix their lines.
    f.write(line + '\n');
    return Appended::Done;
}

} // namespace

int main(int argc, char** argv) {
    QJsonArray args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromUtf8(argv[i]));
    const Appended recorded =
        appendLine("PLAYER_RECORD", QJsonDocument(args).toJson(QJsonDocument::Compact));
    if (recorded != Appended::Done)
        return recorded == Appended::NoFile ? 2 : 1;
    const Appended kept = appendLine("PLAYER_PIDS", QByteArray::number(qint64(getpid())));
    if (kept != Appended::Done)
        return kept == Appended::NoFile ? 0 : 1;
    alarm(600);
    for (;;)
        pause();
}
