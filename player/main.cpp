// lumetta: the player. Started with a link, it plays it; started with "qd" or nothing, it shows
// the vendor's link page and plays the link the page hands over.
#include "player/addresswatch.h"
#include "player/pellion.h"

#include "webkit/about.h"
#include "webkit/memory.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    webkit::returnLargeBlocksWhenFreed();
    // The whole command line belongs to the player; Qt is given only the program's name, so
    // that no argument is ever read as one of its own options.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString commandLine = lumetta::commandLineFrom(arguments);

    QCoreApplication::setOrganizationName(QStringLiteral("Miravend"));
    QCoreApplication::setApplicationName(QStringLiteral("lumetta"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.00"));

    // `lumetta --version`, that one argument alone, prints the name, version and maker and ends:
    // no link is ever that text, so nothing the player could be asked to play is lost.
    if (arguments == QStringList{QStringLiteral("--version")}) {
        return webkit::printVersion();
    }

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);

    lumetta::pellion window(commandLine);
    window.Form_Load();
    window.show();
    return app.exec();
}
