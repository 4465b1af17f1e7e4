#include "app/about.h"

#include <QCoreApplication>

#include <cstdio>

namespace app {

int printVersion() {
    const QByteArray line = (QCoreApplication::applicationName() + QLatin1Char(' ') +
                             QCoreApplication::applicationVersion() + QStringLiteral(" (") +
                             QCoreApplication::organizationName() + QStringLiteral(")\n"))
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int printHelp(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace app
