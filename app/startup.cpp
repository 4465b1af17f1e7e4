#include "app/startup.h"

#include "app/version.h"

#include <QCoreApplication>

namespace app {

Arguments::Arguments(int argc, char** argv) : qtArgv_{argv[0], nullptr} {
    for (int i = 1; i < argc; ++i)
        words_ << QString::fromLocal8Bit(argv[i]);
}

void nameProgram(Program program) {
    const bool portal = program == Program::Portal;
    QCoreApplication::setOrganizationName(portal ? QStringLiteral("Qarvo")
                                                 : QStringLiteral("Miravend"));
    QCoreApplication::setApplicationName(portal ? QStringLiteral("corvale")
                                                : QStringLiteral("lumetta"));
    QCoreApplication::setApplicationVersion(portal ? QStringLiteral(CORVALE_VERSION)
                                                   : QStringLiteral(LUMETTA_VERSION));
}

} // namespace app
