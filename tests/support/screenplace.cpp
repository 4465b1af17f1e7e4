#include "support/screenplace.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>

QRect screenPlace(const QWidget& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return window.geometry();
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                   QString::number(window.winId())});
    if (!xdotool.waitForFinished(10000) || xdotool.exitCode() != 0)
        return {};
    // X=..., Y=..., WIDTH=..., HEIGHT=..., one a line.
    const QString out = QString::fromLatin1(xdotool.readAllStandardOutput());
    const auto value = [&out](const char* key) {
        const QRegularExpression line(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = line.match(out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
}

bool windowManagerRuns() {
    return !qEnvironmentVariableIsEmpty("WINDOW_MANAGER");
}
