#include "webkit/display.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace webkit {

namespace {

QtMessageHandler previousHandler = nullptr;
// Every remark while the display opens (the X11 plugin's under qt.qpa, the Wayland plugin's
// "Failed to create wl_display" without a category): held back, since on failure one line says
// it all, and shown as usual once the display is open.
QList<QString> heldBack;

void fail(const QString& why) {
    const QByteArray line = (QCoreApplication::applicationName() +
                             QStringLiteral(": cannot open a window: ") + why + QLatin1Char('\n'))
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    // Nothing half-built may run its destructors: end here.
    std::_Exit(1);
}

QString displayName() {
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("Wayland display ") + qEnvironmentVariable("WAYLAND_DISPLAY");
    return QStringLiteral("display ") + qEnvironmentVariable("DISPLAY");
}

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg)
        fail(displayName() + QStringLiteral(" cannot be reached"));
    heldBack << qFormatLogMessage(type, context, message);
}

} // namespace

namespace detail {

void beginOpeningDisplay() {
    // A platform named outright (offscreen, vnc...) needs no display of the desktop's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        fail(QStringLiteral("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"));
    heldBack.clear();
    previousHandler = qInstallMessageHandler(onMessage);
}

void endOpeningDisplay() {
    qInstallMessageHandler(previousHandler);
    for (const QString& remark : std::as_const(heldBack))
        std::fprintf(stderr, "%s\n", qPrintable(remark));
    heldBack.clear();
}

} // namespace detail

} // namespace webkit
